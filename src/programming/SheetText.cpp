#include "programming/SheetText.h"

#include "localisation/Strings.h"

#include <QRegularExpression>

#include <cmath>

namespace nbx {

double leadingNumber(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([-+]?(\\d+(\\.\\d*)?|\\.\\d+))"));
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : 0.0;
}

double versionValue(const QString& text) { return leadingNumber(text); }

bool hasCmi(const QString& versionText) { return versionValue(versionText) >= 2.0; }

QString fmtTime(int h, int m)
{
    if (h >= 0 && h <= 23 && m >= 0 && m <= 59)
        return QStringLiteral("%1:%2").arg(h, 2, 10, QLatin1Char('0')).arg(m, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(h).arg(m);
}

QString fmtDate(int d, int m, int y)
{
    const QDate date(1900 + y, m, d);
    if (date.isValid())
        return formatSheetDate(date);
    return QStringLiteral("%1/%2/%3").arg(d).arg(m).arg(y);
}

QString formatLongTime(const QTime& t) { return t.toString(QStringLiteral("HH:mm:ss")); }

std::optional<double> boxNumber(const QString& text, const QLocale& locale)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    double v = locale.toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);
    if (!ok)
        return std::nullopt;
    return v;
}

QString invalidFieldMessage(long labelId, const QString& detail)
{
    QString label = GetS(labelId).trimmed();
    while (label.endsWith(QLatin1Char(':')))
        label.chop(1);
    QString text = GetS(106) + QStringLiteral(": ") + label;
    if (!detail.isEmpty())
        text += QLatin1Char(' ') + detail;
    return text;
}

std::optional<quint8> byteValue(const QString& text, const QLocale& locale)
{
    const std::optional<double> v = boxNumber(text, locale);
    if (!v)
        return std::nullopt;
    const double r = std::nearbyint(*v);
    if (!(r >= 0 && r <= 255))
        return std::nullopt;
    return quint8(r);
}

} // namespace nbx
