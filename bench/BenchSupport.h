// Small measuring helpers shared by the benchmark programs (Linux).
#pragma once

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <ctime>
#include <vector>

namespace bench {

// Processor time of the calling thread, in microseconds.
inline double threadCpuUs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

// The middle value of the samples (the upper one of an even count).
inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A "kB" figure of /proc/self/status by its key without the colon ("VmRSS" now, "VmHWM" the
// peak); -1 when it cannot be read.
inline long statusKiB(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace bench
