#include "common/StoredValue.h"

#include <QString>
#include <cmath>
#include <limits>

namespace nbx {

std::optional<qint64> storedWhole(const QVariant& value, qint64 lo, qint64 hi)
{
    if (value.isNull())
        return std::nullopt;
    qint64 n = 0;
    switch (value.typeId()) {
    case QMetaType::LongLong: case QMetaType::Int: case QMetaType::Long: case QMetaType::Short:
    case QMetaType::SChar: case QMetaType::Char: case QMetaType::UInt: case QMetaType::UShort:
    case QMetaType::UChar: case QMetaType::Bool:
        n = value.toLongLong();
        break;
    case QMetaType::ULongLong: case QMetaType::ULong: {
        const qulonglong u = value.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        n = qint64(u);
        break;
    }
    case QMetaType::Double: case QMetaType::Float: {
        // 2^63 itself is out of range; NaN fails both tests.
        const double d = std::round(value.toDouble());
        if (!(d >= -0x1p63 && d < 0x1p63))
            return std::nullopt;
        n = qint64(d);
        break;
    }
    case QMetaType::QString: {
        bool ok = false;
        n = value.toString().toLongLong(&ok);
        if (!ok)
            return std::nullopt;
        break;
    }
    default:
        return std::nullopt;
    }
    if (n < lo || n > hi)
        return std::nullopt;
    return n;
}

std::optional<qint32> storedSerial(const QVariant& value)
{
    const std::optional<qint64> n =
        storedWhole(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    return n ? std::optional<qint32>(qint32(*n)) : std::nullopt;
}

} // namespace nbx
