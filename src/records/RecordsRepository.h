// What the record window reads: the device list, one device's header and totals, its inhibited
// intervals, and the questions the download and the range dialog ask. Every read is null-safe and
// every value is bound.
#pragma once

#include "common/Database.h"
#include "programming/SheetValues.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <array>
#include <optional>

namespace nbx {

struct DeviceHeader {
    qint32 serial = 0;
    QString fecha;       // DFecha as "dd/mm/yy"
    QString local;       // TLocal
    QString version;     // TVersion
    QString telefono;    // TTelefono
    QString fechaTotales; // DFechaTotales as "dd/mm/yy"
    QString horaTotales;  // THoraTotales as stored ("hh:mm:ss")
    qint64 pasadasLocal = 0, pasadasVecino = 0, e3 = 0, cb = 0;
    // For the programming side's device copy: the week hours (Sunday first, start and end), the
    // night hours and the two emission limits.
    std::array<std::array<QString, 2>, 7> horario;
    QString horaEmpiezaNoche, horaTerminaNoche;
    int nivelDiaLocal = 0, nivelNocheLocal = 0;
};

// The header fields the record window searches.
enum class RecordSearchField { NumeroSerie, Version, Fecha, Local };

// "yyyy-MM-dd" (or any date text SQLite stores) as "dd/mm/yy"; "" when it is not a date.
QString shortDateText(const QString& stored);
// A stored time ("hh:mm" or "hh:mm:ss") as "hh:mm"; "" for an empty value.
QString hourMinuteText(const QString& stored);

class RecordsRepository {
public:
    explicit RecordsRepository(QSqlDatabase db = mainDb());

    // Serials of Programacion in table order (ascending). Empty on a read error (error set).
    QList<qint32> serials(QString* error = nullptr) const;
    // No value when the device has no row or on a read error (error set then).
    std::optional<DeviceHeader> header(qint32 serial, QString* error = nullptr) const;
    // The 30 intervals of the device; missing ones keep the empty markers, times as "hh:mm".
    InhibitedIntervals inhibitedIntervals(qint32 serial, QString* error = nullptr) const;
    // The first serial in table order whose field contains `text` as LIKE matches it (% and _
    // are wildcards) but with the case of every letter ignored; the date is matched in its
    // "dd/mm/yyyy" form.
    std::optional<qint32> search(RecordSearchField field, const QString& text, QString* error = nullptr) const;
    // Start of the newest stored interval of the device.
    std::optional<QDateTime> newestIntervalStart(qint32 serial, QString* error = nullptr) const;
    bool hasIntervals(qint32 serial) const;

private:
    QSqlDatabase db_;
};

// The range dialog's defaults: TO = now; FROM = the newest interval's start, or now - 60 days.
// Both to the minute, naive.
struct DefaultRange {
    QDateTime from, to;
};
DefaultRange defaultRange(const QDateTime& now, const std::optional<QDateTime>& newestStart);

} // namespace nbx
