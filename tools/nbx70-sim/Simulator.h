// A simulated NBX-70 on a pseudo-terminal: answers the device commands, emulates the modem
// dialogue, injects faults and logs every byte with a timestamp. Used by the end-to-end tests and
// by the nbx70-sim command.
#pragma once

#include "SimStreams.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace nbx::sim {

class RecordDevice;

struct DeviceConfig {
    int model = 5;                  // model code in the identification reply
    QString firmware = "2.0";       // major.minor
    QString serial = "123456";      // six digits
    bool programmingMode = true;
    QByteArray password = "1234";   // four characters, blank padded
    QByteArray programmingBlock;    // the block 0x04 answers with (empty: a valid default block)
    bool antiTestProtection = false;  // the test command 0x0D is refused (NAK) while on
};

// Faults for the next answer(s). The identification faults (WrongModel, WrongSerial,
// SerialNotDigits, ProgrammingModeOff) apply to 0x01 only; the frame faults (StallMidFrame,
// NoiseBeforeStx, BadCheckByte, BadLength, LengthTooLong, ShortLength) to commands answered with
// a frame (0x01, 0x04); Silence, Nak, OtherByte and DoubleAck to any command.
enum class Fault {
    None,
    Silence,            // no answer at all
    Nak,                // 0x15 instead of the answer
    OtherByte,          // 0x41 instead of the answer
    StallMidFrame,      // the first half of the reply frame, then nothing
    NoiseBeforeStx,     // 0xFF 0x00 before the reply frame
    BadCheckByte,       // the reply frame's check byte inverted
    BadLength,          // LEN 0x80 0x00 (negative); the rest as usual
    WrongModel,         // model code other than the configured one
    WrongSerial,        // another six-digit serial number
    ProgrammingModeOff, // programming-mode flag 0
    DoubleAck,          // 0x06 0x06 instead of one ACK
    LengthTooLong,      // LEN 0x02 0x02 (514); the rest as usual
    ShortLength,        // data cut to half, LEN and check byte consistent with the cut frame
    SerialNotDigits,    // serial characters "12A456"
};

enum class ModemAnswer { Connect /* "1" */, Busy /* "3" */, Silent };

// An untidy modem. Off by default.
struct ModemQuirks {
    int lateMs = 0;              // what the modem sends (echo, OK, results) leaves this late...
    int gapMs = 0;               // ...and at most one byte every gapMs
    QByteArray noise;            // sent just before the answer to a dial
    bool dialDropsCall = false;  // a dial with a call up drops the call and dials (else "4", ERROR)
};

struct LogEntry {
    qint64 usecs;       // since start()
    bool fromDevice;    // true: written by the simulator; false: received from the program
    quint8 byte;
};

// A frame seen on the line, either way.
struct FrameEntry {
    qint64 usecs;       // when its last byte went or came
    bool fromDevice;
    bool valid;
    quint8 command;
    QByteArray raw;
};

// The block the simulator holds by default: a plausible, valid programming.
QByteArray defaultProgrammingBlock(bool withGlobalCorrection);

// "2.0" -> true (firmware 2.0 or later carries the global-correction byte).
bool firmwareHasGlobalCorrection(const QString& firmware);

class Simulator {
public:
    explicit Simulator(DeviceConfig cfg = {});
    ~Simulator();  // stops
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool start(QString* error = nullptr);  // opens a raw pty (both ends raw), starts a thread
    void stop();
    bool isRunning() const;
    QString portPath() const;  // the slave path for QSerialPort

    // The next `times` answers to `command` (-1: any command the fault applies to) carry `f`.
    void injectFault(Fault f, int command = -1, int times = 1);
    void clearFaults();
    // Modem emulation: bytes go to a Hayes modem until a dial is answered "1" (after
    // `answerDelayMs`); later bytes go to the device. "+++" between frames escapes back.
    void setModemMode(bool on, ModemAnswer answer = ModemAnswer::Connect, int answerDelayMs = 2000);
    // The modem echoes command lines until an E0 is carried out. "+++" escapes from a call only
    // with `ms` of silence before and after it and less than `ms` between its '+' (S12, 1 s).
    // A dial while a call is up answers "4" (ERROR); ATH hangs up, ATO goes back online.
    // 0: no guard times, the third '+' escapes at once.
    void setEscapeGuardMs(int ms);
    void setModemQuirks(const ModemQuirks& q);
    // The modem is in a call and online, as a program that did not hang up left it.
    void setModemInCall();
    bool modemConnected() const;  // a call is up (online or escaped to command mode)
    QString lastDialCommand() const;  // the last AT line received, without its CR
    void setAnswerDelayMs(int command, int ms);  // e.g. the test command 0x0D answers after a delay
    void setByteDelayMs(int ms);   // pause between the bytes the device writes (0: none)
    // The device writes at the pace of a line of `baud` (10 bits a byte: 521 us at 19200); 0: as
    // fast as the pseudo-terminal takes them. Replaces setByteDelayMs.
    void setLinePace(int baud);
    void setFrameTimeoutMs(int ms);  // a frame from the program that stalls this long is dropped
    // The byte a bad frame from the program (check byte, length, ETX) is answered with; -1: none.
    void setBadFrameAnswer(int byte);

    // The frames of the live streams (real time, calibration, meter); see SimStreams.h.
    void setStreamScript(const StreamScript& script);
    StreamScript streamScript() const;

    QList<LogEntry> log() const;    // every byte both ways with a timestamp
    QList<FrameEntry> frames() const;
    QStringList events() const;     // timestamped text lines: frames, answers, modem, faults
    QByteArray bytesReceived() const;
    QByteArray bytesSent() const;
    void clearLog();
    // Called from the simulator's thread with each event line as it happens.
    void setEventSink(std::function<void(const QString&)> sink);

    DeviceConfig config() const;    // current state: password changes, stored block, etc.
    void setConfig(const DeviceConfig& cfg);
    QByteArray storedBlock() const;  // the block the last 0x08 brought (clock excluded)
    QDateTime storedClock() const;   // the clock the last 0x08 brought (invalid before)
    QByteArray storedClockBytes() const;  // its six bytes as received
    int recordsCleared() const;      // counts 0x0C erases
    // The device's records (SimRecords.h), configured or read under the simulator's lock.
    void withRecords(const std::function<void(RecordDevice&)>& f);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace nbx::sim
