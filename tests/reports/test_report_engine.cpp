// The report engine and the drivers without windows: the interval list, the value formats, the
// detail rules, definition failures, the range queries and the fields the drivers set.
#include "ReportSeed.h"

#include "common/ConfiguracionRepo.h"
#include "localisation/Strings.h"
#include "reports/DetailRules.h"
#include "reports/ReportDrivers.h"
#include "reports/ValueFormat.h"
#include "support/TempDatabase.h"

#include <QFile>
#include <QSqlQuery>
#include <QSqlField>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <limits>

namespace nbx::test {

using namespace nbx::reports;

namespace {

QString memo()
{
    QSqlQuery q(mainDb());
    q.exec("SELECT memo FROM Configuracion");
    return q.next() ? q.value(0).toString() : QStringLiteral("<no row>");
}

void setInterval(InhibitedIntervals& iv, int n, QVariant start, const QString& end = "02/01/26")
{
    iv.fechaIni[size_t(n - 1)] = start.isNull() ? QString() : start.toString();
    iv.horaIni[size_t(n - 1)] = "10:00";
    iv.fechaFi[size_t(n - 1)] = end;
    iv.horaFi[size_t(n - 1)] = "11:00";
}

} // namespace

TEST(ReportEngine, InhibitedIntervalList)
{
    const QString e1 = "01 - 01/01/26 10:00 <-> 02/01/26 11:00", sep = "     ,     ";
    struct Case {
        std::vector<int> set;
        QString expected;
    };
    const Case cases[] = {
        {{}, " "},
        {{5}, "05 - 01/01/26 10:00 <-> 02/01/26 11:00" + sep},
        {{1, 2, 3}, e1 + sep + QString(e1).replace("01 -", "02 -") + "\r" + QString(e1).replace("01 -", "03 -") + sep},
        {{1, 2, 3, 4}, e1 + sep + QString(e1).replace("01 -", "02 -") + "\r" + QString(e1).replace("01 -", "03 -") + sep +
                           QString(e1).replace("01 -", "04 -") + "\r"},
    };
    for (const Case& c : cases) {
        InhibitedIntervals iv;
        for (int n : c.set)
            setInterval(iv, n, "01/01/26");
        EXPECT_EQ(listaIntervalosInhabiles(iv), c.expected);
    }
    InhibitedIntervals iv;
    setInterval(iv, 1, "00/00/00");           // unset start, other parts filled
    setInterval(iv, 2, "");                   // empty start
    setInterval(iv, 3, QVariant());           // null start
    setInterval(iv, 4, "01/01/26", "00/00/00"); // a real start with an unset end is listed
    EXPECT_EQ(listaIntervalosInhabiles(iv), "04 - 01/01/26 10:00 <-> 00/00/00 11:00" + sep);
}

TEST(ReportEngine, ValueFormats)
{
    const QLocale point(QLocale::English), comma(QLocale::Spanish);
    struct Case {
        QVariant v;
        const char* pointText;
        const char* commaText;
    };
    const Case cases[] = {{0.0, ".0", ",0"},        {0.5, ".5", ",5"},         {12, "12.0", "12,0"},
                          {-3.0, "-3.0", "-3,0"},   {2.25, "2.3", "2,3"},      {QVariant(0.05f), ".1", ",1"},
                          {-0.25, "-.3", "-,3"},    {9.96, "10.0", "10,0"},    {QVariant(QMetaType(QMetaType::Double)), "", ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(formatOneDecimal(c.v, point), QString::fromUtf8(c.pointText)) << c.v.toString().toStdString();
        EXPECT_EQ(formatOneDecimal(c.v, comma), QString::fromUtf8(c.commaText)) << c.v.toString().toStdString();
    }
    const std::pair<const char*, double> versions[] = {{"1.9", 1.9}, {"", 0}, {"abc", 0}, {"2.0", 2.0},
                                                       {"3.03", 3.03}, {" 2.1", 2.1}, {"10.0", 10.0}, {"2.0b", 2.0}};
    for (auto [text, v] : versions)
        EXPECT_DOUBLE_EQ(leadingNumber(QString::fromLatin1(text)), v) << text;
    EXPECT_EQ(defaultText(65.3, comma), "65,3");
    EXPECT_EQ(defaultText(QVariant(121.0), point), "121");
    const std::pair<QVariant, const char*> rounded[] = {{2.5, "3"}, {-2.5, "-3"}, {QVariant(qlonglong(7)), "7"},
                                                        {std::numeric_limits<double>::infinity(), "inf"},
                                                        {1e16, "10000000000000000"}, {"abc", "abc"}};
    for (const auto& [v, text] : rounded)
        EXPECT_EQ(formatRounded(v), QString::fromLatin1(text)) << text;
    EXPECT_EQ(parseSerialText(" 123456 "), 123456);
    EXPECT_FALSE(parseSerialText("1 OR 1=1"));
    EXPECT_FALSE(parseSerialText(""));
    EXPECT_FALSE(parseSerialText("-5"));
}

TEST(ReportEngine, DetailRulesRecordByRecord)
{
    int lookups = 0;
    QList<long> ids;
    const DetailRules rules = buildDetailRules([&](long id) {
        ++lookups;
        ids << id;
        return id == 123 ? QStringLiteral("Sin \"calibrar\"") : GetS(id);
    });
    ASSERT_EQ(rules.size(), 15u);
    EXPECT_EQ(ids, (QList<long>{123, 123, 123, 68, 69}));
    auto rule = [&](const char* column) {
        for (const DetailRule& r : rules)
            if (r.column == QLatin1String(column))
                return r;
        return DetailRule{};
    };
    struct Case {
        const char* column;
        QVariant value;
        QString expected;
    };
    const Case cases[] = {
        {"SL1", 0.0, "---"},   {"SL1", 59.0, "und"}, {"SL1", 59.9, "und"},   {"SL1", 60.0, "60"},
        {"SL1", 120.0, "120"}, {"SL1", 120.1, "up"}, {"SL1", 121.0, "up"},   {"SLeq", 65.3, QLocale::system().toString(65.3)},
        {"SLeqVecino", 45.0, "45"}, {"SLeqVecino", 121.0, "121"}, {"SLeqVecino", 0.0, "---"},
        {"SLeqVecino", 59.0, "59"}, {"ByENA", 255, "Sin \"calibrar\""}, {"ByDNA", 0, "0min"},
        {"ByLineaInsuficiente", 12, "12min"}, {"BoProgramacion", -1, GetS(68)}, {"BoProgramacion", 1, GetS(68)},
        {"BoProgramacion", 0, GetS(69)}, {"SL90", QVariant(QMetaType(QMetaType::Double)), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(applyDetailRule(rule(c.column), c.value), c.expected) << c.column << " " << c.value.toString().toStdString();

    // A session record lacks the interval-only columns: only its own rules apply.
    QSqlRecord session;
    for (const char* col : {"SLeq", "SL1", "SMaxFast", "SMaxLeq1min", "SMinLeq1min"}) {
        QSqlField f(QString::fromLatin1(col), QMetaType(QMetaType::Double));
        f.setValue(0.0);
        session.append(f);
    }
    const QHash<QString, QString> out = applyDetailRules(rules, session);
    EXPECT_EQ(out.size(), 5);
    EXPECT_EQ(out.value("LSLeq"), "---");

    const QString script = toScriptText(rules);
    EXPECT_TRUE(script.endsWith("\r\n"));
    EXPECT_EQ(script.count("\r\n"), 115);
    EXPECT_FALSE(script.contains("\r\n\r\n"));
    EXPECT_TRUE(script.startsWith("If [SL1] = 0 Then\r\n LSL1 = \"---\"\r\nElseIf [SL1] < 60 Then\r\n LSL1 = \"und\"\r\n"));
    EXPECT_TRUE(script.contains(" LByENA = \"Sin \"\"calibrar\"\"\"\r\n"));
    EXPECT_TRUE(script.contains(" LByENA = [ByENA]&\"min\"\r\n"));
    EXPECT_TRUE(script.endsWith("Else\r\n LSLeq = [SLeq]\r\nEnd If\r\n"));
}

TEST(ReportEngine, MalformedDefinitionsNameTheirLine)
{
    // Subreports nested 10,000 deep, the innermost on its own line.
    QByteArray deep = "<reports>\n<report name=\"A\">";
    for (int i = 0; i < 10000; ++i)
        deep += "<section name=\"Detail\"><field name=\"s\" kind=\"subreport\"><report name=\"S\">";
    deep += "\n</report>";
    struct Case {
        QByteArray xml;
        const char* expected;
    };
    const Case cases[] = {
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\" height=\"5\">\n<field name=\"x\" kind=\"dial\"/>", "line 4: unknown field kind"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\">\n<field name=\"x\" kind=\"text\"/>\n"
         "<field name=\"x\" kind=\"label\"/>\n</section></report></reports>", "line 5: field \"x\" appears twice"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Body\"/></report></reports>", "line 3: unknown section"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\">\n<field name=\"x\" kind=\"text\" wide=\"1\"/>"
         "</section></report></reports>", "line 4: unknown attribute wide"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Foot\"/>",
         "El fichero def.xml no es una definición de informe válida.\rdef.xml, line 3: unknown section"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\">\n<field name=\"x\" kind=\"text\">\n</section>", "line 5:"},
        {"<reports><report name=\"B\"/></reports>", "El fichero def.xml no contiene el informe A."},
        {"<reports>\n<report name=\"A\" orientaton=\"landscape\">", "def.xml, line 2: unknown attribute orientaton"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\" heigth=\"5\"/>", "def.xml, line 3: unknown attribute heigth"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\">\n<field name=\"x\" kind=\"bound\" source=\"c\">\n"
         "<map value=\"1\" txt=\"uno\"/>", "def.xml, line 5: unknown attribute txt"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\" height=\"-5\"/>", "def.xml, line 3: attribute height must not be negative"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\">\n<field name=\"x\" kind=\"text\" w=\"-1\"/>",
         "def.xml, line 4: attribute w must not be negative"},
        {deep, "def.xml, line 2: subreports nested deeper than"},
        // Sizes that are not finite or larger than the page, an attribute the reader does not know on
        // <reports> or one with a namespace prefix (which would be read as missing).
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\">\n<field name=\"x\" kind=\"text\" w=\"NaN\"/>",
         "def.xml, line 4: attribute w is not a number"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\" height=\"inf\"/>", "def.xml, line 3: attribute height is not a number"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\" height=\"1e308\"/>", "def.xml, line 3: attribute height is longer than 10 pages"},
        {"<reports>\n<report name=\"A\">\n<section name=\"Detail\">\n<field name=\"x\" kind=\"text\" h=\"1e308\"/>",
         "def.xml, line 4: attribute h is larger than the page"},
        {"<reports>\n<report name=\"A\" margins=\"12,12,12,1e308\">", "def.xml, line 2: margins are larger than the page"},
        {"<reports version=\"1\"\n layout=\"A\">", "def.xml, line 2: unknown attribute layout"},
        {"<reports xmlns:q=\"urn:q\">\n<report name=\"A\">\n<section name=\"Detail\" q:height=\"5\"/>",
         "def.xml, line 3: unknown attribute q:height"},
    };
    for (const Case& c : cases) {
        const LoadResult r = loadReportText(c.xml, "def.xml", "A");
        EXPECT_FALSE(r.report);
        EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.expected))) << r.error.toStdString();
    }
    const LoadResult missing = loadReport("/nonexistent/nbx70_9.xml", "NBX70_9");
    EXPECT_FALSE(missing.report);
    EXPECT_TRUE(missing.error.startsWith("No se puede leer el fichero /nonexistent/nbx70_9.xml.\r")) << missing.error.toStdString();
}

