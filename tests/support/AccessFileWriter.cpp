#include "support/AccessFileWriter.h"

#include <QDateTime>
#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace nbx::test {

namespace {

// Column type codes of the format.
enum : quint8 { kBool = 0x01, kByte = 0x02, kLong = 0x04, kInteger = 0x03, kSingle = 0x06, kDouble = 0x07, kDateTime = 0x08, kText = 0x0a, kOle = 0x0b, kMemo = 0x0c };

struct Col {
    QString name;
    quint8 type;
    int width = 255; // Text, in characters
};

bool isFixed(quint8 type) { return type != kText && type != kMemo && type != kOle; }

// The bytes a fixed column takes in a row (a Bool none: it lives in the row's mask).
int fixedSize(quint8 type)
{
    switch (type) {
    case kByte: return 1;
    case kInteger: return 2;
    case kLong:
    case kSingle: return 4;
    case kDouble:
    case kDateTime: return 8;
    default: return 0; // variable length
    }
}

void put16(QByteArray& b, int at, quint16 v) { qToLittleEndian(v, b.data() + at); }
void put32(QByteArray& b, int at, quint32 v) { qToLittleEndian(v, b.data() + at); }

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    put32(b, 0, v);
    return b;
}

class Writer {
public:
    explicit Writer(bool jet4) : jet4(jet4), kPage(jet4 ? 4096 : 2048) {}

    const bool jet4; // 4 KB pages, UCS-2 texts, two-byte counts and offsets in rows
    const int kPage;
    QList<QByteArray> pages;

    int addPage(QByteArray page = {})
    {
        pages << (page.isEmpty() ? QByteArray(kPage, '\0') : page);
        return int(pages.size() - 1);
    }

    QByteArray text(const QString& s) const
    {
        if (!jet4)
            return s.toLatin1();
        QByteArray b(int(s.size()) * 2, '\0');
        for (int i = 0; i < s.size(); ++i)
            put16(b, 2 * i, s[i].unicode());
        return b;
    }

    // A data page (also used for usage maps and long values) holding `rows` from its end backwards.
    QByteArray dataPage(quint32 owner, const QList<QByteArray>& rows, bool longValues = false)
    {
        QByteArray page(kPage, '\0');
        page[0] = 0x01;
        page[1] = 0x01;
        if (longValues)
            std::memcpy(page.data() + 4, "LVAL", 4);
        else
            put32(page, 4, owner);
        const int count = jet4 ? 12 : 8;
        put16(page, count, quint16(rows.size()));
        int end = kPage;
        for (int i = 0; i < rows.size(); ++i) {
            end -= int(rows[i].size());
            std::memcpy(page.data() + end, rows[i].constData(), size_t(rows[i].size()));
            put16(page, count + 2 + 2 * i, quint16(end));
        }
        put16(page, 2, quint16(end - count - 2 - 2 * rows.size()));
        return page;
    }

    // A long value on a chain of pages; gives the first piece's page and row.
    quint32 longValue(const QByteArray& bytes)
    {
        const int chunk = 1800;
        QList<QByteArray> pieces;
        for (int at = 0; at < bytes.size(); at += chunk)
            pieces << bytes.mid(at, chunk);
        const int first = int(pages.size());
        for (int i = 0; i < pieces.size(); ++i) {
            const quint32 next = i + 1 < pieces.size() ? quint32(first + i + 1) << 8 : 0;
            addPage(dataPage(0, {le32(next) + pieces[i]}, true));
        }
        return quint32(first) << 8;
    }

    QByteArray cell(quint8 type, const QVariant& v)
    {
        QByteArray b;
        switch (type) {
        case kByte:
            b = QByteArray(1, char(v.toInt()));
            break;
        case kInteger:
            b.resize(2);
            put16(b, 0, quint16(v.toInt()));
            break;
        case kLong:
            b = le32(quint32(v.toInt()));
            break;
        case kSingle: {
            const float f = v.toFloat();
            quint32 u;
            std::memcpy(&u, &f, 4);
            b = le32(u);
            break;
        }
        case kDouble:
        case kDateTime: {
            double d = v.toDouble();
            if (type == kDateTime) {
                const QDateTime t = v.toDateTime();
                d = double(QDate(1899, 12, 30).daysTo(t.date())) + t.time().msecsSinceStartOfDay() / 86400000.0;
            }
            b.resize(8);
            std::memcpy(b.data(), &d, 8);
            break;
        }
        case kText: {
            // Jet 4 keeps a text of one-byte characters compressed, behind FF FE, as Access does.
            const QString t = v.toString();
            const bool oneByte = std::all_of(t.cbegin(), t.cend(), [](QChar c) { return c.unicode() > 0 && c.unicode() < 256; });
            b = jet4 && oneByte && !t.isEmpty() ? QByteArray("\xff\xfe", 2) + t.toLatin1() : text(t);
            break;
        }
        case kMemo: {
            const QByteArray memo = text(v.toString());
            b.resize(12);
            b.fill('\0');
            put32(b, 0, quint32(memo.size()));
            put32(b, 4, longValue(memo));
            break;
        }
        }
        return b;
    }

