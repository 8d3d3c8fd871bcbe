// The device's live streams: real-time frames (0x09, the next one after each ACK), calibration
// (0x0E: level frames, then the end frame with its result code) and sound level meter frames
// (0x11, free-running). All end on CAN. Scripted from code or from a text file.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>
#include <optional>

namespace nbx::sim {

enum class Fault;

// One frame of a stream: its data (between the command byte and ETX) and a fault to send it with.
struct StreamFrame {
    QByteArray data;
    Fault fault{}; // Fault::None
};

struct StreamScript {
    QList<StreamFrame> realTime;     // 0x09 frames, 16 data bytes each, sent in turn and repeated
    bool realTimeFreeRunning = false;  // send without waiting for the program's ACK
    int realTimePeriodMs = 0;        // pause before each real-time frame (after the ACK)
    QList<StreamFrame> calibration;  // level frames (command 0x0F, level little-endian)
    int calibrationResult = 0;       // the end frame's result code
    int calibrationPeriodMs = 100;   // pause before each calibration frame
    QList<StreamFrame> meter;        // 0x11 frames, fourteen words each, repeated
    int meterPeriodMs = 50;          // pause before each meter frame; 0: as fast as the line takes them
    int framesAfterCan = 0;          // frames still sent after a CAN (already on their way)
};

// Data of a real-time frame: date, time, flags, level in tenths of dB (big-endian), attenuation.
QByteArray realTimeData(int day, int month, int year, int hour, int minute, int second,
                        int session, int night, int mainsCut, int sensorFault, int inhibited,
                        int level, int attenuation);
// Data of a calibration level frame: the level in tenths of dB, low byte first.
QByteArray calibrationLevelData(int level);
// Data of a meter frame: LF, LFmax, LeqT, Leq1s, T and nine bands, each low byte first.
QByteArray meterData(const std::array<int, 14>& words);

// Three frames of each stream with plausible values.
StreamScript defaultStreamScript();

// A script file, one line each (numbers decimal, "#" starts a comment):
//   realtime DAY MONTH YEAR HOUR MIN SEC SESSION NIGHT MAINS SENSOR INHIBITED LEVEL ATTENUATION [FAULT]
//   calibration LEVEL [FAULT]
//   result CODE
//   meter LF LFMAX LEQT LEQ1S T B31 B63 B125 B250 B500 B1K B2K B4K B8K [FAULT]
//   period realtime|calibration|meter MS
//   free-running
//   after-can FRAMES
// FAULT: stall, bad-check, noise, bad-length, too-long, short, silence. A stream that has lines
// in the file replaces the default one.
std::optional<StreamScript> parseStreamScript(const QString& text, QString* error);

// The stream the device is sending. Driven by the simulator's thread, under its lock.
class StreamEngine {
public:
    struct Io {
        std::function<void(const QByteArray&)> send;   // queue bytes for the line now
        std::function<Fault(int command)> takeFault;   // an injected fault for this frame
        std::function<QByteArray(const QByteArray&, Fault)> damage;
        std::function<void(const QString&)> event;
        std::function<bool()> lineIdle;                // nothing waiting to be written
    };

    static bool isStreamCommand(int command);

    void setIo(Io io) { io_ = std::move(io); }
    void setScript(const StreamScript& s) { script_ = s; }
    const StreamScript& script() const { return script_; }

    void start(int command, qint64 nowUs);
    void can(qint64 nowUs);
    // True when a real-time stream took the ACK.
    bool ack(qint64 nowUs);
    // Sends the frames whose time has come.
    void tick(qint64 nowUs);
    // When the next frame is due (microseconds, same clock), -1 when none is.
    qint64 nextDueUs() const;
    bool active() const { return command_ != 0; }

private:
    enum class Wait { Nothing, Time, Ack, Can };
    void sendFrame(quint8 command, const StreamFrame& frame);
    void end(const QString& why);

    Io io_;
    StreamScript script_ = defaultStreamScript();
    int command_ = 0;    // the stream running, 0 for none
    Wait wait_ = Wait::Nothing;
    qint64 due_ = 0;
    int next_ = 0;       // index of the next scripted frame
    int afterCan_ = 0;   // frames still to go out after CAN
};

} // namespace nbx::sim