TEST(ReportEngine, LayoutBreaksLinesHidesFieldsAndSurvivesEmptySources)
{
    TempDatabase db;
    const LoadResult r = loadReportText(
        "<reports><report name=\"A\"><section name=\"Detail\" height=\"20\">"
        "<field name=\"memo\" kind=\"text\" x=\"0\" y=\"0\" w=\"100\" h=\"4\" canGrow=\"true\"/>"
        "<field name=\"hidden\" kind=\"text\" x=\"0\" y=\"5\" w=\"100\" h=\"4\"/>"
        "<field name=\"list\" kind=\"subreport\" x=\"0\" y=\"10\" w=\"100\" h=\"4\"><report name=\"list\">"
        "<section name=\"Detail\" height=\"4\"><field name=\"d\" kind=\"bound\" source=\"DFecha\" w=\"20\" h=\"4\"/></section>"
        "</report></field></section></report></reports>", "t.xml", "A");
    ASSERT_TRUE(r.report) << r.error.toStdString();
    r.report->field("hidden")->setText("secret");
    r.report->field("hidden")->setVisible(false);
    r.report->field("list")->subreport()->setRecordSource("SELECT * FROM DiaBorrado WHERE LNumeroSerie = ?", {1});
    // A pasted address or block of code: one word of 131,072 characters.
    QString word = "https://www.example.com/";
    while (word.size() < 131072)
        word += "if(x>95){atenua();}else{sigue();}//";
    word.truncate(131072);
    const std::pair<QString, QStringList> cases[] = {
        {"one\rtwo\r\nthree", {"one", "two", "three"}},
        {"El limitador actúa sobre la mesa de mezclas desde las 22:00; el técnico de sonido, avisado, "
         "firmó la hoja del precinto (núm. 0457) y se llevó una copia para el Ayuntamiento.",
         {"El limitador actúa sobre la mesa de mezclas desde las 22:00; el",
          "técnico de sonido, avisado, firmó la hoja del precinto (núm. 0457) y se",
          "llevó una copia para el Ayuntamiento."}},
        {"Nota: " + word, {}}, // every character kept, no piece wider than the field
    };
    for (const auto& [text, expected] : cases) {
        r.report->field("memo")->setText(text);
        const LayoutResult l = r.report->layout();
        ASSERT_TRUE(l.document) << l.error.toStdString();
        QStringList lines;
        for (int p = 0; p < l.document->pageCount(); ++p) {
            lines += l.document->pageTexts(p);
            for (const DrawItem& d : l.document->pageItems(p))
                EXPECT_LE(d.textWidth, 100.01) << d.text.toStdString();
        }
        if (!expected.isEmpty()) {
            EXPECT_EQ(lines, expected);
        } else {
            ASSERT_GT(lines.size(), 1000);
            EXPECT_EQ(lines.takeFirst(), "Nota:");
            EXPECT_EQ(lines.join(QString()), word);
        }
    }

    r.report->field("list")->subreport()->setRecordSource("SELECT * FROM Nowhere", {});
    EXPECT_FALSE(r.report->layout().document);
    // Records without the column a field shows: told in words.
    r.report->field("list")->subreport()->setRecordSource("SELECT 1 AS Otra", {});
    EXPECT_EQ(r.report->layout().error.toStdString(),
              "El campo d del informe list muestra la columna DFecha, que no está en sus datos.");
}