    // Column count, fixed part, variable part, the variable columns' offsets last to first (the
    // first preceded by the end of the data), their count, and the mask of present columns.
    QByteArray row(const QList<Col>& cols, const QVariantList& values)
    {
        QByteArray fixed, var;
        QList<QByteArray> varCells;
        QByteArray present((cols.size() + 7) / 8, '\0');
        for (int i = 0; i < cols.size(); ++i) {
            const QVariant v = values.value(i);
            if (cols[i].type == kBool ? v.toBool() : !v.isNull())
                present[i / 8] = char(present[i / 8] | (1 << (i % 8)));
            const int size = fixedSize(cols[i].type);
            if (isFixed(cols[i].type))
                fixed += v.isNull() || cols[i].type == kBool ? QByteArray(size, '\0') : cell(cols[i].type, v);
            else
                varCells << (v.isNull() ? QByteArray() : cell(cols[i].type, v));
        }
        const auto number = [&](int n) {
            QByteArray b(jet4 ? 2 : 1, '\0');
            if (jet4)
                put16(b, 0, quint16(n));
            else
                b[0] = char(n);
            return b;
        };
        QByteArray out = number(int(cols.size()));
        out += fixed;
        QList<int> offsets;
        for (const QByteArray& c : std::as_const(varCells)) {
            offsets << int(out.size());
            out += c;
        }
        offsets << int(out.size());
        for (qsizetype i = offsets.size() - 1; i >= 0; --i)
            out += number(offsets[i]);
        out += number(int(varCells.size()));
        out += present;
        return out;
    }

    // A table definition page: counts, usage map, columns and their names.
    QByteArray tableDefinition(const QList<Col>& cols, int rows, quint32 usageMap, QList<int>* typeAt = nullptr)
    {
        QByteArray page(kPage, '\0');
        page[0] = 0x02;
        page[1] = 0x01;
        if (!jet4) {
            page[2] = 'V';
            page[3] = 'C';
        }
        // The table block: Jet 4 has 20 more bytes before the table type.
        const int shift = jet4 ? 20 : 0;
        put32(page, jet4 ? 16 : 12, quint32(rows));
        page[20 + shift] = 0x4e;
        int var = 0;
        for (const Col& c : cols)
            var += !isFixed(c.type);
        put16(page, 21 + shift, quint16(cols.size()));
        put16(page, 23 + shift, quint16(var));
        put16(page, 25 + shift, quint16(cols.size()));
        put32(page, 35 + shift, usageMap);
        put32(page, 39 + shift, usageMap);
        // Column entries: Jet 4 has 4 more bytes after the type and 7 more before the fixed offset.
        const int pad = jet4 ? 4 : 0, flags = jet4 ? 15 : 13, tail = jet4 ? 7 : 0;
        int at = 43 + shift, fixedAt = 0, varNo = 0;
        for (int i = 0; i < cols.size(); ++i) {
            const quint8 type = cols[i].type;
            const bool fixed = isFixed(type);
            const int size = fixedSize(type);
            const int textSize = cols[i].width * (jet4 ? 2 : 1);
            if (typeAt)
                *typeAt << at;
            page[at] = char(type);
            put16(page, at + pad + 1, quint16(i));
            put16(page, at + pad + 3, quint16(fixed ? 0 : varNo++));
            put16(page, at + pad + 5, quint16(i));
            page[at + flags] = char(fixed ? 0x03 : 0x02);
            put16(page, at + 14 + tail, quint16(fixed ? fixedAt : 0));
            put16(page, at + 16 + tail, quint16(type == kBool ? 1 : fixed ? size : type == kText ? textSize : 0));
            fixedAt += size;
            at += jet4 ? 25 : 18;
        }
        for (const Col& c : cols) {
            const QByteArray name = text(c.name);
            if (jet4) {
                put16(page, at, quint16(name.size()));
                at += 2;
            } else {
                page[at++] = char(name.size());
            }
            std::memcpy(page.data() + at, name.constData(), size_t(name.size()));
            at += int(name.size());
        }
        put32(page, 8, quint32(at));
        return page;
    }

