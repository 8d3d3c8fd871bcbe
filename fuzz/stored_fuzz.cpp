// Builds a small main database from arbitrary bytes, rows of the device tables whose values have
// any type (integers of any size, huge, infinite and NaN reals, NULLs, blobs, long texts), as a
// database edited by another program may hold them, then reads it back as the record window and
// its grids, the level graph, the programming sheet, the listing window and the reports do.
//
// Input: one byte that picks the grids' sort heading and direction and the report laid out, then
// rows, each a table byte and one value per column of that table (see value()), up to the end of
// the input or kMaxRows rows. Bytes past the end read as 0.
// Seeds: "usual", one device as this program stores it; "foreign-*", values out of every range in
// every table (among them the interval number -2^31 and infinite reals), one seed for each report.
#include "common/Database.h"
#include "programming/SheetRepository.h"
#include "records/GridRows.h"
#include "records/LevelGraph.h"
#include "records/RecordColumns.h"
#include "records/RecordsRepository.h"
#include "reports/DetailRules.h"
#include "reports/ListingModel.h"
#include "reports/Report.h"
#include "reports/ReportDrivers.h"

#include <QGuiApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <memory>

namespace {

constexpr int kMaxRows = 40;

const char* const kTables[] = {"Programacion", "IntervaloInhabil", "Intervalos",
                               "Sesiones",     "DiaBorrado",       "DiaReprogramado"};

class Input {
public:
    Input(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool atEnd() const { return p_ >= end_; }
    uint8_t byte() { return atEnd() ? 0 : *p_++; }
    QByteArray bytes(size_t n)
    {
        n = std::min(n, size_t(end_ - p_));
        QByteArray out(reinterpret_cast<const char*>(p_), qsizetype(n));
        p_ += n;
        return out;
    }
    uint64_t u64()
    {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= uint64_t(byte()) << (8 * i);
        return v;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// A value the column holds when written by this program, so that rows meet (serial 1, dates
// and times that the range queries and the sorting compare).
QVariant usual(const QString& column, uint8_t pick)
{
    const int k = pick % 4;
    if (column == QLatin1String("LNumeroSerie"))
        return qlonglong(k == 3 ? 2 : 1);
    if (column.startsWith(QLatin1String("DFecha")))
        return QStringLiteral("2024-01-0%1").arg(k + 1);
    if (column.startsWith(QLatin1String("THora")))
        return QStringLiteral("1%1:%2").arg(k).arg(k == 1 ? QStringLiteral("30") : QStringLiteral("00"));
    if (column.startsWith(QLatin1String("TFecha")) || column.startsWith(QLatin1String("TDia")))
        return QStringLiteral("0%1/02/2024").arg(k + 1);
    if (column.startsWith(QLatin1String("S")))
        return std::array<double, 4>{65.3, 59, 121, 0}[size_t(k)];
    if (column.startsWith(QLatin1String("By")))
        return std::array<qlonglong, 4>{255, 0, 15, 3}[size_t(k)];
    if (column.startsWith(QLatin1String("Bo")) || column == QLatin1String("CMI"))
        return qlonglong(k % 2 ? -1 : 0);
    if (column.startsWith(QLatin1String("T")))
        return std::array<QString, 4>{QStringLiteral("Leq1s"), QStringLiteral("0"), QStringLiteral("2.1"),
                                      QString()}[size_t(k)];
    return qlonglong(k);
}

// One stored value: tag byte, then what the tag needs.
QVariant value(Input& in, const QString& column)
{
    static const qlonglong integers[] = {
        std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), std::numeric_limits<qint32>::min(),
        std::numeric_limits<qint32>::max(), qlonglong(std::numeric_limits<qint32>::min()) - 1,
        qlonglong(std::numeric_limits<qint32>::max()) + 1, 4294967297LL, -1, 0, 1, 30, 31, 59, 121, 255, 256, 65536};
    static const double reals[] = {
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(), 1e300, -1e300, 0x1p63, -0x1p63, 0x1p64, 9.3e18, 2147483648.0,
        -2147483649.0, 1e15, -1e15, 0.5, 1.5, 2.25, 30.5, -0.0, 59.0, 121.0, 255.0, 4.9e-324};
    switch (in.byte() % 9) {
    case 0: return QVariant(QMetaType::fromType<QString>());
    case 1: return usual(column, in.byte());
    case 2: return qlonglong(in.u64());
    case 3: return integers[in.byte() % std::size(integers)];
    case 4: {
        const uint64_t bits = in.u64();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    case 5: return reals[in.byte() % std::size(reals)];
    case 6: return QString::fromUtf8(in.bytes(in.byte()));
    case 7: { // a long text, up to an Access memo's 65,535 characters: a piece repeated
        const QString piece = QString::fromUtf8(in.bytes(in.byte() % 16 + 1));
        return piece.repeated(qsizetype(in.byte()) * 16 + 1);
    }
    default: return in.bytes(in.byte()); // a blob
    }
}

// A report over the three record tables that shows every column in every format a bound field
// has, so that each stored value meets each format.
QByteArray formatsDefinition()
{
    const char* formats[] = {"", "int", "vbnum:#.0", "date:dd/MM/yy", "time:hh:mm", "bool:68/69"};
    QByteArray xml = "<reports><report name=\"F\" orientation=\"landscape\"><section name=\"Detail\" height=\"12\">";
    int n = 0;
    for (const char* table : {"Intervalos", "Sesiones", "Programacion"}) {
        xml += "<field name=\"" + QByteArray(table) + "\" kind=\"subreport\" x=\"0\" y=\"" + QByteArray::number(n * 4)
            + "\" w=\"270\" h=\"4\"><report name=\"" + table + "\"><section name=\"Detail\" height=\"4\">";
        int f = 0;
        for (const QString& column : nbx::schemaColumns(QString::fromLatin1(table)))
            for (const char* format : formats) {
                xml += "<field name=\"f" + QByteArray::number(f) + "\" kind=\"bound\" x=\"" + QByteArray::number(f % 50 * 5)
                    + "\" y=\"0\" w=\"5\" h=\"4\" source=\"" + column.toUtf8() + "\"";
                if (*format)
                    xml += " format=\"" + QByteArray(format) + "\"";
                xml += f % 7 == 0 ? "><map value=\"255\" text=\"---\"/><map value=\"0\" string=\"69\"/></field>" : "/>";
                ++f;
            }
        xml += "</section></report></field>";
        ++n;
    }
    return xml + "</section></report></reports>";
}

struct Setup {
    int argc = 1;
    char name[16] = "fuzz_stored";
    char* argv[2] = {name, nullptr};
    QTemporaryDir home;
    std::unique_ptr<QGuiApplication> app;
    std::map<QString, QStringList> columns;
    std::unique_ptr<nbx::reports::Report> formats;

    Setup()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!home.isValid())
            std::abort();
        qputenv("NBX70_HOME", home.path().toUtf8());
        app = std::make_unique<QGuiApplication>(argc, argv);
        QString error;
        if (!nbx::Database::open(QStringLiteral(":memory:"), &error))
            std::abort();
        for (const char* t : kTables)
            columns[QString::fromLatin1(t)] = nbx::schemaColumns(QString::fromLatin1(t));
        nbx::reports::LoadResult loaded = nbx::reports::loadReportText(formatsDefinition(), QStringLiteral("formats.xml"),
                                                                       QStringLiteral("F"));
        if (!loaded.report)
            std::abort();
        formats = std::move(loaded.report);
        for (const char* table : {"Intervalos", "Sesiones", "Programacion"}) {
            nbx::reports::Report* sub = formats->field(QString::fromLatin1(table))->subreport();
            sub->setRecordSource(QStringLiteral("SELECT * FROM %1").arg(nbx::quoteIdentifier(QString::fromLatin1(table))), {});
            sub->section(QStringLiteral("Detail"))->setDetailRules(nbx::reports::buildDetailRules());
        }
    }
    ~Setup() { nbx::Database::close(); }
};

void store(Setup& setup, Input& in)
{
    QSqlDatabase db = nbx::mainDb();
    db.transaction();
    for (const char* t : kTables)
        QSqlQuery(db).exec(QStringLiteral("DELETE FROM ") + nbx::quoteIdentifier(QString::fromLatin1(t)));
    for (int row = 0; row < kMaxRows && !in.atEnd(); ++row) {
        const QString table = QString::fromLatin1(kTables[in.byte() % std::size(kTables)]);
        const QStringList& cols = setup.columns[table];
        QStringList quoted, marks;
        for (const QString& c : cols) {
            quoted << nbx::quoteIdentifier(c);
            marks << QStringLiteral("?");
        }
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(nbx::quoteIdentifier(table), quoted.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
        for (const QString& c : cols)
            q.addBindValue(value(in, c));
        q.exec(); // a row that breaks a key or NOT NULL is left out, as the other program's would be
    }
    db.commit();
}

void readGrids(QSqlDatabase db, qint32 serial, uint8_t pick)
{
    for (nbx::GridKind kind : {nbx::GridKind::Intervalos, nbx::GridKind::Sesiones, nbx::GridKind::DiaBorrado,
                               nbx::GridKind::DiaReprogramado}) {
        const QList<nbx::GridColumn> cols = nbx::gridColumns(kind);
        for (int col : {1, int(pick % cols.size())}) {
            QString error;
            const std::optional<nbx::GridRows> rows = nbx::readGridRows(db, kind, serial, col, pick & 0x80, &error);
            if (!rows)
                std::abort(); // the schema's tables always read
            for (const QVariantList& row : rows->firstPage)
                for (int c = 0; c < cols.size() && c < row.size(); ++c)
                    (void)nbx::cellText(cols[c], row[c], QStringLiteral("Sin calibrar"));
        }
    }
}

void readGraph(QSqlDatabase db, qint32 serial)
{
    nbx::IntervalGraphSource source(db, serial);
    QString error;
    const std::optional<int> count = source.count(&error);
    QList<nbx::GraphRecord> window;
    if (!count || !source.window(std::max(0, *count - nbx::kGraphPoints), window, &error))
        std::abort();
    nbx::GraphValues values;
    nbx::Dibuixa(window, values);
    for (int p = 1; p <= window.size() && p <= nbx::kGraphPoints; ++p) {
        (void)nbx::levelLabelText(nbx::levelReadout(values, p));
        (void)nbx::eventLabelText(values.pointEvents[size_t(p - 1)]);
    }
}

void readListing(QSqlDatabase db, qint32 serial)
{
    nbx::reports::ListingModel model;
    if (!model.load(db, serial, nullptr))
        std::abort();
    for (int r = 0; r < model.rowCount(); ++r)
        for (int c = 0; c < model.columnCount(); ++c) {
            (void)model.data(model.index(r, c), Qt::DisplayRole);
            (void)model.data(model.index(r, c), Qt::CheckStateRole);
        }
}

// One report over every stored record, so that an input stays fast: the sheet's, the intervals',
// the sessions' or the one that shows every column in every format.
void readReport(Setup& setup, int which, qint32 serial, const nbx::InhibitedIntervals& intervals,
                const QString& version)
{
    using namespace nbx::reports;
    PrintJob job;
    if (which == 3) {
        (void)setup.formats->layout();
        return;
    }
    if (which == 0) {
        job = prepareSheetReport(serial, version, intervals);
    } else {
        ListingReportInput in;
        in.serial = serial;
        in.sessions = which == 2;
        in.toDate = QString::fromUcs4(U"\U0010FFFF\U0010FFFF"); // after every stored text
        in.intervals = intervals;
        job = prepareListingReport(in);
    }
    if (job.report)
        (void)job.report->layout();
}

} // namespace

// Fontconfig's own caches, made when the report layout first measures a text, outlive the run.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Setup setup;
    Input in(data, size);
    const uint8_t pick = in.byte();
    store(setup, in);

