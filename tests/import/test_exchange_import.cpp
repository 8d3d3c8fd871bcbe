// The exchange-table import into the database: round trip, key rules, conversions, all or nothing.
#include "common/Database.h"
#include "import/ExchangeImport.h"
#include "support/ExchangeFileWriter.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QLocale>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace nbx;
using namespace nbx::test;

namespace {

const QStringList kTables = {"DiaBorrado", "DiaFinalBateria", "DiaReprogramado", "IntervaloInhabil",
                             "Intervalos", "Programacion", "Sesiones"};

QList<ExchangeSectionRows> allTables(int rowsEach, int variant = 0)
{
    QList<ExchangeSectionRows> out;
    for (const QString& t : kTables) {
        ExchangeSectionRows s{t, {}};
        for (int i = 0; i < rowsEach; ++i) {
            QVariantMap row = sampleRow(t, i);
            if (variant && t != u"Sesiones" && t != u"IntervaloInhabil")
                for (auto it = row.begin(); it != row.end(); ++it)
                    if (it.key().startsWith(QLatin1String("SL")) || it.key().startsWith(QLatin1String("TTipo")))
                        it.value() = it.key().startsWith(QLatin1Char('S')) ? QVariant(99.9) : QVariant("Leq5s");
            s.rows << row;
        }
        out << s;
    }
    return out;
}

// Everything the database holds, as text, to see that nothing changed.
QString dump()
{
    QString out;
    for (const QString& t : schemaTables())
        for (const QVariantMap& row : tableRows(t))
            for (auto it = row.begin(); it != row.end(); ++it)
                out += t + it.key() + it.value().toString() + QLatin1Char(it.value().isNull() ? 'N' : ';');
    return out;
}

ExchangeImportResult run(const QByteArray& bytes)
{
    return importExchange(mainDb(), bytes, QStringLiteral("Importando datos"));
}

void expectTablesHold(const QList<ExchangeSectionRows>& sections)
{
    for (const ExchangeSectionRows& s : sections) {
        const QList<QVariantMap> stored = tableRows(s.table);
        ASSERT_EQ(stored.size(), s.rows.size()) << s.table.toStdString();
        for (qsizetype i = 0; i < stored.size(); ++i) {
            QString why;
            EXPECT_TRUE(sameValues(s.rows[i], stored[i], &why)) << s.table.toStdString() << " row " << i << ": " << why.toStdString();
        }
    }
}

QVariant scalar(const QString& sql)
{
    QSqlQuery q(mainDb());
    q.exec(sql);
    return q.next() ? q.value(0) : QVariant();
}

} // namespace

TEST(ExchangeImport, RoundTripThenAgainChangesNothingThenNewValuesOverwriteTablesFourToSeven)
{
    TempDatabase db;
    const auto sections = allTables(40);
    const QByteArray file = writeExchangeFile(sections);
    ASSERT_EQ(run(file).status, ExchangeImportResult::Status::Imported);
    expectTablesHold(sections);

    const QString before = dump();
    EXPECT_EQ(run(file).status, ExchangeImportResult::Status::Imported);
    EXPECT_TRUE(dump() == before); // rows updated in place, sessions included

    const auto changed = allTables(40, 1);
    ASSERT_EQ(run(writeExchangeFile(changed)).status, ExchangeImportResult::Status::Imported);
    expectTablesHold(changed);
}

TEST(ExchangeImport, FileVariationsReadTheSame)
{
    const auto sections = allTables(12);
    const struct {
        const char* name;
        ExchangeWriterOptions options;
    } variants[] = {
        {"CR", {"\r", "//", false, "1"}},
        {"LF", {"\n", "##", true, "-1"}},
        {"True", {"\r\n", "//", true, "True"}},
    };
    for (const auto& v : variants) {
        TempDatabase db;
        ASSERT_EQ(run(writeExchangeFile(sections, v.options)).status, ExchangeImportResult::Status::Imported) << v.name;
        expectTablesHold(sections);
    }
}

