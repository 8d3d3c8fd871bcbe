// The link session every device operation runs: connection prompt or dial, password dialog,
// busy state, port, CAN, password, identification, device checks, the operation's own exchange,
// and the end (close the port or offer to hang up). The table of operation profiles says which
// steps each operation takes.
#pragma once

#include "common/Prompter.h"

#include <QList>
#include <QString>
#include <functional>

namespace nbx {

class Link;

enum class Operation {
    RecibirProgramacion,
    EnviarProgramacion,
    Borrar,
    CambiarPassword,
    Test,
    DescargarRegistros,
    TiempoReal,
    Calibracion,
    Sonometro,
};

enum class DeviceCheck { M, S, T }; // programming mode, serial of the sheet, model
enum class PasswordDialog { None, Current, New };
enum class SessionEnd {
    AskHangUp,        // cable: close; a call up: ask whether to hang up
    CloseNoQuestion,  // close (hanging up a call) with no question
    CloseUnlessCallUp // cable: close; a call up stays up (the factory test)
};

struct OperationProfile {
    Operation operation;
    bool connect;              // prompt, dial, identify (false only for the factory test)
    bool openAtPrompt;         // the port opens as soon as the cable prompt is accepted
    PasswordDialog dialog;
    bool busyAfterDial;        // the busy state starts after the dial instead of before opening
    bool sendCan;
    bool sendPassword;
    QList<DeviceCheck> checks; // in the order they run
    Prompter::Icon checkIcon;  // icon of GetS(30) and GetS(63)
    bool wrongPasswordLiteral; // "Contraseña incorrecta" as a fixed text instead of GetS(119)
    bool hourglass;            // the programming sheet shows the wait pointer
    SessionEnd end;
};

const OperationProfile& operationProfile(Operation op);

struct SessionHooks {
    std::function<bool()> before;                // own preparation; false stops quietly
    QString phone;                               // telephone number for the modem
    QString sheetSerial;                         // serial of the sheet, for check S
    std::function<void(bool on)> busy;           // the window's busy state
    std::function<void(bool on)> hourglass;      // wait pointer on and off
    std::function<void()> addressing;            // the device is about to be addressed (after the dial)
    std::function<void()> serialMismatch;        // check S failed, before its message
    std::function<bool(Link& link)> exchange;    // the operation's own exchange; true: success
};

enum class SessionOutcome {
    Refused,   // another device operation is running (beeped)
    Cancelled, // stopped before any exchange with the device (prompt, dialog, preparation), or
               // by the program's end asked for at any step (nothing shown)
    Failed,    // an error was shown
    Done,      // the exchange ran and reported success
};

class LinkSession {
public:
    LinkSession(Link& link, Operation op, SessionHooks hooks);
    SessionOutcome run();

    // A live window whose frame loop ran asks for CAN before the end step.
    void requestCanAtEnd() { canAtEnd_ = true; }

private:
    SessionOutcome road();
    bool connectPrompt(bool* stop);
    bool openPort();
    bool runChecks();
    void endStep(bool afterError);

    Link& link_;
    const OperationProfile& profile_;
    SessionHooks hooks_;
    bool busyOn_ = false;
    bool hourglassOn_ = false;
    bool canAtEnd_ = false;
    bool started_ = false;      // past the point where the end step applies
    bool runtimeError_ = false;
};

// The check S comparison: a sheet serial that is not a number never matches.
bool serialMatches(const QString& sheetSerial, qint32 deviceSerial);

} // namespace nbx
