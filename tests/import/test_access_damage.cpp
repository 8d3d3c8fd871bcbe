// A damaged Access file of ours is read whole or refused whole: every 512-byte sector zeroed in turn,
// every column's type byte set to each other type of the format (and to values past them), in the
// reader the reading child runs.
#include "common/Database.h"
#include "import/DatabaseMerge.h"
#include "support/AccessFileWriter.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <optional>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace nbx;
using namespace nbx::test;

namespace {

using Type = AccessColumn::Type;

// A column of the program's own files, of the type its name's prefix gives, texts 10 wide.
AccessColumn ours(const QString& n)
{
    const auto typed = [&](const char* prefix) {
        const qsizetype k = qsizetype(qstrlen(prefix));
        return n.startsWith(QLatin1String(prefix)) && n.size() > k && n[k].isUpper();
    };
    // Times of day are dates too.
    const Type t = n == u"TNota" || n == u"memo" ? Type::Memo
                 : typed("Bo") || n == u"CMI"   ? Type::Bool
                 : typed("By")                  ? Type::Byte
                 : typed("L")                   ? Type::Long
                 : typed("I")                   ? Type::Integer
                 : typed("S")                   ? Type::Single
                 : typed("D") || n == u"THoraEmpiezaInt" || n == u"THoraTerminaInt" ? Type::DateTime
                 : Type::Text;
    return {n, t, 10};
}

QVariant sample(const AccessColumn& c, int row)
{
    switch (c.type) {
    case Type::Long: return c.name == u"LNumeroSerie" ? 123456 : 1000 + row;
    case Type::Integer: return 300 + row;
    case Type::Byte: return c.name == u"ByIntervalo" ? 1 + row : 40 + row;
    case Type::Single: return 60.5 + row;
    case Type::Double: return 1.25;
    case Type::DateTime: return QDateTime(QDate(2005, 3, 1 + row), c.name.startsWith(u'T') ? QTime(14, row) : QTime());
    case Type::Bool: return row % 2 == 0;
    case Type::Memo: return QString(5000, QLatin1Char('n')); // spans pages
    case Type::Text: return QStringLiteral("t%1").arg(row); // short: a row of Jet 3 stays under 256 bytes
    }
    return {};
}

// Every table of the program's files with every column, and rows.
QList<AccessTable> ourFile()
{
    QList<AccessTable> out;
    for (const QString& name : schemaTables()) {
        AccessTable t{name, {}, {}};
        for (const QString& c : schemaColumns(name))
            t.columns << ours(c);
        const int rows = name == u"IntervaloInhabil" ? 30 : name == u"Configuracion" ? 1 : name == u"Programacion" ? 2 : 8;
        for (int r = 0; r < rows; ++r) {
            QVariantList values;
            for (const AccessColumn& c : std::as_const(t.columns))
                values << sample(c, r);
            t.rows << values;
        }
        out << t;
    }
    return out;
}

using Tables = QList<std::tuple<QString, QStringList, QList<QVariantList>>>;

// What the reader gives of a file: every table with its columns and rows; none when it refuses it.
std::optional<Tables> contentsOf(const QString& path)
{
    auto reader = makeAccessReader();
    QString error;
    if (!reader->open(path, &error))
        return std::nullopt;
    QStringList columns;
    // Every table's definition and first row first: the reader refuses most damage there, before
    // the rows of the tables before it have been read.
    for (const QString& t : reader->tables())
        if (!reader->readTable(t, &columns, [](const QVariantList&) { return false; }, &error))
            return std::nullopt;
    Tables tables;
    for (const QString& t : reader->tables()) {
        QList<QVariantList> rows;
        if (!reader->readTable(t, &columns, [&](const QVariantList& r) { rows << r; return true; }, &error))
            return std::nullopt;
        tables.append({t, columns, rows});
    }
    return tables;
}

// libmdb's own warnings about damage go to standard error: many thousands here.
class QuietStderr {
public:
    QuietStderr() : saved_(::dup(2))
    {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::close(null);
    }
    ~QuietStderr()
    {
        ::dup2(saved_, 2);
        ::close(saved_);
    }

private:
    int saved_;
};

constexpr int kTypeValues[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0x7f, 0x80, 0xff};

} // namespace

TEST(AccessDamage, EveryZeroedSectorAndEveryColumnTypeReadsTheWholeFileOrRefusesIt)
{
    for (const AccessVersion version : {AccessVersion::Jet3, AccessVersion::Jet4}) {
        const char* format = version == AccessVersion::Jet3 ? "Jet 3" : "Jet 4";
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ours.mdb"));
        AccessLayout layout;
        ASSERT_TRUE(writeAccessFile(path, ourFile(), version, &layout));
        const std::optional<Tables> whole = contentsOf(path);
        ASSERT_TRUE(whole) << format;
        ASSERT_EQ(whole->size(), 8);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QByteArray original = file.readAll();
        // True when the file with `bytes` at `at` is read, but not as it was.
        const auto readInPartWith = [&](qint64 at, const QByteArray& bytes) {
            const auto write = [&](const QByteArray& b) { file.seek(at) && file.write(b) && file.flush(); };
            write(bytes);
            const std::optional<Tables> c = contentsOf(path);
            write(original.mid(at, bytes.size()));
            return c && c != whole;
        };
        QStringList wrong;
        QuietStderr quiet;
        for (qint64 at = 0; at < original.size(); at += 512)
            if (readInPartWith(at, QByteArray(512, '\0')))
                wrong << QStringLiteral("sector at %1 (page %2)").arg(at).arg(at / layout.pageSize);
        // Every type of the format, and past them, where every value reads alike.
        for (const qint64 at : std::as_const(layout.typeBytes))
            for (const int value : kTypeValues)
                if (char(value) != original[at] && readInPartWith(at, QByteArray(1, char(value))))
                    wrong << QStringLiteral("type byte at %1 (page %2) = %3 (was %4)")
                                 .arg(at).arg(at / layout.pageSize).arg(value).arg(int(original[at]));
        EXPECT_TRUE(wrong.isEmpty()) << format << ": read in part after damage:\n"
                                     << wrong.join(QLatin1Char('\n')).toStdString();
    }
}
