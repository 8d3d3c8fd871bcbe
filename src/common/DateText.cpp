#include "common/DateText.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace nbx {

int expandTwoDigitYear(int yy) { return yy < 50 ? 2000 + yy : 1900 + yy; }

std::optional<QDate> parseSheetDate(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{1,2}|\\d{4})\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    int year = m.captured(3).toInt();
    if (m.captured(3).size() <= 2)
        year = expandTwoDigitYear(year);
    const QDate date(year, m.captured(2).toInt(), m.captured(1).toInt());
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QTime> parseSheetTime(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2}):(\\d{1,2})\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int h = m.captured(1).toInt();
    const int mi = m.captured(2).toInt();
    if (h > 23 || mi > 59)
        return std::nullopt;
    return QTime(h, mi);
}

std::optional<QDateTime> TypedDateTime::moment() const
{
    if (!date || !time)
        return std::nullopt;
    return QDateTime(*date, *time, QTimeZone::utc());
}

TypedDateTime parseSheetDateTime(const QString& text)
{
    const QString t = text.trimmed();
    const qsizetype blank = t.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return {parseSheetDate(t), std::nullopt};
    return {parseSheetDate(t.left(blank)), parseSheetTime(t.mid(blank + 1))};
}

QString formatSheetDate(const QDate& d)
{
    return d.toString(QStringLiteral("dd/MM/")) + QStringLiteral("%1").arg(d.year() % 100, 2, 10, QLatin1Char('0'));
}

QString formatSheetTime(const QTime& t) { return t.toString(QStringLiteral("HH:mm")); }

} // namespace nbx
