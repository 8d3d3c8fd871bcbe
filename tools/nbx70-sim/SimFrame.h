// The simulator's own frame codec: STX, 16-bit big-endian total length (STX to the check byte),
// command, data, ETX, XOR of every byte before it. Kept apart from the program's link code on
// purpose, so that the two cross-check each other.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace nbx::sim {

constexpr quint8 kStx = 0x02;
constexpr quint8 kEtx = 0x03;
constexpr quint8 kAck = 0x06;
constexpr quint8 kNak = 0x15;
constexpr quint8 kCan = 0x18;
constexpr int kMinFrame = 6;
constexpr int kMaxFrame = 513;

// XOR of all bytes of `bytes`.
quint8 xorOf(const QByteArray& bytes);

// A whole frame for `command` carrying `data`.
QByteArray encodeFrame(quint8 command, const QByteArray& data);

// One frame taken from the line by FrameDecoder.
struct DecodedFrame {
    bool valid = false;        // length in range and check byte right
    int length = 0;            // the LEN field (signed 16-bit as the line carries it)
    quint8 command = 0;
    QByteArray data;           // between the command byte and ETX
    QByteArray raw;            // every byte of the frame as received
    QString problem;           // why it is not valid
};

// Byte-at-a-time receiver. Bytes outside a frame are dropped (reported through feed's result).
class FrameDecoder {
public:
    enum class Result { Idle, InFrame, Complete };
    // Feeds one byte. Complete: `frame()` holds the finished frame (valid or not).
    Result feed(quint8 byte);
    bool inFrame() const { return m_state != State::WaitStx; }
    void reset();
    const DecodedFrame& frame() const { return m_frame; }

private:
    enum class State { WaitStx, LenHi, LenLo, Body };
    State m_state = State::WaitStx;
    QByteArray m_raw;
    int m_len = 0;
    DecodedFrame m_frame;
};

}  // namespace nbx::sim