class ReportDrivers : public ::testing::Test {
protected:
    void SetUp() override
    {
        seedSheet(123456);
        ConfiguracionRepo::saveUsuario("Pie de la base", nullptr);
    }
    TempDatabase db_;
};

TEST_F(ReportDrivers, SheetFieldsFromTheStoredRow)
{
    QSqlQuery q(mainDb());
    q.exec("UPDATE Programacion SET \"SOctava31,5Hz\" = NULL, BoCambioHora = NULL");
    PrintJob job = prepareSheetReport(123456, "1.9", InhibitedIntervals{});
    ASSERT_TRUE(job.report) << job.error.toStdString();
    Report& r = *job.report;
    auto text = [&](const char* name) { return r.field(QString::fromLatin1(name))->text(); };
    EXPECT_EQ(text("TReprog"), GetS(141) + ":");
    EXPECT_EQ(text("TNotas"), GetS(144));
    EXPECT_EQ(text("TipusActuacio"), GetS(155));
    EXPECT_EQ(text("SOctava31,5Hz"), "");
    EXPECT_EQ(text("CambioHora"), GetS(69));
    EXPECT_EQ(text("TUsuario"), "Pie de la base");
    EXPECT_EQ(text("LabelMemo"), " ");
    EXPECT_EQ(text("IntervalTotals"), QLocale::system().toString(QDate(2026, 3, 4), QLocale::ShortFormat) + " 18:30:05");
    EXPECT_EQ(r.field("Esborrats")->subreport()->field("TFecha")->text(), GetS(16) + ":");
    EXPECT_FALSE(r.field("TCMI")->isVisible());
    EXPECT_EQ(memo(), " ");

    q.exec("UPDATE Programacion SET TTipoActuacionVecino = 'Leq125ms'");
    job = prepareSheetReport(123456, "3.03", InhibitedIntervals{});
    ASSERT_TRUE(job.report);
    EXPECT_TRUE(job.report->field("CMI")->isVisible());
    EXPECT_EQ(job.report->field("CMI")->text(), GetS(68));
    EXPECT_EQ(job.report->field("TipusActuacio")->text(), "Leq125ms");
}

