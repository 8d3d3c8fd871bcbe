// The download's frames as plain values: the range bytes, the request frames, and the decoders
// of the totals, dates, interval and session frames with every derived field and each record's
// verdict. Device moments are naive wall-clock values (UTC QDateTime, never shifted).
#pragma once

#include "link/Frame.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>
#include <array>
#include <optional>

namespace nbx {

// A device moment from its bytes (year counted from 1900), checked strictly: a real calendar
// date, hour 0-23, minute 0-59. No value otherwise.
std::optional<QDateTime> deviceMoment(int day, int month, int yearSince1900, int hour, int minute);

// "dd/mm/yyyy" and "hh:mm" texts of the records (built from integers, as received).
QString recordDateText(const QDate& d);
QString twoDigitsTime(int hour, int minute);

// RangoFechas: FROM day, month, two-digit year, hour, minute, then the same of TO.
struct RangoFechas {
    std::array<uint8_t, 10> bytes{};

    // Both moments truncated to the minute.
    static RangoFechas fromMoments(const QDateTime& from, const QDateTime& to);
    QDateTime from() const;
    QDateTime to() const;
    // RangoDescarga: the same bytes with 100 added to each two-digit year below 50.
    QByteArray descarga() const;
    bool operator==(const RangoFechas&) const = default;
};

// The four requests: 0x02, 0x03 bare; 0x05 and 0x06 with the range bytes.
QByteArray requestFrame(uint8_t command, const RangoFechas& range = {});

// Totals (LEN 22): four signed 32-bit counters.
struct Totals {
    qint32 pasadasLocal = 0;  // bytes 4..7, LPasadasLocal
    qint32 e3 = 0;            // 8..11, LE3
    qint32 cb = 0;            // 12..15, LCB
    qint32 pasadasVecino = 0; // 16..19, LPasadasVecino
    bool operator==(const Totals&) const = default;
};
// No value for a frame shorter than its layout.
std::optional<Totals> decodeTotals(const FrameBuffer& f);

// One valid entry of the dates frame.
struct DayEntry {
    QDate fecha;
    QString hora; // "hh:mm"
    bool operator==(const DayEntry&) const = default;
};
struct DayLists {
    QList<DayEntry> borrados;      // list 1, erasure days
    QList<DayEntry> reprogramados; // list 3, reprogramming days
};
// Dates (LEN 156). Entries that are not a valid date and time are left out; list 2 is not read.
std::optional<DayLists> decodeDates(const FrameBuffer& f);

// What a record frame asks of the transfer.
enum class Verdict {
    End,   // day byte 0: the device has no more records
    Short, // shorter than its layout: a receive error
    Skip,  // reference moment invalid: ACK, not stored
    Older, // reference moment before FROM: CAN, not stored
    Drop,  // a field out of range: ACK, not stored
    Store, // store it, then ACK
};

// UndOrUp: a level below 60 dB is 59, above 120 dB is 121.
double UndOrUp(double level);

// One Intervalos row (columns in schema order by values()).
struct IntervalRecord {
    qint32 LNumeroSerie = 0;
    QDate DFechaInicio;
    QString THoraInicio;
    QDate DFechaFinal;
    QString THoraFinal;
    int ByTLeq = 0;
    double SLeqLocal = 0, SLeqVecino = 0;
    QString TTipoActuacionLocal, TTipoActuacionVecino;
    int ByNivelLeqLocal = 0, ByNivelLeqVecino = 0;
    double SMaxLeq1min = 0;
    QString TFechaMaxLeq1min, THoraMaxLeq1min;
    double SMinLeq1min = 0;
    QString TFechaMinLeq1min, THoraMinLeq1min;
    double SMaxFast = 0;
    int ByNivelMFast = 0, IPasMaxFast = 0;
    double SL1 = 0, SL5 = 0, SL10 = 0, SL50 = 0, SL90 = 0;
    int BoRS232 = 0, BoProgramacion = 0; // -1 yes, 0 no
    int IDesco = 0, IPasadasLocal = 0, IPasadasVecino = 0, IE3 = 0;
    int ByDNA = 0, ByENA = 0, ByLineaInsuficiente = 0;

    QDateTime end;   // the reference moment
    QVariantList values() const; // in the order of schemaColumns("Intervalos"); dates ISO
};

struct SessionRecord {
    qint32 LNumeroSerie = 0;
    QDate DFechaInicio;
    QString THoraInicio;
    QDate DFechaFinal;
    QString THoraFinal;
    double SLeq = 0;
    int ByNivelDiaLocal = 0, ByNivelDiaVecino = 0;
    QString THoraInicioNoche, THoraFinalNoche;
    int ByNivelNocheLocal = 0, ByNivelNocheVecino = 0;
    int ITiempoAtenuacion = 0;
    qint32 LDesco = 0, LPasadasLocal = 0, LPasadasVecino = 0, LE3 = 0;
    double SMaxFast = 0;
    int ByNivelMFast = 0;
    qint32 LPasMaxFast = 0;
    double SMaxLeq1min = 0;
    QString TFechaMaxLeq1min, THoraMaxLeq1min;
    double SMinLeq1min = 0;
    QString TFechaMinLeq1min, THoraMinLeq1min;
    double SL1 = 0, SL5 = 0, SL10 = 0, SL50 = 0, SL90 = 0;

    QDateTime start; // the reference moment
    QVariantList values() const; // in the order of schemaColumns("Sesiones"); dates ISO
};

template <typename R>
struct Decoded {
    Verdict verdict = Verdict::Short;
    R record;
};

// An interval frame (LEN 60) of device `serial`, against FROM.
Decoded<IntervalRecord> decodeInterval(const FrameBuffer& f, const QDateTime& from, qint32 serial);
// A session frame (LEN 70) of device `serial`, against FROM.
Decoded<SessionRecord> decodeSession(const FrameBuffer& f, const QDateTime& from, qint32 serial);

inline constexpr int kTotalsLen = 22;
inline constexpr int kDatesLen = 156;
inline constexpr int kIntervalLen = 60;
inline constexpr int kSessionLen = 70;
inline constexpr int kEndFrameMinLen = 7;

} // namespace nbx
