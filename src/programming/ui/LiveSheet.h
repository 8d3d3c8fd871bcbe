// LiveSheet: what a live window needs of the sheet window it opens over.
#pragma once

#include <QString>

class QWidget;

namespace nbx {

class LiveSheet {
public:
    virtual ~LiveSheet() = default;
    // The sheet's window: disabled while the live window is up, and the one it is placed over.
    virtual QWidget* sheetWindow() = 0;
    // The device's serial number and telephone number as the sheet shows them.
    virtual QString shownSerial() const = 0;
    virtual QString shownTelephone() const = 0;
};

} // namespace nbx