TEST_F(ReportDrivers, FailuresGiveOneMessageAndNoReport)
{
    InhibitedIntervals iv;
    setInterval(iv, 2, "01/01/26");
    // No stored row: the message comes before memo is written.
    PrintJob job = prepareSheetReport(654321, "2.0", iv);
    EXPECT_FALSE(job.report);
    EXPECT_EQ(job.error, GetS(59));
    EXPECT_EQ(memo(), "");
    GraphReportInput g;
    g.serial = 654321;
    EXPECT_EQ(prepareGraphReport(g).error, GetS(59));
    EXPECT_EQ(memo(), "");

    // A definition that lacks a field the driver sets: named in the message, memo already rewritten.
    QTemporaryDir dir;
    QFile f(dir.filePath("nbx70_1.xml"));
    QFile original(definitionPath(1));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly) && f.open(QIODevice::WriteOnly));
    f.write(original.readAll().replace("name=\"TipActVei\"", "name=\"TipActVeiX\""));
    f.close();
    setDefinitionFolder(dir.path());
    job = prepareSheetReport(123456, "2.0", iv);
    EXPECT_FALSE(job.report);
    EXPECT_TRUE(job.error.contains("TipActVei")) << job.error.toStdString();
    EXPECT_TRUE(memo().startsWith("02 - 01/01/26"));
    QFile::remove(dir.filePath("nbx70_1.xml"));
    job = prepareSheetReport(123456, "2.0", iv);
    EXPECT_TRUE(job.error.contains("nbx70_1.xml")) << job.error.toStdString();
    setDefinitionFolder(QString());

    // A database that takes no writes: why in words, then the library's text.
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.exec("PRAGMA query_only = ON"));
    job = prepareSheetReport(123456, "2.0", iv);
    EXPECT_TRUE(job.error.startsWith("No se puede guardar la lista de intervalos en la configuración:\r"
                                     "La base de datos es de solo lectura.\r")) << job.error.toStdString();
    ASSERT_TRUE(q.exec("PRAGMA query_only = OFF"));

    // An empty Configuracion table: a message, no crash, no row created.
    q.exec("DELETE FROM Configuracion");
    job = prepareSheetReport(123456, "2.0", iv);
    EXPECT_FALSE(job.report);
    EXPECT_FALSE(job.error.isEmpty());
    EXPECT_EQ(memo(), "<no row>");
    // The listing's reports end with the same message.
    seedIntervals(123456, 2);
    seedSessions(123456, 2);
    for (bool sessions : {false, true}) {
        ListingReportInput listing;
        listing.serial = 123456;
        listing.sessions = sessions;
        listing.fromDate = "2000-01-01";
        listing.toDate = "2099-12-31";
        const PrintJob listed = prepareListingReport(listing);
        EXPECT_FALSE(listed.report) << sessions;
        EXPECT_EQ(listed.error, job.error) << sessions;
    }
}

