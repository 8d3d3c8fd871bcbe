// The frame envelope shared by both directions: STX, 16-bit big-endian total length, command,
// data, ETX, then the XOR of every byte before it. Control bytes, command codes and the reader
// of multi-byte numbers.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>

namespace nbx {

namespace ctl {
inline constexpr uint8_t STX = 0x02;
inline constexpr uint8_t ETX = 0x03;
inline constexpr uint8_t ACK = 0x06;
inline constexpr uint8_t NAK = 0x15;
inline constexpr uint8_t CAN = 0x18;
} // namespace ctl

namespace cmd {
inline constexpr uint8_t ComandoIdentificacion = 0x01;
inline constexpr uint8_t ComandoTotales = 0x02;
inline constexpr uint8_t ComandoFechas = 0x03;
inline constexpr uint8_t ComandoPedirProgramacion = 0x04;
inline constexpr uint8_t ComandoIntervalos = 0x05;
inline constexpr uint8_t ComandoSesiones = 0x06;
inline constexpr uint8_t ComandoEnviarProgramacion = 0x08;
inline constexpr uint8_t ComandoTiempoReal = 0x09;
inline constexpr uint8_t ComandoPassword = 0x0A;
inline constexpr uint8_t ComandoNuevaPassword = 0x0B;
inline constexpr uint8_t ComandoBorrado = 0x0C;
inline constexpr uint8_t ComandoTest = 0x0D;
inline constexpr uint8_t ComandoCalibracion = 0x0E;
inline constexpr uint8_t ComandoNivelCalibracion = 0x0F;
inline constexpr uint8_t ComandoSonometro = 0x11;
} // namespace cmd

// One-byte answers (ResultadoEnvio).
inline constexpr int kResultadoAck = 6;
inline constexpr int kResultadoOtro = 21;
inline constexpr int kResultadoNada = 24;
// The port was lost while waiting; its message is already shown and the port closed.
inline constexpr int kResultadoPerdido = -3;
// The program's end was asked for: the send or the wait stopped, with nothing to report.
inline constexpr int kResultadoParado = -4;

inline constexpr int kMinFrame = 6;
inline constexpr int kMaxFrame = 513;

// BufferTrama: the last received frame, offset k at index k. Bytes beyond the frame are zero.
class FrameBuffer {
public:
    static constexpr int kSize = kMaxFrame;

    uint8_t at(int k) const; // 0 outside the buffer
    uint8_t& operator[](int k) { return bytes_.at(static_cast<size_t>(k)); }
    // LEN of the last whole frame received, 0 when none.
    int length() const { return length_; }
    void setLength(int len) { length_ = len; }
    void clear();
    // Zeroes everything after the frame's last byte.
    void clearAfter(int len);
    // True when the received frame holds offset k in its data (before ETX and XOR).
    bool holds(int k) const { return length_ >= k + 3; }
    QByteArray frame() const;

    // Numbers, most significant byte first.
    int16_t readI16BE(int k) const;
    uint32_t readU24BE(int k) const;
    int32_t readI32BE(int k) const;
    // Least significant byte first (calibration and meter frames).
    int16_t readI16LE(int k) const;
    uint32_t readU24LE(int k) const;
    int32_t readI32LE(int k) const;

private:
    std::array<uint8_t, kSize> bytes_{};
    int length_ = 0;
};

// Two upper-case hexadecimal digits.
QString HexByte(uint8_t b);

uint8_t xorOf(QByteArrayView bytes);

// The whole frame for a command: STX, LEN, cmd, data, ETX, XOR.
QByteArray buildFrame(uint8_t command, QByteArrayView data = {});

} // namespace nbx
