// The Access-file reader over libmdb (mdbtools).
#include "import/DatabaseMerge.h"

#include <glib.h>
#include <mdbtools.h>

#include <QFile>
#include <QFileInfo>
#include <clocale>
#include <locale.h>
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
            *columns << QString::fromUtf8(col->name);
            readable[c] = col->col_type != MDB_OLE && col->col_type != MDB_BINARY;
            // A memo is read whole after the row is fetched; a bound one is cut at the bind size.
            if (col->col_type != MDB_MEMO)
                mdb_bind_column(def, int(c + 1), buffers[c].data(), &lengths[c]);
        }
        mdb_rewind_table(def);
        QVariantList values;
        unsigned int fetched = 0;
        bool stopped = false;
        while (mdb_fetch_row(def)) {
            ++fetched;
            values.clear();
            for (unsigned int c = 0; c < n; ++c) {
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
                if (col->col_type == MDB_MEMO)
                    values << memoText(col);
                else if (!readable[c] || (lengths[c] == 0 && col->col_type != MDB_BOOL))
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
        const bool whole = stopped || fetched >= def->num_rows;
        mdb_free_tabledef(def);
        if (!whole && error)
            *error = QStringLiteral("%1: rows are missing").arg(table);
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

    // The memo of the row just fetched, whole, or null when it is empty. libmdb's own conversion
    // cuts a memo at its bind size, so the pieces are gathered here: in the row, on one page, or
    // on a chain of pages.
    QVariant memoText(MdbColumn* col)
    {
        const int start = col->cur_value_start;
        const int size = col->cur_value_len;
        if (size < MDB_MEMO_OVERHEAD || start < 0 || start + size > int(mdb_->fmt->pg_size))
            return {};
        const guint32 header = guint32(mdb_get_int32(mdb_->pg_buf, start));
        const guint32 length = header & 0x00ffffff;
        QByteArray raw;
        if (header & 0x80000000) {
            raw = QByteArray(reinterpret_cast<const char*>(mdb_->pg_buf) + start + MDB_MEMO_OVERHEAD,
                             size - MDB_MEMO_OVERHEAD);
        } else if (header & 0x40000000) {
            void* buf = nullptr;
            int rowStart = 0;
            size_t len = 0;
            if (mdb_find_pg_row(mdb_, mdb_get_int32(mdb_->pg_buf, start + 4), &buf, &rowStart, &len) == 0)
                raw = QByteArray(static_cast<const char*>(buf) + rowStart, qsizetype(len));
        } else if ((header & 0xff000000) == 0) {
            int pgRow = mdb_get_int32(mdb_->pg_buf, start + 4);
            while (pgRow != 0 && raw.size() < qsizetype(length)) {
                void* buf = nullptr;
                int rowStart = 0;
                size_t len = 0;
                if (mdb_find_pg_row(mdb_, pgRow, &buf, &rowStart, &len) != 0 || len <= 4)
                    break;
                const auto* row = static_cast<const unsigned char*>(buf) + rowStart;
                raw.append(reinterpret_cast<const char*>(row) + 4, qsizetype(len) - 4);
                pgRow = mdb_get_int32(const_cast<unsigned char*>(row), 0);
            }
            raw.truncate(qsizetype(length));
        }
        if (raw.isEmpty())
            return {};
        // Three bytes of UTF-8 at most for each byte read.
        QByteArray text(raw.size() * 3 + 4, '\0');
        mdb_unicode2ascii(mdb_, raw.constData(), size_t(raw.size()), text.data(), size_t(text.size()));
        return QString::fromUtf8(text.constData(), qstrnlen(text.constData(), size_t(text.size())));
    }

    static constexpr size_t kBindSize = 65536;
    MdbHandle* mdb_ = nullptr;
};

} // namespace

std::unique_ptr<AccessReader> makeAccessReader() { return std::make_unique<LibmdbReader>(); }

} // namespace nbx