TEST(ExchangeImport, Conversions)
{
    TempDatabase db;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); // month-first locale
    const QByteArray file =
        "//IntervaloInhabil//\r\nh\r\n123456;1;2005-03-21;20:00:00;0000-00-00;08:00\r\n123456;2;;;;\r\n"
        "//Intervalos//\r\nh\r\n"
        "123456;2005-03-21 14:15:00;2005-03-21 14:30:00;15;85.5;;;;;;88.1;21/03/2005;14:22:10;;2005-03-22;2:05;;;;;;;;;;;;;;;;;\r\n"
        "123456;2005-03-21 14:30:00;;15;;;;;;;;00/00/1900;xx;;03/04/05\r\n";
    ASSERT_EQ(run(file).status, ExchangeImportResult::Status::Imported);
    QLocale::setDefault(QLocale::c());
    const auto inh = tableRows("IntervaloInhabil");
    ASSERT_EQ(inh.size(), 2);
    EXPECT_EQ(inh[0]["TDiaEmpiezaInt"], "21/03/05");
    EXPECT_EQ(inh[0]["THoraEmpiezaInt"], "20:00");
    EXPECT_EQ(inh[0]["TDiaTerminaInt"], "00/00/00");
    EXPECT_EQ(inh[0]["THoraTerminaInt"], "08:00");
    EXPECT_EQ(inh[1]["TDiaEmpiezaInt"], "00/00/00"); // empty cells: the unset interval
    EXPECT_EQ(inh[1]["THoraEmpiezaInt"], "00:00");
    const auto iv = tableRows("Intervalos");
    ASSERT_EQ(iv.size(), 2);
    EXPECT_EQ(iv[0]["DFechaInicio"], "2005-03-21");
    EXPECT_EQ(iv[0]["THoraInicio"], "14:15");
    EXPECT_EQ(iv[0]["THoraFinal"], "14:30");
    EXPECT_EQ(iv[0]["TFechaMaxLeq1min"], "21/03/2005");
    EXPECT_EQ(iv[0]["THoraMaxLeq1min"], "14:22");
    EXPECT_EQ(iv[0]["TFechaMinLeq1min"], "22/03/2005");
    EXPECT_EQ(iv[0]["THoraMinLeq1min"], "02:05");
    EXPECT_TRUE(iv[0]["SMinLeq1min"].isNull());
    EXPECT_TRUE(iv[1]["DFechaFinal"].isNull());
    EXPECT_EQ(iv[1]["TFechaMaxLeq1min"], "00/00/1900"); // device texts that are not dates are kept
    EXPECT_EQ(iv[1]["THoraMaxLeq1min"], "xx");
    EXPECT_EQ(iv[1]["TFechaMinLeq1min"], "03/04/2005"); // day first, whatever the locale
}

TEST(ExchangeImport, KeyRules)
{
    TempDatabase db;
    const QByteArray file =
        "//Sesiones//\r\nh\r\n"
        "123456;2005-03-21 20:00:00;2005-03-22 03:00:00;84.2\r\n"
        "123456;2005-03-21 20:00:00;2005-03-22 04:00:00;80\r\n"     // same start, other end: a further row
        "123456;2005-03-21 20:00:30;2005-03-22 03:00:00;85\r\n"     // same minute: the first row, updated
        "//DiaBorrado//\r\nh\r\n123456;2005-03-21;14:15\r\n123456;2005-03-21;14:16\r\n"
        "//DiaBorrado//\r\nh\r\n123456;2005-03-21;14:15\r\n123456;2005-03-21;\"14:15'; DROP TABLE Sesiones;--\"\r\n"
        "//../../evil__\r\nA;B\r\n1;2\r\n";
    ASSERT_EQ(run(file).status, ExchangeImportResult::Status::Imported);
    const auto ses = tableRows("Sesiones");
    ASSERT_EQ(ses.size(), 2);
    EXPECT_DOUBLE_EQ(ses[0]["SLeq"].toDouble(), 85.0);
    EXPECT_EQ(ses[1]["THoraFinal"], "04:00");
    // Both DiaBorrado sections are imported; the repeated row once; the apostrophe is data.
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM DiaBorrado").toInt(), 3);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM DiaBorrado WHERE THora LIKE '%DROP%'").toInt(), 1);
}

