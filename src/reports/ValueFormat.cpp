#include "reports/ValueFormat.h"

#include <QDate>

#include <cmath>

namespace nbx::reports {

namespace {

bool isWhole(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Char: case QMetaType::UChar: case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

// Rounds the decimal digits "int.frac" (no sign) to one decimal, half away from zero.
QString roundOneDecimal(const QString& digits)
{
    const qsizetype dot = digits.indexOf(QLatin1Char('.'));
    QString whole = dot < 0 ? digits : digits.left(dot);
    QString frac = dot < 0 ? QString() : digits.mid(dot + 1);
    frac = (frac + QStringLiteral("00")).left(2);
    QString kept = whole + frac.left(1); // digits of value * 10, truncated
    if (frac.at(1) >= QLatin1Char('5')) {
        int i = int(kept.size()) - 1;
        while (i >= 0) {
            if (kept[i] == QLatin1Char('9')) {
                kept[i] = QLatin1Char('0');
                --i;
            } else {
                kept[i] = QChar(kept[i].unicode() + 1);
                break;
            }
        }
        if (i < 0)
            kept.prepend(QLatin1Char('1'));
    }
    QString intPart = kept.left(kept.size() - 1);
    while (intPart.startsWith(QLatin1Char('0')))
        intPart.remove(0, 1);
    return intPart + QLatin1Char('.') + kept.right(1);
}

} // namespace

QString formatOneDecimal(const QVariant& value, const QLocale& locale)
{
    if (value.isNull() || !value.isValid())
        return QString();
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok)
        return value.toString();
    // The shortest decimal form of the stored value, so 2.25 rounds as written.
    QString digits = QString::number(d, 'f', QLocale::FloatingPointShortest);
    const bool negative = digits.startsWith(QLatin1Char('-'));
    if (negative)
        digits.remove(0, 1);
    QString text = roundOneDecimal(digits);
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    return negative ? locale.negativeSign() + text : text;
}

double leadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    QString digits;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        digits += text[i++];
    bool dot = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 0x80)
            digits += c;
        else if (c == QLatin1Char('.') && !dot) {
            dot = true;
            digits += c;
        } else
            break;
    }
    bool ok = false;
    const double v = digits.toDouble(&ok);
    return ok ? v : 0.0;
}

QString defaultText(const QVariant& value, const QLocale& locale)
{
    if (value.isNull() || !value.isValid())
        return QString();
    if (isWhole(value))
        return QString::number(value.toLongLong());
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
        const double d = value.toDouble();
        // The range first: an infinite or huge real has no integer to convert to.
        if (qAbs(d) < 1e15 && d == std::trunc(d))
            return QString::number(qint64(d));
        QString s = QString::number(d, 'f', QLocale::FloatingPointShortest);
        s.replace(QLatin1Char('.'), locale.decimalPoint());
        if (s.startsWith(QLatin1Char('-')))
            s = locale.negativeSign() + s.mid(1);
        return s;
    }
    return value.toString();
}

QString formatRounded(const QVariant& value)
{
    bool ok = false;
    const double d = value.toDouble(&ok);
    // The range first: qRound64 of an infinite or huge real is undefined.
    if (!ok || !(qAbs(d) < 1e15))
        return defaultText(value);
    return QString::number(qRound64(d));
}

QString formatStoredDate(const QVariant& value, const QString& pattern)
{
    const QString text = value.toString();
    const QDate d = QDate::fromString(text, Qt::ISODate);
    if (!d.isValid() || text.size() != 10)
        return text;
    QString p = pattern;
    // Qt writes "yy" of any year as its last two digits already; keep the pattern as given.
    return d.toString(p);
}

} // namespace nbx::reports
