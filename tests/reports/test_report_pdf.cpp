// Each report laid out from generated data, written to PDF and read back with pdftotext.
#include "ReportSeed.h"

#include "localisation/Strings.h"
#include "reports/ReportDrivers.h"
#include "support/TempDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace nbx::test {

namespace {

// Writes the document to `path` and returns the text of its pages, pages separated by form feeds.
QString pdfText(const reports::ReportDocument& doc, const QString& path)
{
    QPdfWriter writer(path);
    writer.setResolution(600);
    QString error;
    EXPECT_TRUE(doc.print(writer, &error)) << error.toStdString();
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(60000));
    return QString::fromUtf8(p.readAllStandardOutput());
}

InhibitedIntervals threeIntervals()
{
    InhibitedIntervals iv;
    iv.fechaIni[0] = "01/08/26"; iv.horaIni[0] = "00:00"; iv.fechaFi[0] = "31/08/26"; iv.horaFi[0] = "23:59";
    iv.fechaIni[4] = "24/12/26"; iv.horaIni[4] = "18:00"; iv.fechaFi[4] = "26/12/26"; iv.horaFi[4] = "08:00";
    iv.fechaIni[29] = "31/12/26"; iv.horaIni[29] = "20:00"; iv.fechaFi[29] = "00/00/00"; iv.horaFi[29] = "00:00";
    return iv;
}

class ReportPdf : public ::testing::Test {
protected:
    void SetUp() override
    {
        seedSheet(123456);
        seedDays(123456, 3);
        out_ = qEnvironmentVariable("NBX70_REPORT_PDF_DIR", db_.path());
    }
    QString pdf(const QString& name) const { return QDir(out_).filePath(name); }

    TempDatabase db_;
    QString out_;
};

std::shared_ptr<const reports::ReportDocument> layOut(reports::PrintJob job)
{
    EXPECT_TRUE(job.error.isEmpty()) << job.error.toStdString();
    if (!job.report)
        return nullptr;
    reports::LayoutResult l = job.report->layout();
    EXPECT_TRUE(l.error.isEmpty()) << l.error.toStdString();
    return l.document;
}

} // namespace

TEST_F(ReportPdf, SheetReportShowsTheStoredSheet)
{
    auto doc = layOut(reports::prepareSheetReport(123456, QStringLiteral("2.1"), threeIntervals()));
    ASSERT_TRUE(doc);
    const QString text = pdfText(*doc, pdf("nbx70_1.pdf"));
    for (const char* s : {"N. Serie:", "123456", "Marta Vidal", "Bar La Plaza", "Girona", "REPROGRAMACIONES:",
                          "BORRADOS:", "01 - 01/08/26 00:00 <-> 31/08/26 23:59", "05 - 24/12/26 18:00 <-> 26/12/26 08:00",
                          "30 - 31/12/26 20:00 <-> 00/00/00 00:00", "01/01/25", "10:15", "11:45", "No actúa", "CMI",
                          "Primera nota", "segunda linea", "1/1"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();
}

TEST_F(ReportPdf, WordsWiderThanTheirFieldBreakInsideItAndFixedFieldsCutThem)
{
    const QString rule = QString(160, QLatin1Char('=')) + "FIN";
    const QString url = "http://www.example.com/" + QString(140 - 23, QLatin1Char('a'));
    // A town name of 126 characters from an imported file, too wide for its field at any size.
    const QString town = QString("SANT JOAN DE LES ABADESSES - ").repeated(5).left(126);
    QSqlQuery q(mainDb());
    q.prepare("UPDATE Programacion SET TNota = ?, TPoblacion = ?");
    q.addBindValue(rule + "\r" + url + "/FINURL");
    q.addBindValue(town);
    ASSERT_TRUE(q.exec());
    auto doc = layOut(reports::prepareSheetReport(123456, QStringLiteral("2.1"), threeIntervals()));
    ASSERT_TRUE(doc);
    const QString path = pdf("nbx70_1_long_words.pdf");
    QPdfWriter writer(path);
    QString error;
    ASSERT_TRUE(doc->print(writer, &error)) << error.toStdString();
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString boxes = QString::fromUtf8(p.readAllStandardOutput());
    // The note field runs from 14 mm (margin and x) to 198 mm.
    const double left = 14 * 72 / 25.4, right = 198 * 72 / 25.4;
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\" yMax=\"[0-9.]+\">([^<]*)</word>"));
    QString ruleText, urlText;
    for (const QRegularExpressionMatch& m : word.globalMatch(boxes)) {
        const QString w = m.captured(3);
        const bool inRule = !w.isEmpty() && QString(w).remove(QLatin1Char('=')).remove(QStringLiteral("FIN")).isEmpty();
        const bool inUrl = w.startsWith("http:") || (w.size() > 1 && QString(w).remove(QLatin1Char('a')).remove(QStringLiteral("/FINURL")).isEmpty());
        if (!inRule && !inUrl)
            continue;
        (inRule ? ruleText : urlText) += w;
        EXPECT_GE(m.captured(1).toDouble(), left - 0.5) << w.toStdString();
        EXPECT_LE(m.captured(2).toDouble(), right + 0.5) << w.toStdString();
    }
    EXPECT_EQ(ruleText.toStdString(), rule.toStdString());
    EXPECT_EQ(urlText.toStdString(), (url + "/FINURL").toStdString());

    // The town's field (36 to 108 mm) has nothing beside it on its line: the printed page is
    // blank from its right side to the page's edge.
    const QStringList texts = doc->pageTexts(0);
    ASSERT_TRUE(texts.contains(town));
    QProcess render;
    const QString picture = QDir(db_.path()).filePath("page");
    render.start(QStringLiteral("pdftoppm"), {"-r", "100", "-f", "1", "-l", "1", "-gray", path, picture});
    ASSERT_TRUE(render.waitForFinished(60000));
    const QImage page(picture + "-1.pgm");
    ASSERT_FALSE(page.isNull());
    for (const reports::DrawItem& d : doc->pageItems(0)) {
        if (d.text != town)
            continue;
        const double px = 100 / 25.4;
        const QRect beside(QPoint(int((d.rect.right() + 0.5) * px), int(d.rect.top() * px)),
                           QPoint(page.width() - 1, int(d.rect.bottom() * px)));
        int inked = 0;
        for (int y = beside.top(); y <= beside.bottom(); ++y)
            for (int x = beside.left(); x <= beside.right(); ++x)
                inked += qGray(page.pixel(x, y)) < 128;
        EXPECT_EQ(inked, 0);
    }
}

