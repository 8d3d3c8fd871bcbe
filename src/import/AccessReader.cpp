// The Access-file reader over libmdb (mdbtools).
#include "import/DatabaseMerge.h"

#include "common/Database.h"

#include <glib.h>
#include <mdbtools.h>

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <clocale>
#include <cstring>
#include <locale.h>
#include <optional>
#include <vector>

namespace nbx {

namespace {

// libmdb prints Single and Double values with the C library's printf: under this guard they come
// with a point whatever the desktop's locale.
class CLocaleScope {
public:
    CLocaleScope()
    {
        c_ = newlocale(LC_ALL_MASK, "C", locale_t(0));
        if (c_)
            previous_ = uselocale(c_);
    }
    ~CLocaleScope()
    {
        if (c_) {
            uselocale(previous_);
            freelocale(c_);
        }
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t c_ = locale_t(0);
    locale_t previous_ = locale_t(0);
};

bool isJet4(const MdbHandle* mdb) { return mdb->f->jet_version != MDB_VER_JET3; }

// True for a type kept in a row's fixed part.
bool fixedType(int type) { return type != MDB_TEXT && type != MDB_MEMO && type != MDB_OLE && type != MDB_BINARY; }

// True for a column whose type libmdb reads, kept where its type is kept (fixed or not), with the
// size of that type when it is fixed. libmdb gives nothing for every cell of a column whose type it
// does not know, and reads a type over the wrong bytes when the definition's size or place is not
// the type's: either is a damaged definition, which would lose the column without a word.
bool knownColumn(const MdbColumn* col, bool jet4)
{
    if ((col->is_fixed != 0) != fixedType(col->col_type))
        return false;
    switch (col->col_type) {
    case MDB_BOOL:
    case MDB_MEMO:
    case MDB_OLE:
    case MDB_BINARY: return true;
    case MDB_TEXT: return col->col_size > 0 && col->col_size <= (jet4 ? 510 : 255);
    case MDB_BYTE: return col->col_size == 1;
    case MDB_INT: return col->col_size == 2;
    case MDB_LONGINT:
    case MDB_FLOAT: return col->col_size == 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME: return col->col_size == 8;
    case MDB_REPID: return col->col_size == 16;
    case MDB_NUMERIC: return col->col_size == 17;
    default: return false;
    }
}

// The name of the program's table `table` names (any case), or empty for another program's table.
QString ourTable(const QString& table)
{
    for (const QString& t : schemaTables())
        if (t.compare(table, Qt::CaseInsensitive) == 0)
            return t;
    return {};
}

// The Access types the program's files give the column `column` of one of its tables, whose
// columns are `schema`, told by the column's name; empty for a column the table does not have,
// which is read whatever its type.
QList<int> ourTypes(const QStringList& schema, const QString& column)
{
    QString name;
    for (const QString& c : schema)
        if (c.compare(column, Qt::CaseInsensitive) == 0)
            name = c;
    if (name.isEmpty())
        return {};
    const auto typed = [&](QLatin1String prefix) {
        return name.startsWith(prefix) && name.size() > prefix.size() && name[prefix.size()].isUpper();
    };
    if (name == u"TNota" || name == u"memo")
        return {MDB_MEMO};
    if (typed(QLatin1String("Bo")) || name == u"CMI")
        return {MDB_BOOL};
    if (typed(QLatin1String("By")))
        return {MDB_BYTE};
    if (typed(QLatin1String("L")))
        return {MDB_LONGINT};
    if (typed(QLatin1String("I")))
        return {MDB_INT};
    if (typed(QLatin1String("S")))
        return {MDB_FLOAT};
    if (typed(QLatin1String("D")))
        return {MDB_DATETIME};
    if (name.startsWith(QLatin1String("THora"))) // a time of day: text, or a date and time
        return {MDB_TEXT, MDB_DATETIME};
    return {MDB_TEXT};
}

// The columns of the catalog (the table of every object of the file) and their types: the reader
// lists the tables through Id, Name, Type and Flags.
int catalogType(const QString& column)
{
    static const std::pair<const char*, int> kColumns[] = {
        {"Id", MDB_LONGINT}, {"Name", MDB_TEXT}, {"Type", MDB_INT}, {"Flags", MDB_LONGINT},
        {"ParentId", MDB_LONGINT}, {"Owner", MDB_BINARY}, {"DateCreate", MDB_DATETIME},
        {"DateUpdate", MDB_DATETIME}, {"Connect", MDB_MEMO}, {"Database", MDB_MEMO},
        {"ForeignName", MDB_TEXT}, {"RmtInfoShort", MDB_BINARY}, {"RmtInfoLong", MDB_OLE},
        {"Lv", MDB_OLE}, {"LvProp", MDB_OLE}, {"LvModule", MDB_OLE}, {"LvExtra", MDB_OLE},
    };
    for (const auto& [name, type] : kColumns)
        if (column == QLatin1String(name))
            return type;
    return -1;
}

// True when the stored text of `size` bytes at `bytes` is whole: no NUL where it would cut the
// text short, no more bytes than `most`. Jet 4 keeps UCS-2, or a compressed form behind FF FE in
// which a 0 byte switches between one and two bytes a character.
bool textIsWhole(const MdbHandle* mdb, const unsigned char* bytes, int size, int most)
{
    if (size < 0 || size > most)
        return false;
    if (!isJet4(mdb))
        return std::memchr(bytes, 0, size_t(size)) == nullptr;
    if (size >= 2 && bytes[0] == 0xff && bytes[1] == 0xfe) {
        // Every run between switches has characters, the two-byte ones whole.
        bool oneByte = true;
        int run = 0;
        for (int i = 2; i < size; ++i) {
            if (bytes[i] != 0) {
                ++run;
                continue;
            }
            if (run == 0 || (!oneByte && run % 2 != 0))
                return false;
            oneByte = !oneByte;
            run = 0;
        }
        return run > 0 && (oneByte || run % 2 == 0);
    }
    if (size % 2 != 0)
        return false;
    for (int i = 0; i < size; i += 2)
        if (bytes[i] == 0 && bytes[i + 1] == 0)
            return false;
    return true;
}

class LibmdbReader : public AccessReader {
public:
    ~LibmdbReader() override
    {
        if (mdb_)
            mdb_close(mdb_);
    }

