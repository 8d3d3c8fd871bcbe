// The Access-file reader over libmdb (mdbtools).
#include "import/DatabaseMerge.h"

#include <glib.h>
#include <mdbtools.h>

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <clocale>
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
        // is not whole pages, or whose catalog lost rows, is refused here.
        if (!mdb_ || QFileInfo(path).size() % mdb_->fmt->pg_size != 0 || !catalogIsWhole()
            || !mdb_read_catalog(mdb_, MDB_TABLE)) {
            if (error)
                *error = QStringLiteral("%1: not an Access database").arg(path);
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
        QByteArray name = table.toUtf8();
        MdbTableDef* def = mdb_read_table_by_name(mdb_, name.data(), MDB_TABLE);
        if (!def || !mdb_read_columns(def)) {
            if (def)
                mdb_free_tabledef(def);
            if (error)
                *error = QStringLiteral("%1: cannot be read").arg(table);
            return false;
        }
        const unsigned int n = def->num_cols;
        std::vector<std::vector<char>> buffers(n, std::vector<char>(kBindSize + 1));
        std::vector<int> lengths(n, 0);
        std::vector<bool> readable(n, true);
        columns->clear();
        for (unsigned int c = 0; c < n; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
            // libmdb gives nothing for every cell of a column whose type it does not know, and
            // reads a known fixed type over the wrong bytes when the definition's size is not its
            // size: either is a damaged definition, which would lose the column without a word.
            if (!knownColumn(col)) {
                mdb_free_tabledef(def);
                if (error)
                    *error = QStringLiteral("%1: column %2 cannot be read").arg(table, QString::fromUtf8(col->name));
                return false;
            }
            *columns << QString::fromUtf8(col->name);
            readable[c] = col->col_type != MDB_OLE && col->col_type != MDB_BINARY;
            // A memo is read whole after the row is fetched; a bound one is cut at the bind size.
            if (col->col_type != MDB_MEMO)
                mdb_bind_column(def, int(c + 1), buffers[c].data(), &lengths[c]);
        }
        mdb_rewind_table(def);
        QVariantList values;
        unsigned int fetched = 0;
        bool stopped = false, memoLost = false;
        while (mdb_fetch_row(def)) {
            ++fetched;
            values.clear();
            for (unsigned int c = 0; c < n && !memoLost; ++c) {
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
                if (col->col_type == MDB_MEMO) {
                    const std::optional<QVariant> memo = memoText(col);
                    memoLost = !memo;
                    values << memo.value_or(QVariant());
                } else if (!readable[c] || (lengths[c] == 0 && col->col_type != MDB_BOOL))
                    values << QVariant();
                else
                    values << QString::fromUtf8(buffers[c].data(), qstrnlen(buffers[c].data(), kBindSize));
            }
            if (memoLost)
                break;
            if (!row(values)) {
                stopped = true;
                break;
            }
        }
        // Rows on a page that is lost or damaged are skipped silently: the table's definition
        // holds how many there are.
        const bool whole = !memoLost && (stopped || fetched >= def->num_rows);
        mdb_free_tabledef(def);
        if (!whole && error)
            *error = memoLost ? QStringLiteral("%1: a memo of row %2 is damaged").arg(table).arg(fetched)
                              : QStringLiteral("%1: rows are missing").arg(table);
        return whole;
    }

private:
    // True when the catalog (the list of every object of the file) reads as many rows as its
    // definition holds: a lost row would leave a table out without a word.
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
        unsigned int fetched = 0;
        if (mdb_read_columns(def)) {
            mdb_rewind_table(def);
            while (mdb_fetch_row(def))
                ++fetched;
        }
        const bool whole = fetched >= def->num_rows;
        mdb_free_tabledef(def);
        return whole;
    }

    // True for a column whose type libmdb reads, with the size of that type when it is fixed.
    static bool knownColumn(const MdbColumn* col)
    {
        switch (col->col_type) {
        case MDB_BOOL:
        case MDB_TEXT:
        case MDB_MEMO:
        case MDB_OLE:
        case MDB_BINARY:
        case MDB_REPID:
        case MDB_NUMERIC: return true;
        case MDB_BYTE: return col->col_size == 1;
        case MDB_INT: return col->col_size == 2;
        case MDB_LONGINT:
        case MDB_FLOAT: return col->col_size == 4;
        case MDB_MONEY:
        case MDB_DOUBLE:
        case MDB_DATETIME: return col->col_size == 8;
        default: return false;
        }
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
    // cannot all be found (a damaged file). libmdb's own conversion cuts a memo at its bind size,
    // and gives a cut or empty text for a piece that is lost, so the pieces are gathered here: in
    // the row, on one page, or on a chain of pages, until the length the memo's header gives.
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
        // Three bytes of UTF-8 at most for each byte read.
        QByteArray text(raw.size() * 3 + 4, '\0');
        mdb_unicode2ascii(mdb_, raw.constData(), size_t(raw.size()), text.data(), size_t(text.size()));
        return QVariant(QString::fromUtf8(text.constData(), qstrnlen(text.constData(), size_t(text.size()))));
    }

    static constexpr size_t kBindSize = 65536;
    MdbHandle* mdb_ = nullptr;
};

} // namespace

std::unique_ptr<AccessReader> makeAccessReader() { return std::make_unique<LibmdbReader>(); }

} // namespace nbx