TEST_F(ReportDrivers, RangesAreStoredValuesInclusiveAtBothEnds)
{
    // Intervals around two century turns, inserted out of order.
    seedIntervals(123456, 2, QDateTime(QDate(2051, 1, 1), QTime(0, 0)));
    seedIntervals(123456, 3, QDateTime(QDate(1999, 12, 31), QTime(23, 30)));
    seedIntervals(123456, 2, QDateTime(QDate(2050, 12, 31), QTime(23, 30)));
    seedSessions(123456, 1, QDateTime(QDate(2051, 1, 1), QTime(0, 0)));
    auto rows = [](const ListingReportInput& in) {
        PrintJob job = prepareListingReport(in);
        EXPECT_TRUE(job.report) << job.error.toStdString();
        Report* sub = job.report->field(in.sessions ? "SesionReg" : "IntervalosLeq")->subreport();
        QSqlQuery q(mainDb());
        q.prepare(sub->recordSource());
        for (const QVariant& b : sub->recordBinds())
            q.addBindValue(b);
        q.exec();
        QStringList out;
        while (q.next())
            out << q.value("DFechaInicio").toString() + " " + q.value("THoraInicio").toString();
        EXPECT_NE(sub->section("Detail")->detailRules().size(), 0u);
        EXPECT_EQ(job.report->section("Detail")->detailRules().size(), 0u);
        return out;
    };
    ListingReportInput in;
    in.serial = 123456;
    in.fromDate = "1999-12-31"; in.fromTime = "23:45";
    in.toDate = "2000-01-01"; in.toTime = "00:00";
    EXPECT_EQ(rows(in), (QStringList{"1999-12-31 23:45", "2000-01-01 00:00"}));
    in.fromDate = "2051-01-01"; in.fromTime = "00:00";
    in.toDate = "2051-01-01"; in.toTime = "00:00";
    EXPECT_EQ(rows(in), (QStringList{"2051-01-01 00:00"}));
    in.fromDate = "2050-12-31"; in.fromTime = "23:45";
    in.toDate = "2051-01-01"; in.toTime = "00:15";
    EXPECT_EQ(rows(in).size(), 3);
    in.sessions = true; // a session that starts inside the range and ends after it
    EXPECT_EQ(rows(in), (QStringList{"2051-01-01 00:00"}));

    // A start after the end: an empty interval report, and "No hay datos" for sessions with memo rewritten.
    in.sessions = false;
    std::swap(in.fromDate, in.toDate);
    std::swap(in.fromTime, in.toTime);
    EXPECT_TRUE(rows(in).isEmpty());
    in.sessions = true;
    setInterval(in.intervals, 7, "07/07/26");
    const PrintJob job = prepareListingReport(in);
    EXPECT_FALSE(job.report);
    EXPECT_EQ(job.error, GetS(59));
    EXPECT_TRUE(memo().startsWith("07 - 07/07/26"));

    // TUsuario is the footer text held in memory, not the Configuracion row.
    in.sessions = false;
    in.textoUsuario = "En memoria";
    EXPECT_EQ(prepareListingReport(in).report->field("TUsuario")->text(), "En memoria");

    // A device without a sheet: one message after memo was written, no report.
    QSqlQuery q(mainDb());
    q.exec("DELETE FROM Programacion");
    setInterval(in.intervals, 9, "09/09/26");
    const PrintJob none = prepareListingReport(in);
    EXPECT_FALSE(none.report);
    EXPECT_EQ(none.error, GetS(59));
    EXPECT_TRUE(memo().contains("09 - 09/09/26"));
}

