// The simulated device's records: totals (0x02), dates (0x03), and the interval (0x05) and
// session (0x06) streams, one record frame per ACK, ended by CAN or by the end frame. Records are
// generated (N records of T minutes ending at the device clock, newest first) or scripted raw.
// Faults are set per record number of a stream.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>

namespace nbx::sim {

// A device moment's five bytes: day, month, year since 1900, hour, minute.
QByteArray momentBytes(const QDateTime& m);

// The data bytes (frame indices 4..57) of a generated interval ending at `end`, the k-th of a
// stream; its levels vary with k and include the reserved values now and then.
QByteArray generatedInterval(const QDateTime& end, int tMinutes, int k);
// The data bytes (frame indices 4..67) of a generated session starting at `start`.
QByteArray generatedSession(const QDateTime& start, int k);

struct RecordsConfig {
    qint32 totals[4] = {1520, 3, 2, 210};   // emission passes, sensor inactive, erasures, reception passes
    QList<QDateTime> erasureDays;            // list 1 (at most 10)
    QList<QDateTime> reprogrammingDays;      // list 3 (at most 10)
    QDateTime clock = QDateTime(QDate(2024, 5, 14), QTime(10, 30), Qt::UTC); // newest record's end
    int intervalCount = 0;
    int tMinutes = 15;
    int sessionCount = 0;
    int sessionEveryMinutes = 24 * 60;       // one session a day, starting at 22:00 before the clock
    QList<QByteArray> scriptedIntervals;     // raw data bytes; replace the generated intervals
    QList<QByteArray> scriptedSessions;
    bool leaveOutAfterTo = true;             // records newer than TO are not sent
    bool stopAtFrom = false;                 // the device itself ends the stream at FROM
    int recordDelayMs = 0;                   // latency before each record frame
};

enum class RecordFault {
    BadCheckByte,   // the record's check byte inverted
    Stall,          // silence from this record on
    Truncated,      // the first half of the frame, then silence
    ShortLength,    // a consistent frame with half the data
    NoiseBeforeStx, // FF 00 before the frame
    BadLength,      // LEN 0x80 0x00
    Feb31,          // reference date 31 February
    Hour24,         // reference hour 24
    MonthF4,        // reference month byte 0xF4
    OutOfRange,     // L5 1401 tenths
    TopBit,         // a 16-bit counter with the top bit set
    Duplicate,      // this record is sent twice
    ShortEndFrame,  // the end frame has LEN 6 (instead of the record)
    Nak,            // NAK in place of the record; the stream is given up
};

class RecordDevice {
public:
    using Send = std::function<void(const QByteArray& bytes, int delayMs)>;
    using Event = std::function<void(const QString& text)>;

    static bool handles(int command) { return command >= 0x02 && command <= 0x06 && command != 0x04; }

    RecordsConfig config;
    // Fault for record `number` (1 = first frame of the stream) of command 0x05 or 0x06.
    void injectFault(int command, int number, RecordFault f) { faults_[command][number] = f; }
    void clearFaults() { faults_.clear(); }

    // A valid request from the program.
    void request(int command, const QByteArray& data, const Send& send, const Event& event);
    // ACK or CAN outside a frame; true when a stream took it.
    bool control(quint8 byte, const Send& send, const Event& event);
    bool streaming() const { return command_ != 0; }
    int sent(int command) const { return sent_.value(command); } // record frames of the last stream
    QList<QDateTime> rangeRequested() const { return range_; }    // FROM, TO of the last request

private:
    QByteArray recordData(int k) const; // the k-th record of the stream, empty when none
    void sendNext(const Send& send, const Event& event);

    QMap<int, QMap<int, RecordFault>> faults_;
    int command_ = 0;    // the stream running (0 none)
    int next_ = 0;       // index of the next record source
    int number_ = 0;     // frames sent in this stream
    bool silent_ = false;
    bool repeat_ = false;
    QList<int> order_;   // record sources in sending order
    QMap<int, int> sent_;
    QList<QDateTime> range_;
};

}  // namespace nbx::sim
