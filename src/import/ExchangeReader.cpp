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

// Digits only, checked by the caller.
int number(QStringView s)
{
    int v = 0;
    for (QChar c : s)
        v = v * 10 + (c.unicode() - '0');
    return v;
}

} // namespace

bool parseInteger(QStringView s, qlonglong lo, qlonglong hi, qlonglong* value)
{
    s = trimBlanks(s);
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
    s = trimBlanks(s);
    char buffer[64];
    if (s.isEmpty() || s.size() >= qsizetype(sizeof buffer))
        return false;
    qsizetype n = 0;
    int separators = 0;
    for (QChar c : s) {
        if (c.unicode() > 0x7F)
            return false;
        const bool separator = c == QLatin1Char(',') || c == QLatin1Char('.');
        if (separator && ++separators > 1)
            return false;
        buffer[n++] = separator ? '.' : char(c.unicode());
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
    s = trimBlanks(s);
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
    if (s.size() < 4 || s.size() > 8)
        return std::nullopt;
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
    if (!lines_.isEmpty())
        lastLineEnded_ = lines_.last().offset + lines_.last().length < bytes_.size();
    hasNul_ = std::memchr(bytes_.constData(), 0, size_t(bytes_.size())) != nullptr;
}

QString ExchangeText::line(qsizetype index) const
{
    QString out;
    line(index, &out);
    return out;
}

void ExchangeText::line(qsizetype index, QString* out) const
{
    const LineSpan s = lines_.at(index);
    const char* p = bytes_.constData() + s.offset;
    if (utf8_) {
        *out = QString::fromUtf8(p, s.length);
        return;
    }
    // Windows-1252 is Latin-1 but for the bytes 0x80-0x9F.
    out->resize(s.length);
    QChar* d = out->data();
    for (qsizetype i = 0; i < s.length; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        if (b >= 0x80 && b <= 0x9F) {
            *out = cp1252ToUnicode(QByteArray::fromRawData(p, s.length));
            return;
        }
        d[i] = QChar(b);
    }
}

bool ExchangeText::isMarker(qsizetype index) const
{
    const LineSpan s = lines_.at(index);
    return s.length >= 2 && bytes_[s.offset] == '/' && bytes_[s.offset + 1] == '/';
}

bool ExchangeText::isBlank(qsizetype index) const
{
    const LineSpan s = lines_.at(index);
    const char* p = bytes_.constData() + s.offset;
    for (qsizetype i = 0; i < s.length; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        if (b >= 0x80)
            return isBlankRow(line(index)); // a space beyond ASCII
        if (b != ';' && b != '"' && !QChar::isSpace(b))
            return false;
    }
    return true;
}

bool ExchangeText::lineHasNul(qsizetype index) const
{
    const LineSpan s = lines_.at(index);
    return hasNul_ && std::memchr(bytes_.constData() + s.offset, 0, size_t(s.length)) != nullptr;
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
    auto error = [](FormatError::Kind kind, qsizetype line) {
        FormatError e;
        e.kind = kind;
        e.line = line;
        return e;
    };
    bool known = false;
    for (qsizetype i = 0; i < text.lineCount(); ++i) {
        if (!text.isMarker(i)) {
            if (sections->isEmpty())
                return error(FormatError::Kind::NoMarker, i + 1);
            continue;
        }
        if (text.lineHasNul(i))
            return error(FormatError::Kind::Damaged, i + 1);
        const QString line = text.line(i);
        if (line.size() < 4)
            return error(FormatError::Kind::ShortMarker, i + 1);
        if (!sections->isEmpty())
            sections->last().endLine = i;
        ExchangeSection s;
        s.name = line.mid(2, line.size() - 4);
        s.table = exchangeTableIndex(s.name);
        s.markerLine = i;
        s.firstLine = i + 1;
        s.endLine = text.lineCount();
        known = known || s.table >= 0;
        sections->append(s);
    }
    if (!known)
        return error(FormatError::Kind::NoTable, 0);
    return std::nullopt;
}

bool splitFieldViews(QStringView line, FieldViews* fields, QStringList* unescaped)
{
    fields->clear();
    bool closed = true;
    const char16_t* p = line.utf16();
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
            closed = closed && close < n;
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
            qsizetype semi = i;
            while (semi < n && p[semi] != u';')
                ++semi;
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
    return closed;
}

QString cellExcerpt(QStringView cell)
{
    constexpr qsizetype kMax = 60;
    qsizetype n = qMin(cell.size(), kMax);
    if (n < cell.size() && n > 0 && cell[n - 1].isHighSurrogate())
        --n; // never half a character
    QString out = cell.left(n).toString();
    for (QChar& c : out)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QChar::ReplacementCharacter;
    if (n < cell.size())
        out += QChar(0x2026);
    return out;
}

bool isBlankRow(const QString& line)
{
    for (QChar c : line)
        if (!c.isSpace() && c != QLatin1Char(';') && c != QLatin1Char('"'))
            return false;
    return true;
}

} // namespace nbx