TEST_F(ReportDrivers, PagesDrawnInAnyOrderShowTheirOwnRecords)
{
    // Enough records that a page far from the last one drawn is reached by running the query again.
    seedIntervals(123456, 700);
    ListingReportInput in;
    in.serial = 123456;
    in.fromDate = "2026-01-01"; in.fromTime = "00:00";
    in.toDate = "2026-12-31"; in.toTime = "23:59";
    std::shared_ptr<const ReportDocument> doc;
    {
        PrintJob job = prepareListingReport(in);
        ASSERT_TRUE(job.report) << job.error.toStdString();
        doc = job.report->layout().document; // outlives its report
    }
    ASSERT_TRUE(doc);
    const int n = doc->pageCount();
    ASSERT_GT(n, 60);
    std::vector<QStringList> inOrder;
    int records = 0;
    for (int p = 0; p < n; ++p) {
        inOrder.push_back(doc->pageTexts(p));
        records += int(inOrder.back().count(QStringLiteral("0min"))); // one a record
    }
    EXPECT_EQ(records, 700);
    EXPECT_TRUE(inOrder[1].contains("10/01/26")) << inOrder[1].join('|').toStdString();
    // Last to first with the records' query kept open from page to page, as a paint of the
    // pages in view does; then by jumps.
    for (int p = n; p-- > 0;) {
        QStringList texts, expected = inOrder[size_t(p)];
        for (const DrawItem& d : doc->pageItems(p))
            if (d.type == DrawItem::Text)
                texts << d.text;
        texts.sort();
        expected.sort();
        EXPECT_EQ(texts, expected) << "page " << p + 1;
    }
    doc->release();
    for (int p : {n - 1, 1, n / 2, 2, n - 2, 0, n / 2 + 1})
        EXPECT_EQ(doc->pageTexts(p), inOrder[size_t(p)]) << "page " << p + 1;
}

} // namespace nbx::test
