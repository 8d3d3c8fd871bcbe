// The programming exchange with the device, started from the programming sheet's buttons:
// receive and compare (Recibir), send (Transmitir), erase (Borrat), password change (CanviClau)
// and the factory test (Test). No widgets here: the window is reached through ExchangeWindow.
#pragma once

#include "link/LinkSession.h"
#include "programming/ExchangeCompare.h"
#include "programming/SheetDefaults.h"
#include "programming/SheetValues.h"

#include <QLocale>
#include <QString>

namespace nbx {

class Link;

// What the exchange needs from the programming sheet window. The sheet window implements it
// with one line per method; tests implement it without widgets.
//
// Wiring into Form2 (a small adapter object owned by the window):
//   sheetValues()              -> form.sheet()
//   showSheetValues(v)         -> form.showSheet(v)
//   isModified() / setModified -> programmingState().fichaModificada
//   setSheetButtonsEnabled(b)  -> form.CanviaEstatBotons()   (always called in pairs: false, true)
//   setBusyDisplay(on)         -> SSPanel2->setVisible(on) (its busy indicator runs while shown)
//   setWaitCursor(on)          -> QGuiApplication::setOverrideCursor(Qt::WaitCursor) / restore
//   hasStoredSheet(serial, e)  -> form.repository().exists(serial, e)
//   loadStoredSheet(serial)    -> form.CarregaProgramacio(serial)
//   saveSheet()                -> form.GrabaProgramacio()
// and each button:  SSCommandRecibir -> exchange.Recibir();  SSCommandTransmitir ->
// exchange.Transmitir();  SSCommandBorrat -> exchange.Borrat();  CommandCanviClau ->
// exchange.CanviClau();  SSCommandTest -> exchange.Test().
//
// Every "on" call is matched by its "off" call before the operation returns, on every way out.
// The window must stay alive while an operation runs (the operation yields to the event loop).
class ExchangeWindow {
public:
    virtual ~ExchangeWindow() = default;

    // The sheet as shown (every field as text, the intervals of the grid), and showing values.
    virtual SheetValues sheetValues() const = 0;
    virtual void showSheetValues(const SheetValues& values) = 0;

    // FichaModificada: the sheet shown has unsaved changes.
    virtual bool isModified() const = 0;
    virtual void setModified(bool modified) = 0;

    // The telephone number dialled on a modem link (the sheet's MaskTelefono).
    virtual QString telephone() const { return sheetValues().telefono; }

    // The sheet's own buttons (navigation, save, delete, search, help, print, records):
    // false while a receive, send, erase or password change runs, true after.
    virtual void setSheetButtonsEnabled(bool enabled) = 0;
    // The busy panel with its running indicator (send, erase, password change, test).
    virtual void setBusyDisplay(bool on) = 0;
    // The wait pointer (receive, send, erase, password change).
    virtual void setWaitCursor(bool on) = 0;

    // Storage of sheets by serial number. hasStoredSheet fills `error` when the storage could not
    // be asked (never read as "no sheet"). loadStoredSheet shows the stored sheet (the clock fields
    // refreshed, the modified flag cleared) and saveSheet saves the sheet shown (clearing the
    // flag); both show their own error message and return false on failure.
    virtual bool hasStoredSheet(qint32 serial, QString* error) = 0;
    virtual bool loadStoredSheet(qint32 serial) = 0;
    virtual bool saveSheet() = 0;
};

// One controller per sheet window. Each operation runs the device link session and returns how it
// ended; every failure shows exactly one message (a reception failure: the receiver's own).
class ProgrammingExchange {
public:
    explicit ProgrammingExchange(ExchangeWindow& window);
    ProgrammingExchange(ExchangeWindow& window, Link& link, ProgrammingState& state,
                        Clock now = &QDateTime::currentDateTime, const QLocale& locale = QLocale::system());

    // Recibir: offers to save a modified sheet, connects, identifies (model check), requests the
    // programming and places it: a serial without a stored sheet gives a new unsaved sheet filled
    // from the device; a stored one (or the one shown) is compared and may take the device's
    // values. A device firmware other than the sheet's version updates the version (modified).
    SessionOutcome Recibir();
    // Transmitir: checks that the sheet can be sent, saves it (a serial other than 0), connects,
    // asks the password, identifies, checks mode, serial and model, sends the programming with
    // the PC clock, paced, and closes the port with no question.
    SessionOutcome Transmitir();
    // Borrat: erases the device memory (password; checks mode, serial, model).
    SessionOutcome Borrat();
    // CanviClau: sets a new device password (current and new password; checks serial, model).
    SessionOutcome CanviClau();
    // Test: the factory test: CAN, the serial asked in an input box, the test command and its
    // answer. No prompt, password or identification; the port stays open while a call is up.
    SessionOutcome Test();

    // The comparison of the last receive into an existing sheet (empty after a new sheet).
    const Comparison& lastComparison() const { return comparison_; }

private:
    SessionHooks hooks(bool sheetButtons, bool busyPanel);
    bool receiveExchange(Link& link);
    bool placeReceived(bool stored);
    bool prepareSend();
    bool sendExchange(Link& link);
    bool commandResult(int result);

    ExchangeWindow& window_;
    Link& link_;
    ProgrammingState& state_;
    Clock now_;
    QLocale locale_;
    Comparison comparison_;
};

// The send checks that stop it before any byte goes out: the frame's field conversions and, with
// the 1 s option chosen, an action time outside 1 to 10. Returns the message, or empty.
QString sendRefusal(const SheetValues& sheet, const QLocale& locale = QLocale::system());

} // namespace nbx