    // Lays out one table from `tdef` on: its definition page, then its data pages. Usage maps go
    // on page 1, whose rows are `maps`.
    void table(int tdef, const QList<Col>& cols, const QList<QVariantList>& rows, QList<QByteArray>* maps,
               QList<int>* typeAt)
    {
        QList<QByteArray> cells;
        for (const QVariantList& r : rows)
            cells << row(cols, r);
        // Long values first, so that the data pages of the table follow one another.
        QList<QList<QByteArray>> onPages(1);
        int used = 10;
        for (const QByteArray& c : std::as_const(cells)) {
            if (used + c.size() + 2 > kPage - 16) {
                onPages.append(QList<QByteArray>());
                used = 10;
            }
            onPages.last() << c;
            used += int(c.size()) + 2;
        }
        const int first = int(pages.size());
        for (const QList<QByteArray>& p : std::as_const(onPages))
            addPage(dataPage(quint32(tdef), p));
        QByteArray map(1, '\0');
        map += le32(quint32(first));
        QByteArray bits((onPages.size() + 7) / 8, '\0');
        for (int i = 0; i < onPages.size(); ++i)
            bits[i / 8] = char(bits[i / 8] | (1 << (i % 8)));
        map += bits;
        const quint32 mapRow = (1u << 8) | quint32(maps->size());
        *maps << map;
        pages[tdef] = tableDefinition(cols, int(rows.size()), mapRow, typeAt);
    }
};

// RC4, with which the format scrambles part of the first page.
void rc4(const QByteArray& key, char* data, int size)
{
    quint8 s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = quint8(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + quint8(key[i % key.size()])) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < size; ++n) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        data[n] = char(data[n] ^ s[(s[i] + s[j]) & 0xff]);
    }
}

} // namespace

bool writeAccessFile(const QString& path, const QList<AccessTable>& tables, AccessVersion version, AccessLayout* layout)
{
    Writer w(version == AccessVersion::Jet4);
    QByteArray header(w.kPage, '\0');
    header[1] = 0x01;
    std::memcpy(header.data() + 4, "Standard Jet DB", 15);
    put32(header, 0x14, w.jet4 ? 1 : 0); // the versions of the format with 2 KB and with 4 KB pages
    put16(header, w.jet4 ? 0x6e : 0x3a, 0x0409);
    put16(header, 0x3c, 1252);
    rc4(QByteArray("\xC7\xDA\x39\x6B", 4), header.data() + 0x18, w.jet4 ? 128 : 126);
    w.addPage(header);
    w.addPage(); // usage maps, laid out last
    w.addPage(); // the catalog's definition
    QList<QByteArray> maps;
    // The catalog is written last, once the pages of the tables are known; its data page comes first.
    const int catalogData = w.addPage();
    const QList<Col> catalog = {{"Id", kLong}, {"Name", kText}, {"Type", kInteger}, {"Flags", kLong}, {"LvProp", kOle}};
    QList<QVariantList> entries;
    QList<qint64> typeBytes;
    for (const AccessTable& t : tables) {
        QList<Col> cols;
        for (const AccessColumn& c : t.columns) {
            static const quint8 codes[] = {kLong, kSingle, kDouble, kDateTime, kText, kMemo, kByte, kInteger, kBool};
            cols.append({c.name, codes[int(c.type)], c.width});
        }
        const int tdef = w.addPage();
        QList<int> typeAt;
        w.table(tdef, cols, t.rows, &maps, &typeAt);
        for (const int at : std::as_const(typeAt))
            typeBytes << qint64(tdef) * w.kPage + at;
        entries.append({tdef, t.name, 1, 0, QVariant()});
    }
    QList<QByteArray> catalogRows;
    for (const QVariantList& e : std::as_const(entries))
        catalogRows << w.row(catalog, e);
    w.pages[catalogData] = w.dataPage(2, catalogRows);
    QByteArray catalogMap(1, '\0');
    catalogMap += le32(quint32(catalogData));
    catalogMap += char(0x01);
    const quint32 catalogMapRow = (1u << 8) | quint32(maps.size());
    maps << catalogMap;
    QList<int> catalogTypeAt;
    w.pages[2] = w.tableDefinition(catalog, int(entries.size()), catalogMapRow, &catalogTypeAt);
    w.pages[1] = w.dataPage(0, maps);
    if (layout) {
        layout->pageSize = w.kPage;
        layout->typeBytes.clear();
        for (const int at : std::as_const(catalogTypeAt))
            layout->typeBytes << qint64(2) * w.kPage + at;
        layout->typeBytes += typeBytes;
    }

    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (const QByteArray& p : std::as_const(w.pages))
        if (f.write(p) != p.size())
            return false;
    return true;
}

} // namespace nbx::test
