// The Access-file reader over libmdb (mdbtools).
#include "import/DatabaseMerge.h"

#include <glib.h>
#include <mdbtools.h>

#include <QFile>
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
        if (!mdb_ || !mdb_read_catalog(mdb_, MDB_TABLE)) {
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
        while (mdb_fetch_row(def)) {
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
            if (!row(values))
                break;
        }
        mdb_free_tabledef(def);
        return true;
    }

private:
    // The memo of the row just fetched, or null when it is empty.
    QVariant memoText(MdbColumn* col)
    {
        if (col->cur_value_len <= 0)
            return {};
        char* text = mdb_col_to_string(mdb_, mdb_->pg_buf, col->cur_value_start, MDB_MEMO, col->cur_value_len);
        if (!text)
            return {};
        const QString out = QString::fromUtf8(text);
        g_free(text);
        return out.isEmpty() ? QVariant() : QVariant(out);
    }

    static constexpr size_t kBindSize = 65536;
    MdbHandle* mdb_ = nullptr;
};

} // namespace

std::unique_ptr<AccessReader> makeAccessReader() { return std::make_unique<LibmdbReader>(); }

} // namespace nbx
