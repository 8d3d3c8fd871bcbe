#include "SimFrame.h"

#include <QString>

namespace nbx::sim {

quint8 xorOf(const QByteArray& bytes)
{
    quint8 x = 0;
    for (char c : bytes)
        x ^= static_cast<quint8>(c);
    return x;
}

QByteArray encodeFrame(quint8 command, const QByteArray& data)
{
    const int len = data.size() + 6;
    QByteArray f;
    f.reserve(len);
    f.append(char(kStx));
    f.append(char((len >> 8) & 0xFF));
    f.append(char(len & 0xFF));
    f.append(char(command));
    f.append(data);
    f.append(char(kEtx));
    f.append(char(xorOf(f)));
    return f;
}

void FrameDecoder::reset()
{
    m_state = State::WaitStx;
    m_raw.clear();
    m_len = 0;
}

FrameDecoder::Result FrameDecoder::feed(quint8 byte)
{
    switch (m_state) {
    case State::WaitStx:
        if (byte != kStx)
            return Result::Idle;
        m_raw = QByteArray(1, char(byte));
        m_state = State::LenHi;
        return Result::InFrame;
    case State::LenHi:
        m_raw.append(char(byte));
        m_state = State::LenLo;
        return Result::InFrame;
    case State::LenLo: {
        m_raw.append(char(byte));
        m_len = qint16((quint8(m_raw[1]) << 8) | byte);
        if (m_len < kMinFrame || m_len > kMaxFrame) {
            m_frame = DecodedFrame{};
            m_frame.length = m_len;
            m_frame.raw = m_raw;
            m_frame.problem = QStringLiteral("length %1 out of range").arg(m_len);
            reset();
            return Result::Complete;
        }
        m_state = State::Body;
        return Result::InFrame;
    }
    case State::Body:
        m_raw.append(char(byte));
        if (m_raw.size() < m_len)
            return Result::InFrame;
        m_frame = DecodedFrame{};
        m_frame.length = m_len;
        m_frame.raw = m_raw;
        m_frame.command = quint8(m_raw[3]);
        m_frame.data = m_raw.mid(4, m_len - 6);
        if (xorOf(m_raw.left(m_len - 1)) != quint8(m_raw[m_len - 1]))
            m_frame.problem = QStringLiteral("check byte wrong");
        else if (quint8(m_raw[m_len - 2]) != kEtx)
            m_frame.problem = QStringLiteral("no ETX before the check byte");
        m_frame.valid = m_frame.problem.isEmpty();
        reset();
        return Result::Complete;
    }
    return Result::Idle;
}

}  // namespace nbx::sim