TEST(ExchangeImport, AMalformedCutOrDamagedFileIsRejectedWholeAndNamesWhere)
{
    TempDatabase db;
    ASSERT_EQ(run(writeExchangeFile(allTables(3))).status, ExchangeImportResult::Status::Imported);
    const QString before = dump();
    const QString dir = QDir::currentPath();
    const QStringList listing = QDir(dir).entryList();
    using Kind = FormatError::Kind;
    const QByteArray hugeCell = "\t" + QByteArray(1000000, '9');
    const struct {
        QByteArray tail;
        const char* column; // the column name, or the table of a cut or damaged row
        qsizetype line;
        Kind kind = Kind::BadCell;
    } cases[] = {
        {"//Sesiones//\r\nh\r\n1;2005-03-21;2005-03-21;1;2\r\n2;2005-03-21;2005-03-21;1;2\r\n3;2005-03-21;2005-03-21;1;256\r\n", "ByNivelDiaLocal", 5},
        {"//IntervaloInhabil//\r\nh\r\n123456;31;;;;\r\n", "ByIntervalo", 3},
        {"//Programacion//\r\nh\r\n0\r\n", "LNumeroSerie", 3},
        {"//Programacion//\r\nh\r\n1234567\r\n", "LNumeroSerie", 3},
        {"//DiaBorrado//\r\nh\r\n123456;2005-03-21;\r\n", "THora", 3},
        {"//Intervalos//\r\nh\r\n123456;21/03/2005 14:15\r\n", "DFechaInicio", 3},
        {"//Sesiones//\r\nh\r\n1;2005-03-21;2005-03-21;1;" + hugeCell + "\r\n", "ByNivelDiaLocal", 3},
        // Cut by the end of the file: fewer cells than the column line and no line end, or an open quote.
        {"//Intervalos//\r\nLNumeroSerie;DFechaInicio;DFechaFinal;ByTLeq;SLeqLocal\r\n123456;2005-03-21 14:15:00;2005-03-21 14:30:00;1",
         "Intervalos", 3, Kind::CutRow},
        {"//DiaBorrado//\r\nLNumeroSerie;DFecha;THora\r\n123456;2005-03-21;\"14:1", "DiaBorrado", 3, Kind::CutRow},
        {"//DiaBorrado//\r\nLNumeroSerie;DFecha;THora\r\n123456;2005-03-21;\"14:1\r\n", "DiaBorrado", 3, Kind::CutRow},
        // A NUL byte in a cell, in a marker line.
        {QByteArray("//DiaBorrado//\r\nh\r\n123456;2005-03-21;14:1@\r\n").replace('@', '\0'), "DiaBorrado", 3, Kind::Damaged},
        {QByteArray("//DiaBorr@do//\r\nh\r\n123456;2005-03-21;14:15\r\n").replace('@', '\0'), "", 1, Kind::Damaged},
    };
    for (const auto& c : cases) {
        // A good table first: nothing of it may be written either.
        const QByteArray file = writeExchangeFile({{"DiaReprogramado", {sampleRow("DiaReprogramado", 77)}}}) + c.tail;
        const ExchangeImportResult r = run(file);
        if (r.status != ExchangeImportResult::Status::Rejected || !r.formatError) {
            ADD_FAILURE() << "not rejected: " << c.column << " line " << c.line;
            continue;
        }
        EXPECT_EQ(r.formatError->kind, c.kind) << c.column;
        EXPECT_EQ(c.kind == Kind::BadCell ? r.formatError->columnName : r.formatError->table, c.column);
        const qsizetype offset = 3; // the DiaReprogramado marker, header and row come first
        EXPECT_EQ(r.formatError->line, c.line + offset) << c.column;
        const QString text = formatErrorText(*r.formatError);
        EXPECT_TRUE(text.startsWith(QStringLiteral("Formato incorrecto\r"))) << c.column;
        EXPECT_LT(text.size(), 200) << c.column; // a bad cell is quoted in part
        EXPECT_TRUE(dump() == before) << c.column;
    }
    EXPECT_EQ(QDir(dir).entryList(), listing); // nothing written beside the program

    // A short row followed by a line end is whole; a file with no table is refused.
    EXPECT_EQ(run("//DiaBorrado//\r\nLNumeroSerie;DFecha;THora;Nota\r\n123457;2005-03-21;14:15\r\n").status,
              ExchangeImportResult::Status::Imported);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM DiaBorrado WHERE LNumeroSerie = 123457").toInt(), 1);
    for (const QByteArray& empty : {QByteArray(), QByteArray("//Hojas//\r\nA;B\r\n1;2\r\n")}) {
        const ExchangeImportResult r = run(empty);
        ASSERT_EQ(r.status, ExchangeImportResult::Status::Rejected);
        EXPECT_EQ(formatErrorText(*r.formatError), QStringLiteral("Formato incorrecto"));
    }
}

TEST(ExchangeImport, CancelRollsBackAndProgressTextsAtMostEvery50Ms)
{
    TempDatabase db;
    QList<ExchangeSectionRows> sections = {{"DiaBorrado", {sampleRow("DiaBorrado", 1), sampleRow("DiaBorrado", 2)}},
                                           {"Intervalos", {}}, {"Sesiones", {}}};
    for (int i = 0; i < 120; ++i)
        sections[1].rows << sampleRow("Intervalos", i);
    const QByteArray file = writeExchangeFile(sections);
    const QString empty = dump();
    QStringList progress;
    ExchangeImportHooks hooks;
    hooks.progress = [&](const QString& t) { progress << t; };
    hooks.cancelled = [&] { return progress.last() == u"Importando datos   9 / 120"; };
    qint64 now = 0;
    hooks.clockMs = [&] { return now += 10; }; // 10 ms a row
    EXPECT_EQ(importExchange(mainDb(), file, QStringLiteral("Importando datos"), hooks).status,
              ExchangeImportResult::Status::Cancelled);
    EXPECT_TRUE(dump() == empty); // DiaBorrado had been written before the cancel
    EXPECT_EQ(progress, QStringList({"Importando datos   1 / 2", "Importando datos   4 / 120", "Importando datos   9 / 120"}));

    EXPECT_EQ(run(file).status, ExchangeImportResult::Status::Imported);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Intervalos").toInt(), 120);
}
