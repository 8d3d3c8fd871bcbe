#include "link/Frame.h"

#include <algorithm>

namespace nbx {


uint8_t FrameBuffer::at(int k) const
{
    if (k < 0 || k >= kSize)
        return 0;
    return bytes_[static_cast<size_t>(k)];
}

void FrameBuffer::clear()
{
    bytes_.fill(0);
    length_ = 0;
}

void FrameBuffer::clearAfter(int len)
{
    for (int k = std::max(len, 0); k < kSize; ++k)
        bytes_[static_cast<size_t>(k)] = 0;
}

QByteArray FrameBuffer::frame() const
{
    return QByteArray(reinterpret_cast<const char*>(bytes_.data()), length_);
}

// The device's numbers arrive as raw bytes; the historical reader joined their hexadecimal
// digits and converted the text, which is the same as the arithmetic below.
int16_t FrameBuffer::readI16BE(int k) const
{
    return static_cast<int16_t>(static_cast<uint16_t>((at(k) << 8) | at(k + 1)));
}

uint32_t FrameBuffer::readU24BE(int k) const
{
    return (uint32_t(at(k)) << 16) | (uint32_t(at(k + 1)) << 8) | at(k + 2);
}

int32_t FrameBuffer::readI32BE(int k) const
{
    return static_cast<int32_t>((uint32_t(at(k)) << 24) | (uint32_t(at(k + 1)) << 16) |
                                (uint32_t(at(k + 2)) << 8) | at(k + 3));
}

int16_t FrameBuffer::readI16LE(int k) const
{
    return static_cast<int16_t>(static_cast<uint16_t>((at(k + 1) << 8) | at(k)));
}

uint32_t FrameBuffer::readU24LE(int k) const
{
    return (uint32_t(at(k + 2)) << 16) | (uint32_t(at(k + 1)) << 8) | at(k);
}

int32_t FrameBuffer::readI32LE(int k) const
{
    return static_cast<int32_t>((uint32_t(at(k + 3)) << 24) | (uint32_t(at(k + 2)) << 16) |
                                (uint32_t(at(k + 1)) << 8) | at(k));
}

QString HexByte(uint8_t b)
{
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

uint8_t xorOf(QByteArrayView bytes)
{
    uint8_t x = 0;
    for (char c : bytes)
        x ^= static_cast<uint8_t>(c);
    return x;
}

QByteArray buildFrame(uint8_t command, QByteArrayView data)
{
    const int len = static_cast<int>(data.size()) + kMinFrame;
    QByteArray f;
    f.reserve(len);
    f.append(char(ctl::STX));
    f.append(char((len >> 8) & 0xFF));
    f.append(char(len & 0xFF));
    f.append(char(command));
    f.append(data.data(), data.size());
    f.append(char(ctl::ETX));
    f.append(char(xorOf(f)));
    return f;
}

} // namespace nbx