TEST_F(ReportPdf, FixedFieldsCutTextsOfAnyLengthAtTheirSidesAsAligned)
{
    // One word of a million characters (a pasted file), marked at its start, middle and end.
    const QString run(524282, QLatin1Char('a'));
    const QString word = "START" + run + "MIDDLE" + run + "END";
    const reports::LoadResult r = reports::loadReportText(
        "<reports><report name=\"A\" margins=\"10,10,10,10\"><section name=\"Detail\" height=\"40\">"
        "<field name=\"left\" kind=\"text\" x=\"50\" y=\"0\" w=\"40\" h=\"5\"/>"
        "<field name=\"right\" kind=\"text\" x=\"50\" y=\"10\" w=\"40\" h=\"5\" align=\"right\"/>"
        "<field name=\"centre\" kind=\"text\" x=\"50\" y=\"20\" w=\"40\" h=\"5\" align=\"center\"/>"
        "</section></report></reports>", "cut.xml", "A");
    ASSERT_TRUE(r.report) << r.error.toStdString();
    for (const char* name : {"left", "right", "centre"})
        r.report->field(name)->setText(word);
    const reports::LayoutResult l = r.report->layout();
    ASSERT_TRUE(l.document) << l.error.toStdString();
    EXPECT_EQ(l.document->pageTexts(0), QStringList({word, word, word}));
    const QString text = pdfText(*l.document, pdf("cut.pdf")).simplified();
    const QStringList lines = text.split(' ');
    ASSERT_EQ(lines.size(), 3) << text.left(300).toStdString();
    EXPECT_TRUE(lines[0].startsWith("STARTaaa")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith("aaaEND")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains("aaaMIDDLEaaa")) << lines[2].toStdString();

    // Ink only inside the fields (60 to 100 mm across), on each of their lines.
    QProcess render;
    const QString picture = QDir(db_.path()).filePath("cut");
    render.start(QStringLiteral("pdftoppm"), {"-r", "50", "-f", "1", "-l", "1", "-gray", pdf("cut.pdf"), picture});
    ASSERT_TRUE(render.waitForFinished(60000));
    const QImage page(picture + "-1.pgm");
    ASSERT_FALSE(page.isNull());
    const double px = 50 / 25.4;
    for (int field = 0; field < 3; ++field) {
        int inside = 0, outside = 0;
        for (int y = int((10 + 10 * field) * px); y <= int((15 + 10 * field) * px); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const bool inked = qGray(page.pixel(x, y)) < 160;
                if (x >= int(60 * px) && x <= int(100 * px) + 1)
                    inside += inked;
                else
                    outside += inked;
            }
        EXPECT_GT(inside, 20) << "field " << field;
        EXPECT_EQ(outside, 0) << "field " << field;
    }
}