    bool open(const QString& path, QString* error) override
    {
        CLocaleScope c;
        const QByteArray name = QFile::encodeName(path);
        mdb_ = mdb_open(name.constData(), MDB_NOFLAGS);
        // libmdb has no checksums and reads a cut or damaged file without a word, so a file that
        // is not whole pages, or whose catalog is not whole, is refused here.
        if (mdb_)
            pages_ = QFileInfo(path).size() / mdb_->fmt->pg_size;
        if (!mdb_ || QFileInfo(path).size() % mdb_->fmt->pg_size != 0 || !catalogIsWhole()
            || !mdb_read_catalog(mdb_, MDB_TABLE) || !catalogEntriesAreSound()) {
            if (error)
                *error = QStringLiteral("%1: not an Access database, or a damaged one").arg(path);
            return false;
        }
        mdb_set_date_fmt(mdb_, "%Y-%m-%d %H:%M:%S");
        mdb_set_shortdate_fmt(mdb_, "%Y-%m-%d");
        mdb_set_boolean_fmt_numbers(mdb_);
        mdb_set_bind_size(mdb_, kBindSize);
        return true;
    }

    QStringList tables() override
    {
        QStringList out;
        for (unsigned int i = 0; mdb_ && i < mdb_->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
            if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry))
                out << QString::fromUtf8(entry->object_name);
        }
        return out;
    }

