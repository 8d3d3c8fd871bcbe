// Helpers of the tests that drive the link against the simulator: short timings and passwords
// answered without a dialog.
#pragma once

#include "link/LinkTiming.h"
#include "link/Passwords.h"

#include <QString>

namespace nbx::test {

// A "second" of the blocking pause is 10 ms, pacing 1 ms, timeouts one to three seconds.
LinkTiming shortLinkTiming();

// Answers the password dialogs with `current` (and `newOne`, confirmed alike) while it lives.
class ScriptedPasswords : public PasswordAsker {
public:
    ScriptedPasswords() { setPasswordAsker(this); }
    ~ScriptedPasswords() override { setPasswordAsker(nullptr); }
    void askCurrentPassword(LinkState& st) override;
    void askNewPassword(LinkState& st) override;

    QString current = QStringLiteral("1234");
    QString newOne = QStringLiteral("ab");
};

} // namespace nbx::test