    QSqlDatabase db = nbx::mainDb();
    nbx::RecordsRepository records(db);
    QList<qint32> serials = records.serials();
    serials.prepend(1);
    serials = serials.mid(0, 2);
    for (int i = 0; i < serials.size(); ++i) {
        const qint32 serial = serials[i];
        if (serials.indexOf(serial) != i)
            continue;
        const std::optional<nbx::DeviceHeader> header = records.header(serial);
        const nbx::InhibitedIntervals intervals = records.inhibitedIntervals(serial);
        (void)nbx::defaultRange(QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC), records.newestIntervalStart(serial));
        (void)records.hasIntervals(serial);
        nbx::SheetValues sheet;
        (void)nbx::SheetRepository(db).load(serial, sheet, nullptr);
        readGrids(db, serial, pick);
        readGraph(db, serial);
        readListing(db, serial);
        if (i == 0)
            readReport(setup, pick % 4, serial, intervals, header ? header->version : QString());
    }
    for (nbx::RecordSearchField f : {nbx::RecordSearchField::NumeroSerie, nbx::RecordSearchField::Version,
                                     nbx::RecordSearchField::Fecha, nbx::RecordSearchField::Local})
        (void)records.search(f, QStringLiteral("1"));
    nbx::SheetRepository sheets(db);
    (void)sheets.orderedSerials();
    (void)sheets.first();
    (void)sheets.last();
    (void)sheets.next(1);
    (void)sheets.previous(1);
    (void)sheets.search(nbx::SearchField::NumeroSerie, QStringLiteral("1"));
    return 0;
}