    bool readTable(const QString& table, QStringList* columns,
                   const std::function<bool(const QVariantList&)>& row, QString* error) override
    {
        CLocaleScope c;
        MdbTableDef* def = tableDefinition(table.toUtf8());
        const auto refuse = [&](const QString& why) {
            if (def)
                mdb_free_tabledef(def);
            if (error)
                *error = QStringLiteral("%1: %2").arg(table, why);
            return false;
        };
        if (!def || !mdb_read_columns(def) || !usageMapIsSound(def))
            return refuse(QStringLiteral("cannot be read"));
        const QString ours = ourTable(table);
        const QStringList schema = ours.isEmpty() ? QStringList() : schemaColumns(ours);
        const unsigned int n = def->num_cols;
        std::vector<std::vector<char>> buffers(n);
        std::vector<int> lengths(n, 0);
        std::vector<bool> readable(n, true);
        columns->clear();
        for (unsigned int c = 0; c < n; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
            const QString column = QString::fromUtf8(col->name);
            // A column of the program's tables has the type its files give it: another one is a
            // damaged definition.
            const QList<int> types = ourTypes(schema, column);
            if (column.isEmpty() || !findName(*columns, column).isEmpty() || !knownColumn(col, isJet4(mdb_))
                || (!types.isEmpty() && !types.contains(col->col_type)))
                return refuse(QStringLiteral("column %1 cannot be read").arg(column));
            *columns << column;
            readable[c] = col->col_type != MDB_OLE && col->col_type != MDB_BINARY;
            // A memo is read whole after the row is fetched; a bound one is cut at the bind size.
            if (col->col_type != MDB_MEMO && readable[c]) {
                buffers[c].resize(kBindSize + 1);
                mdb_bind_column(def, int(c + 1), buffers[c].data(), &lengths[c]);
            }
        }
        mdb_rewind_table(def);
        QVariantList values;
        unsigned int fetched = 0;
        bool stopped = false;
        while (mdb_fetch_row(def)) {
            ++fetched;
            if (!rowIsWhole(def, !ours.isEmpty()))
                return refuse(QStringLiteral("row %1 is damaged").arg(fetched));
            values.clear();
            for (unsigned int c = 0; c < n; ++c) {
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
                if (col->col_type == MDB_MEMO) {
                    const std::optional<QVariant> memo = memoText(col);
                    if (!memo)
                        return refuse(QStringLiteral("a memo of row %1 is damaged").arg(fetched));
                    values << *memo;
                } else if (!readable[c] || (lengths[c] == 0 && col->col_type != MDB_BOOL))
                    values << QVariant();
                else
                    values << QString::fromUtf8(buffers[c].data(), qstrnlen(buffers[c].data(), kBindSize));
            }
            if (!row(values)) {
                stopped = true;
                break;
            }
        }
        // Rows on a page that is lost or damaged are skipped silently: the table's definition
        // holds how many there are.
        if (!stopped && fetched < def->num_rows)
            return refuse(QStringLiteral("rows are missing"));
        mdb_free_tabledef(def);
        return true;
    }

private:
    // The definition of the table `name` from the catalog read at the open (libmdb's own look-up by
    // name reads the whole catalog again for every table).
    MdbTableDef* tableDefinition(const QByteArray& name)
    {
        for (unsigned int i = 0; i < mdb_->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
            if (entry->object_type == MDB_TABLE && qstricmp(entry->object_name, name.constData()) == 0)
                return mdb_read_table(entry);
        }
        return nullptr;
    }

    static QString findName(const QStringList& names, const QString& name)
    {
        for (const QString& n : names)
            if (n.compare(name, Qt::CaseInsensitive) == 0)
                return n;
        return {};
    }

    // True when the catalog (the list of every object of the file) has its known columns and
    // reads as many whole rows as its definition holds: a lost row, or a garbled one, would leave
    // a table out without a word or give it another name.
    bool catalogIsWhole()
    {
        MdbCatalogEntry catalog{};
        catalog.mdb = mdb_;
        catalog.object_type = MDB_TABLE;
        catalog.table_pg = 2; // where the format keeps it
        qstrncpy(catalog.object_name, "MSysObjects", sizeof catalog.object_name);
        MdbTableDef* def = mdb_read_table(&catalog);
        if (!def)
            return false;
        bool whole = mdb_read_columns(def) && usageMapIsSound(def);
        QStringList names;
        for (unsigned int c = 0; whole && c < def->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
            names << QString::fromUtf8(col->name);
            whole = knownColumn(col, isJet4(mdb_)) && catalogType(names.last()) == col->col_type;
        }
        for (const char* needed : {"Id", "Name", "Type", "Flags"})
            whole = whole && names.contains(QLatin1String(needed));
        unsigned int fetched = 0;
        if (whole) {
            mdb_rewind_table(def);
            while (whole && mdb_fetch_row(def)) {
                ++fetched;
                whole = rowIsWhole(def, true);
            }
        }
        whole = whole && fetched >= def->num_rows;
        mdb_free_tabledef(def);
        return whole;
    }

