// Storage of programming sheets: one Programacion row and thirty IntervaloInhabil rows per device.
#pragma once

#include "programming/SheetDefaults.h"
#include "programming/SheetValues.h"

#include "common/Database.h"

#include <QList>
#include <QLocale>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace nbx {

// The header fields that Buscar can search (the CampoActual names of the window).
enum class SearchField { NumeroSerie, Version, Fecha, Contacto, Local, Direccion, Poblacion, Telefono };

// The field searched when `campoActual` (a control name such as "MaskContacto") last had the focus;
// none for any other name, in which case Buscar does nothing.
std::optional<SearchField> searchFieldFromControl(const QString& campoActual);
// The search prompt: GetS(20) "Buscar en el campo", a blank and the field's label. Title: GetS(32).
QString searchPrompt(SearchField field);

// The serial the sheet shows, as a number; 0 when the text is not a whole number.
qint32 sheetSerial(const SheetValues& sheet);

// Checks every value the save stores: serial 1-999999, a valid sheet date, the byte fields
// (levels, Leq time, LFmax, rings) 0-255, attenuation a 16-bit number, the action times when their
// option is chosen, octaves numbers (an empty box refused), and the text widths (30, 15, 5). Returns the
// message naming the first bad field, or an empty text.
QString validateForSave(const SheetValues& sheet, const QLocale& locale = QLocale::system());

class SheetRepository {
public:
    explicit SheetRepository(QSqlDatabase db = mainDb());

    // Every query fills `error` when it fails (the result is then false or none): a failure is
    // never to be read as "no such sheet".
    bool exists(qint32 serial, QString* error = nullptr) const;

    // Reads the stored sheet of `serial` over a copy of `sheet` and assigns it only when the row was
    // read, so a failed load never mixes two sheets. NULL reads as an empty box (0 for the check
    // boxes); an action type that cannot be read as "LeqNNs" gives the 125 ms option (emission) or
    // no action (reception). Interval slots without a row get the empty marker; interval times are
    // normalised to "hh:mm". The CMI box is shown and set for firmware 2.0 and later, otherwise
    // hidden and left as it was. Does not touch the clock fields.
    bool load(qint32 serial, SheetValues& sheet, QString* error,
              const QLocale& locale = QLocale::system()) const;

    // Validates, then writes the row (inserting it with the totals date and time from `now` and
    // zero totals, or updating it and keeping those) and the thirty interval rows in one
    // transaction. On any failure nothing is written and `error` holds the description.
    bool save(const SheetValues& sheet, const QDateTime& now, QString* error,
              const QLocale& locale = QLocale::system());

    // Deletes every row of the device in IntervaloInhabil, Sesiones, Intervalos, DiaBorrado,
    // DiaReprogramado, DiaFinalBateria and Programacion, in one transaction.
    bool deleteDevice(qint32 serial, QString* error);

    // Navigation in ascending serial order; none when there is no such row or on a read error
    // (then `error` tells which).
    QList<qint32> orderedSerials(QString* error = nullptr) const;
    std::optional<qint32> first(QString* error = nullptr) const;
    std::optional<qint32> last(QString* error = nullptr) const;
    std::optional<qint32> next(qint32 from, QString* error = nullptr) const;     // smallest serial above `from`
    std::optional<qint32> previous(qint32 from, QString* error = nullptr) const; // largest serial below `from`

    // The first serial, in ascending order, whose field as the sheet shows it contains `text`
    // (case-insensitive, taken literally). A date matches its "dd/mm/yy" and "dd/mm/yyyy" forms.
    std::optional<qint32> search(SearchField field, const QString& text, QString* error = nullptr) const;

    // SQLite's result code of the last failed save, 0 when the sheet was refused by its checks.
    int lastSaveCode() const { return lastSaveCode_; }

private:
    QSqlDatabase db_;
    int lastSaveCode_ = 0;
};

// GrabaProgramacio: saves the sheet shown. On success clears FichaModificada and returns true. On
// failure shows the error's description (critical icon), leaves the flag and the sheet as they
// were and returns false.
bool GrabaProgramacio(const SheetValues& sheet, ProgrammingState& state, SheetRepository& repo,
                      const Clock& now = &QDateTime::currentDateTime);

// CarregaProgramacio: shows the stored sheet of `serial`: the clock fields from `now`, the row and
// its intervals, then clears FichaModificada. On failure shows the error's description (critical
// icon) and leaves the sheet and the flag as they were. The caller sets NumeroSerieEqp to `serial`
// after a successful load, so the records window opens on this device.
bool CarregaProgramacio(qint32 serial, SheetValues& sheet, ProgrammingState& state, const SheetRepository& repo,
                        const Clock& now = &QDateTime::currentDateTime);

// The delete of Borrar after its question: all the device's rows; on failure the error's
// description (critical icon) and false.
bool BorraFicha(qint32 serial, SheetRepository& repo);

} // namespace nbx
