// The program's side of the simulator's pseudo-terminal, with plain POSIX calls only, so the
// simulator is checked without the program's own link code.
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace nbx::test {

class SlaveLine {
public:
    explicit SlaveLine(const QString& path)
        : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~SlaveLine()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SlaveLine(const SlaveLine&) = delete;
    SlaveLine& operator=(const SlaveLine&) = delete;

    bool isOpen() const { return m_fd >= 0; }

    bool write(const QByteArray& bytes)
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Reads until `count` bytes came or `timeoutMs` passed without completing them. The deadline
    // is long, since it ends as soon as the bytes are there: a loaded machine delays them.
    QByteArray read(int count, int timeoutMs = 10000)
    {
        QByteArray got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                break;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, int(left)) <= 0)
                continue;
            char buf[1024];
            const ssize_t n = ::read(m_fd, buf, size_t(std::min<qsizetype>(count - got.size(), 1024)));
            if (n > 0)
                got.append(buf, n);
        }
        return got;
    }

    // Everything that arrives within `ms` (used to show that nothing comes).
    QByteArray readFor(int ms) { return read(1 << 20, ms); }

    // Reads until the line has been quiet for `quietMs`; false when bytes still come after
    // `timeoutMs` (a stream that never stops).
    bool drain(int quietMs = 150, int timeoutMs = 10000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!readFor(quietMs).isEmpty())
            if (std::chrono::steady_clock::now() >= end)
                return false;
        return true;
    }

private:
    int m_fd;
};

// Hex bytes to a byte array: "02 00 06" -> {0x02, 0x00, 0x06}.
inline QByteArray bytes(const char* hex) { return QByteArray::fromHex(QByteArray(hex)); }

}  // namespace nbx::test
