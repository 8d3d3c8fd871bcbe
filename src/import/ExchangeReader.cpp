#include "import/ExchangeReader.h"

#include "common/Cp1252.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <charconv>
#include <cmath>
#include <cstring>

namespace nbx {

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF", 3);

bool allDigits(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

int number(QStringView s) { return s.toInt(); }

bool readInteger(const QString& text, qlonglong lo, qlonglong hi, QVariant* value)
{
    qlonglong v = 0;
    if (!parseInteger(text, lo, hi, &v))
        return false;
    *value = v;
    return true;
}

bool readSingle(const QString& text, QVariant* value)
{
    double v = 0;
    if (!parseSingle(text, &v))
        return false;
    *value = v;
    return true;
}

bool readBit(const QString& text, QVariant* value)
{
    bool v = false;
    if (!parseBit(text, &v))
        return false;
    *value = v;
    return true;
}

// "yyyy-mm-dd", optionally followed by a blank and a time of day.
bool readDateTime(QStringView s, QDate* date, std::optional<QTime>* time)
{
    s = s.trimmed();
    const qsizetype blank = s.indexOf(QLatin1Char(' '));
    const auto d = parseIsoDate(blank < 0 ? s : s.left(blank));
    if (!d)
        return false;
    *date = *d;
    time->reset();
    if (blank >= 0) {
        const auto t = parseClockTime(s.mid(blank + 1).trimmed());
        if (!t)
            return false;
        *time = t;
    }
    return true;
}

bool readDate(const ExchangeTable& table, const QString& text, QVariant* value)
{
    if (!table.dateTimeFormat) {
        // The inhibited-interval hours: a time of day, or a date-time whose time is taken.
        const QStringView s = QStringView(text).trimmed();
        if (const auto t = parseClockTime(s)) {
            *value = *t;
            return true;
        }
        QDate d;
        std::optional<QTime> t2;
        if (!readDateTime(s, &d, &t2))
            return false;
        *value = t2.value_or(QTime(0, 0));
        return true;
    }
    QDate d;
    std::optional<QTime> t;
    if (!readDateTime(text, &d, &t))
        return false;
    if (table.dateTimeColumns())
        *value = QDateTime(d, t.value_or(QTime(0, 0)), Qt::UTC);
    else
        *value = d;
    return true;
}

} // namespace

bool parseInteger(QStringView s, qlonglong lo, qlonglong hi, qlonglong* value)
{
    s = s.trimmed();
    bool negative = false;
    if (!s.isEmpty() && (s[0] == QLatin1Char('-') || s[0] == QLatin1Char('+'))) {
        negative = s[0] == QLatin1Char('-');
        s = s.mid(1);
    }
    if (s.isEmpty() || s.size() > 12)
        return false;
    qlonglong v = 0;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
    }
    if (negative)
        v = -v;
    if (v < lo || v > hi)
        return false;
    *value = v;
    return true;
}