    // True when every table the catalog lists has a name of its own: of two tables of one name, only
    // the first could be read.
    bool catalogEntriesAreSound()
    {
        QStringList names;
        for (unsigned int i = 0; i < mdb_->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
            if (entry->object_type != MDB_TABLE)
                continue;
            const QString name = QString::fromUtf8(entry->object_name);
            if (name.isEmpty() || !findName(names, name).isEmpty())
                return false;
            names << name;
        }
        return true;
    }

    // True when the table's usage map (which pages hold its rows) can be followed: libmdb reads
    // past it, or ends the process, on one that is cut or names pages outside the file.
    bool usageMapIsSound(const MdbTableDef* def) const
    {
        const unsigned char* map = def->usage_map;
        const qint64 size = qint64(def->map_sz);
        if (!map || size < 1)
            return false;
        switch (map[0]) {
        case 0: return size >= 5; // a first page, then one bit a page
        case 1: // the pages that hold the bits
            for (qint64 at = 1; at + 4 <= size; at += 4) {
                const qint64 page = qint64(guint32(mdb_get_int32(const_cast<unsigned char*>(map), int(at))));
                if (page >= pages_)
                    return false;
            }
            return true;
        default: return false;
        }
    }

    // True when the row just fetched is laid out as the format lays out a row: a column count, the
    // fixed part, the variable part with its offsets in order within the row, their count and the
    // mask of present columns; a variable column marked empty has no bytes, and every text is whole. A row
    // of `strict` a table (one of ours, or the catalog, whose columns are never deleted) holds no
    // more fixed or variable columns than its table. A sector of zeros over a row's start or end
    // breaks one of these.
    bool rowIsWhole(MdbTableDef* def, bool strict)
    {
        const bool jet4 = isJet4(mdb_);
        int start = 0;
        size_t length = 0;
        if (def->cur_row == 0 || mdb_find_row(mdb_, int(def->cur_row - 1), &start, &length) != 0)
            return false;
        start &= 0x1fff;
        const int size = int(length);
        const int countSize = jet4 ? 2 : 1;
        const unsigned char* page = mdb_->pg_buf;
        if (size < countSize + 1 || start + size > int(mdb_->fmt->pg_size))
            return false;
        const int rowCols = jet4 ? mdb_get_int16(mdb_->pg_buf, start) : page[start];
        const int mask = (rowCols + 7) / 8;
        if (countSize + mask + (def->num_var_cols > 0 ? countSize : 0) >= size)
            return false;
        const int end = start + size - 1;
        int rowVarCols = 0;
        if (def->num_var_cols > 0)
            rowVarCols = jet4 ? mdb_get_int16(mdb_->pg_buf, end - mask - 1) : page[end - mask];
        if (rowVarCols > rowCols)
            return false;
        if (strict) {
            unsigned int fixedCols = 0;
            for (unsigned int c = 0; c < def->num_cols; ++c)
                fixedCols += static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c))->is_fixed != 0;
            if (unsigned(rowVarCols) > def->num_var_cols || unsigned(rowCols - rowVarCols) > fixedCols)
                return false;
        }
        std::vector<MdbField> fields(def->num_cols);
        if (mdb_crack_row(def, start, length, fields.data()) <= 0)
            return false;
        const int dataEnd = end + 1 - mask - (def->num_var_cols > 0 ? countSize * (rowVarCols + 2) : 0);
        for (unsigned int c = 0; c < def->num_cols; ++c) {
            const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
            const MdbField& f = fields[c];
            if (!col->is_fixed && col->var_col_num < unsigned(rowVarCols)) {
                if (f.siz < 0 || f.start < start + countSize || f.start + f.siz > dataEnd || (f.is_null && f.siz > 0))
                    return false;
                if (!f.is_null && col->col_type == MDB_TEXT && !textIsWhole(mdb_, page + f.start, f.siz, col->col_size))
                    return false;
            }
        }
        return true;
    }

    // The piece of a long value at `pgRow` (page and row), or nullopt when it is not on a data
    // page or does not lie within its page.
    std::optional<QByteArray> longValuePiece(int pgRow)
    {
        void* buf = nullptr;
        int rowStart = 0;
        size_t len = 0;
        const int pageSize = int(mdb_->fmt->pg_size);
        if (pgRow <= 0 || mdb_find_pg_row(mdb_, pgRow, &buf, &rowStart, &len) != 0)
            return std::nullopt;
        const auto* page = static_cast<const unsigned char*>(buf);
        const int offset = rowStart & 0x1fff; // the row's place, without its flags
        const bool deleted = rowStart & 0x8000;
        if (page[0] != MDB_PAGE_DATA || deleted || offset <= mdb_->fmt->row_count_offset || len > size_t(pageSize - offset))
            return std::nullopt;
        return QByteArray(reinterpret_cast<const char*>(page) + offset, qsizetype(len));
    }

    // The memo of the row just fetched, whole, or null when it is empty; nullopt when its pieces
    // cannot all be found or its text is not whole (a damaged file). libmdb's own conversion cuts a
    // memo at its bind size, and gives a cut or empty text for a piece that is lost, so the pieces
    // are gathered here: in the row, on one page, or on a chain of pages, until the length the
    // memo's header gives.
    std::optional<QVariant> memoText(MdbColumn* col)
    {
        const int start = col->cur_value_start;
        const int size = col->cur_value_len;
        if (size == 0)
            return QVariant();
        if (size < MDB_MEMO_OVERHEAD || start < 0 || start + size > int(mdb_->fmt->pg_size))
            return std::nullopt;
        const guint32 header = guint32(mdb_get_int32(mdb_->pg_buf, start));
        const qsizetype length = qsizetype(header & 0x00ffffff);
        QByteArray raw;
        switch (header & 0xff000000) {
        case 0x80000000: // in the row
            raw = QByteArray(reinterpret_cast<const char*>(mdb_->pg_buf) + start + MDB_MEMO_OVERHEAD,
                             size - MDB_MEMO_OVERHEAD);
            break;
        case 0x40000000: { // one row on another page
            const auto piece = longValuePiece(mdb_get_int32(mdb_->pg_buf, start + 4));
            if (!piece)
                return std::nullopt;
            raw = *piece;
            break;
        }
        case 0: { // a chain of rows, each starting with where the next one is
            int pgRow = mdb_get_int32(mdb_->pg_buf, start + 4);
            QSet<int> seen; // a chain that comes back to a row it has been on is damaged
            while (raw.size() < length) {
                const auto piece = seen.contains(pgRow) ? std::nullopt : longValuePiece(pgRow);
                seen.insert(pgRow);
                if (!piece || piece->size() <= 4)
                    return std::nullopt;
                raw.append(piece->constData() + 4, piece->size() - 4);
                pgRow = mdb_get_int32(reinterpret_cast<unsigned char*>(const_cast<char*>(piece->constData())), 0);
            }
            break;
        }
        default:
            return std::nullopt;
        }
        if (raw.size() < length)
            return std::nullopt;
        raw.truncate(length);
        if (raw.isEmpty())
            return QVariant();
        if (!textIsWhole(mdb_, reinterpret_cast<const unsigned char*>(raw.constData()), int(raw.size()), int(raw.size())))
            return std::nullopt;
        // Three bytes of UTF-8 at most for each byte read.
        QByteArray text(raw.size() * 3 + 4, '\0');
        mdb_unicode2ascii(mdb_, raw.constData(), size_t(raw.size()), text.data(), size_t(text.size()));
        return QVariant(QString::fromUtf8(text.constData(), qstrnlen(text.constData(), size_t(text.size()))));
    }

    // Room for the longest value a bound column gives: a text of 255 characters in UTF-8.
    static constexpr size_t kBindSize = 4096;
    MdbHandle* mdb_ = nullptr;
    qint64 pages_ = 0;
};

} // namespace

std::unique_ptr<AccessReader> makeAccessReader() { return std::make_unique<LibmdbReader>(); }

} // namespace nbx