TEST_F(ReportPdf, IntervalReportFlowsOverPagesWithItsHeadingRepeated)
{
    seedIntervals(123456, 60);
    reports::ListingReportInput in;
    in.serial = 123456;
    in.fromDate = "2026-01-10"; in.fromTime = "08:15";
    in.toDate = "2026-01-10"; in.toTime = "20:00";
    in.fechaTotales = "04/03/26"; in.horaTotales = "18:30:05";
    in.textoUsuario = "Pie de prueba";
    auto doc = layOut(reports::prepareListingReport(in));
    ASSERT_TRUE(doc);
    const QString text = pdfText(*doc, pdf("nbx70_2.pdf"));
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 3);
    for (int p = 1; p < pages.size(); ++p)
        EXPECT_TRUE(pages[p].contains("dd/mm/yy hh:mm")) << "page " << p + 1;
    EXPECT_EQ(text.count(QStringLiteral("0min")), 48); // one a record: 08:15 .. 20:00, both included
    EXPECT_TRUE(text.contains(QRegularExpression("10/01/26\\s+08:15")));
    EXPECT_FALSE(text.contains(QRegularExpression("10/01/26\\s+08:00"))) << "the interval before the range";
    for (const char* s : {"und", "up", "---", "Sin calibrar", "12min", "Pie de prueba", "04/03/26 18:30:05"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s;
    // The limit and action-type columns have their headings, on every page.
    for (int p = 1; p < pages.size(); ++p) {
        EXPECT_TRUE(pages[p].contains(GetS(36))) << "page " << p + 1;
        EXPECT_TRUE(pages[p].contains(QRegularExpression("LFmax\\s+" + GetS(36)))) << "page " << p + 1;
        EXPECT_TRUE(pages[p].contains(GetS(QStringLiteral("Tipo de actuación")))) << "page " << p + 1;
    }
}

TEST_F(ReportPdf, OctaveCaptionsTakeTheSystemDecimalSeparator)
{
    // The system locale is read once a process: the check runs again in a Spanish child.
    if (qEnvironmentVariableIsEmpty("NBX70_SPANISH_CHILD")) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "es_ES.UTF-8");
        env.insert("LANG", "es_ES.UTF-8");
        env.insert("NBX70_SPANISH_CHILD", "1");
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=ReportPdf.OctaveCaptionsTakeTheSystemDecimalSeparator")});
        ASSERT_TRUE(child.waitForFinished(60000));
        const QString output = QString::fromUtf8(child.readAll());
        EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
        return;
    }
    ASSERT_EQ(QLocale::system().decimalPoint(), QStringLiteral(","));
    auto doc = layOut(reports::prepareSheetReport(123456, QStringLiteral("2.1"), threeIntervals()));
    ASSERT_TRUE(doc);
    const QString text = pdfText(*doc, pdf("nbx70_1_es.pdf"));
    EXPECT_TRUE(text.contains(QRegularExpression("31,5\\s+63\\s+125"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression(",5\\s+12,0"))) << text.toStdString();
    EXPECT_FALSE(text.contains("31.5"));
}

TEST_F(ReportPdf, SessionReport)
{
    seedSessions(123456, 4);
    reports::ListingReportInput in;
    in.serial = 123456;
    in.sessions = true;
    in.fromDate = "2026-01-11"; in.fromTime = "20:00";
    in.toDate = "2026-01-12"; in.toTime = "20:00";
    auto doc = layOut(reports::prepareListingReport(in));
    ASSERT_TRUE(doc);
    const QString text = pdfText(*doc, pdf("nbx70_3.pdf"));
    EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("\\d\\d/01/26\\s+20:00"))), 2) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("11/01/26\\s+20:00"))));
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("12/01/26\\s+20:00"))));
    EXPECT_TRUE(text.contains("REGISTROS Sesión:"));
    EXPECT_TRUE(text.contains(QRegularExpression("LFmax\\s+" + GetS(36)))) << "the LFmax limit's heading";
}

TEST_F(ReportPdf, GraphReportCarriesBothCharts)
{
    reports::GraphReportInput in;
    in.serial = 123456;
    for (auto [pic, label] : {std::pair{&in.levelChart, "LEVELCHART"}, std::pair{&in.eventChart, "EVENTCHART"}}) {
        QPainter p(pic);
        p.drawRect(QRectF(0, 0, 800, label[0] == 'L' ? 350 : 156));
        p.drawText(QPointF(20, 40), QString::fromLatin1(label));
    }
    auto doc = layOut(reports::prepareGraphReport(in));
    ASSERT_TRUE(doc);
    const QString text = pdfText(*doc, pdf("nbx70_4.pdf"));
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_FALSE(pages.isEmpty());
    EXPECT_LT(pages[0].indexOf("EVENTCHART"), pages[0].indexOf("LEVELCHART"));
    EXPECT_GE(pages[0].indexOf("EVENTCHART"), 0);
}

} // namespace nbx::test