bool parseSingle(QStringView s, double* value)
{
    s = s.trimmed();
    if (s.isEmpty() || s.count(QLatin1Char('.')) + s.count(QLatin1Char(',')) > 1)
        return false;
    char buffer[64];
    if (s.size() >= qsizetype(sizeof buffer))
        return false;
    qsizetype n = 0;
    for (QChar c : s) {
        if (c.unicode() > 0x7F)
            return false;
        buffer[n++] = c == QLatin1Char(',') ? '.' : char(c.unicode());
    }
    const char* begin = buffer;
    if (n > 1 && buffer[0] == '+' && buffer[1] != '-')
        ++begin;
    double v = 0;
    const auto [end, error] = std::from_chars(begin, buffer + n, v);
    if (error != std::errc() || end != buffer + n || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

bool parseBit(QStringView s, bool* value)
{
    s = s.trimmed();
    for (const char* yes : {"1", "-1", "true", "yes"})
        if (s.compare(QLatin1String(yes), Qt::CaseInsensitive) == 0)
            return *value = true, true;
    for (const char* no : {"0", "false", "no"})
        if (s.compare(QLatin1String(no), Qt::CaseInsensitive) == 0)
            return *value = false, true;
    return false;
}

std::optional<QDate> parseIsoDate(QStringView s)
{
    if (s.size() != 10 || s[4] != QLatin1Char('-') || s[7] != QLatin1Char('-'))
        return std::nullopt;
    const QStringView y = s.mid(0, 4), m = s.mid(5, 2), d = s.mid(8, 2);
    if (!allDigits(y) || !allDigits(m) || !allDigits(d))
        return std::nullopt;
    const QDate date(number(y), number(m), number(d));
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QTime> parseClockTime(QStringView s)
{
    const qsizetype c1 = s.indexOf(QLatin1Char(':'));
    if (c1 < 1 || c1 > 2)
        return std::nullopt;
    const QStringView h = s.left(c1);
    QStringView rest = s.mid(c1 + 1);
    QStringView m = rest, sec;
    const qsizetype c2 = rest.indexOf(QLatin1Char(':'));
    if (c2 >= 0) {
        m = rest.left(c2);
        sec = rest.mid(c2 + 1);
        if (sec.size() != 2 || !allDigits(sec))
            return std::nullopt;
    }
    if (!allDigits(h) || m.size() != 2 || !allDigits(m))
        return std::nullopt;
    const int hh = number(h), mm = number(m), ss = sec.isEmpty() ? 0 : number(sec);
    if (hh > 23 || mm > 59 || ss > 59)
        return std::nullopt;
    return QTime(hh, mm, ss);
}

QString decodeExchangeBytes(const QByteArray& bytes)
{
    if (bytes.startsWith(kUtf8Bom))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    return cp1252ToUnicode(bytes);
}

QVector<LineSpan> splitLineSpans(const QByteArray& bytes, qsizetype start)
{
    QVector<LineSpan> lines;
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    const bool crEnds = bytes.indexOf('\r', start) >= 0;
    const char end = crEnds ? '\r' : '\n';
    qsizetype begin = start;
    while (begin < n) {
        const char* hit = static_cast<const char*>(std::memchr(p + begin, end, size_t(n - begin)));
        if (!hit) {
            lines.append({begin, n - begin});
            break;
        }
        const qsizetype at = hit - p;
        lines.append({begin, at - begin});
        begin = at + 1;
        if (crEnds && begin < n && p[begin] == '\n')
            ++begin;
    }
    return lines;
}

ExchangeText::ExchangeText(QByteArray bytes)
    : bytes_(std::move(bytes))
{
    utf8_ = bytes_.startsWith(kUtf8Bom);
    lines_ = splitLineSpans(bytes_, utf8_ ? 3 : 0);
}

QString ExchangeText::line(qsizetype index) const
{
    const LineSpan s = lines_.at(index);
    const char* p = bytes_.constData() + s.offset;
    if (utf8_)
        return QString::fromUtf8(p, s.length);
    // Windows-1252 is Latin-1 but for the bytes 0x80-0x9F.
    for (qsizetype i = 0; i < s.length; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        if (b >= 0x80 && b <= 0x9F)
            return cp1252ToUnicode(QByteArray::fromRawData(p, s.length));
    }
    return QString::fromLatin1(p, s.length);
}

QStringList splitExchangeLines(const QByteArray& bytes)
{
    const ExchangeText text(bytes);
    QStringList out;
    for (qsizetype i = 0; i < text.lineCount(); ++i)
        out << text.line(i);
    return out;
}

std::optional<FormatError> splitSections(const ExchangeText& text, QList<ExchangeSection>* sections)
{
    sections->clear();
    for (qsizetype i = 0; i < text.lineCount(); ++i) {
        const QString line = text.line(i);
        if (!line.startsWith(QLatin1String("//"))) {
            if (sections->isEmpty()) {
                FormatError e;
                e.kind = FormatError::Kind::NoMarker;
                e.line = i + 1;
                return e;
            }
            continue;
        }
        if (line.size() < 4) {
            FormatError e;
            e.kind = FormatError::Kind::ShortMarker;
            e.line = i + 1;
            return e;
        }
        if (!sections->isEmpty())
            sections->last().endLine = i;
        ExchangeSection s;
        s.name = line.mid(2, line.size() - 4);
        s.table = exchangeTableIndex(s.name);
        s.markerLine = i;
        s.firstLine = i + 1;
        s.endLine = text.lineCount();
        sections->append(s);
    }
    return std::nullopt;
}

QStringList splitFields(const QString& line)
{
    QStringList fields;
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (true) {
        QString field;
        if (i < n && line[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (line[i] == QLatin1Char('"')) {
                    if (i + 1 < n && line[i + 1] == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            // Anything between the closing quote and the next ";" stays with the field.
            while (i < n && line[i] != QLatin1Char(';'))
                field += line[i++];
        } else {
            const qsizetype semi = line.indexOf(QLatin1Char(';'), i);
            const qsizetype stop = semi < 0 ? n : semi;
            field = line.mid(i, stop - i);
            i = stop;
        }
        fields << field;
        if (i >= n)
            break;
        ++i; // the ";"
        if (i == n) {
            fields << QString();
            break;
        }
    }
    return fields;
}

void splitFieldViews(QStringView line, QList<QStringView>* fields, QStringList* unescaped)
{
    fields->clear();
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (true) {
        if (i < n && line[i] == QLatin1Char('"')) {
            const qsizetype start = i + 1;
            qsizetype close = start;
            bool doubled = false;
            while (close < n) {
                if (line[close] == QLatin1Char('"')) {
                    if (close + 1 < n && line[close + 1] == QLatin1Char('"')) {
                        doubled = true;
                        close += 2;
                        continue;
                    }
                    break;
                }
                ++close;
            }
            qsizetype semi = line.indexOf(QLatin1Char(';'), qMin(close, n));
            if (semi < 0)
                semi = n;
            if (doubled || close + 1 < semi) {
                // Unescape, and keep what stands between the closing quote and the ";".
                QString f = line.mid(start, qMin(close, n) - start).toString();
                f.replace(QLatin1String("\"\""), QLatin1String("\""));
                if (close + 1 < semi)
                    f += line.mid(close + 1, semi - close - 1);
                unescaped->append(f);
                fields->append(unescaped->last());
            } else {
                fields->append(line.mid(start, qMin(close, n) - start));
            }
            i = semi;
        } else {
            qsizetype semi = line.indexOf(QLatin1Char(';'), i);
            if (semi < 0)
                semi = n;
            fields->append(line.mid(i, semi - i));
            i = semi;
        }
        if (i >= n)
            break;
        ++i;
        if (i == n) {
            fields->append(QStringView());
            break;
        }
    }
}

bool isBlankRow(const QString& line)
{
    for (QChar c : line)
        if (!c.isSpace() && c != QLatin1Char(';') && c != QLatin1Char('"'))
            return false;
    return true;
}

bool readCell(const ExchangeTable& table, const ExchangeColumn& column, const QString& text, QVariant* value)
{
    *value = QVariant();
    const bool text_ = column.type == ExchangeType::Char || column.type == ExchangeType::Memo;
    if (text.isEmpty() || (!text_ && text.trimmed().isEmpty()))
        return true;
    switch (column.type) {
    case ExchangeType::Integer: return readInteger(text, -2147483648LL, 2147483647LL, value);
    case ExchangeType::Short: return readInteger(text, -32768, 32767, value);
    case ExchangeType::Byte: return readInteger(text, 0, 255, value);
    case ExchangeType::Single: return readSingle(text, value);
    case ExchangeType::Bit: return readBit(text, value);
    case ExchangeType::Date: return readDate(table, text, value);
    case ExchangeType::Char:
    case ExchangeType::Memo: *value = text; return true;
    }
    return false;
}

std::optional<FormatError> readRow(const ExchangeTable& table, const QString& line, qsizetype lineNumber,
                                   QVector<QVariant>* cells)
{
    const QStringList fields = splitFields(line);
    cells->resize(table.columns.size());
    for (qsizetype c = 0; c < qsizetype(table.columns.size()); ++c) {
        const ExchangeColumn& column = table.columns[c];
        const QString text = c < fields.size() ? fields[c] : QString();
        if (!readCell(table, column, text, &(*cells)[c])) {
            FormatError e;
            e.kind = FormatError::Kind::BadCell;
            e.line = lineNumber;
            e.table = table.tableName();
            e.column = int(c + 1);
            e.columnName = QString::fromLatin1(column.name);
            e.value = text;
            return e;
        }
    }
    return std::nullopt;
}

std::optional<FormatError> readSection(const ExchangeText& text, const ExchangeSection& section,
                                       const ExchangeTable& table, QList<TypedRow>* rows)
{
    rows->clear();
    for (qsizetype i = section.firstLine + 1; i < section.endLine; ++i) {
        const QString line = text.line(i);
        if (isBlankRow(line))
            continue;
        TypedRow row;
        row.line = i + 1;
        if (auto e = readRow(table, line, row.line, &row.cells))
            return e;
        rows->append(std::move(row));
    }
    return std::nullopt;
}

} // namespace nbx
