// The record window without a device: choosing and loading devices, navigation, search, the
// grids' captions, value items and sorting, and the buttons that open other windows.
#include "link/Link.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "records/RecordColumns.h"
#include "records/RecordsState.h"
#include "records/ui/Form5.h"
#include "records/ui/RecordGrid.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

void exec(const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.prepare(sql)) << sql.toStdString();
    for (const QVariant& v : values)
        q.addBindValue(v);
    ASSERT_TRUE(q.exec()) << sql.toStdString();
}

void device(int serial, const QVariant& local, const QVariant& version = "2.1", const QVariant& fecha = "2024-02-03")
{
    exec("INSERT INTO Programacion (LNumeroSerie, TLocal, TVersion, DFecha) VALUES (?,?,?,?)",
         {serial, local, version, fecha});
}

// An interval of device `serial` starting at `start` ("yyyy-MM-dd hh:mm") with level L50 and a
// Leq1'max date text.
void interval(int serial, const QString& start, double l50, const QString& maxDate = "01/01/2024")
{
    exec("INSERT INTO Intervalos (LNumeroSerie, DFechaInicio, THoraInicio, DFechaFinal, THoraFinal, SL50, "
         "TFechaMaxLeq1min, THoraMaxLeq1min, SLeqLocal, SLeqVecino, ByDNA, ByNivelLeqLocal, ByNivelMFast) "
         "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)",
         {serial, start.left(10), start.mid(11), start.left(10), start.mid(11), l50, maxDate, "10:00", 59, 59, 255, 255, 255});
}

class RecordWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        linkState().NumeroSerieEqp = 0;
        Form5::setGraphOpener([this](Form5& f) { opened << QStringLiteral("graph %1").arg(f.serial()); });
        Form5::setListingOpener([this](Form5& f) { opened << QStringLiteral("listing %1").arg(f.serial()); });
        Form5::setProgrammingOpener([this] { opened << QStringLiteral("programming %1").arg(linkState().NumeroSerieEqp); });
    }
    void TearDown() override
    {
        Form5::setGraphOpener({});
        Form5::setListingOpener({});
        Form5::setProgrammingOpener({});
    }
    QStringList column(RecordGrid* g, int col)
    {
        QStringList out;
        for (int r = 0; r < g->model()->rowCount(); ++r)
            out << g->model()->index(r, col).data().toString();
        return out;
    }

    TempDatabase db;
    ScriptedPrompter prompts;
    QStringList opened;
};

TEST_F(RecordWindow, ChoosesTheDeviceToShow)
{
    {
        Form5 f;
        f.Form_Load();
        ASSERT_EQ(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].text, GetS(28));
        EXPECT_EQ(prompts.shown[0].icon, Prompter::Icon::Information);
        EXPECT_EQ(f.serial(), 0);
    }
    device(300, "C");
    device(100, "A");
    device(200, "B");
    const struct { qint32 wanted; qint32 shown; } cases[] = {{0, 100}, {300, 300}, {999, 100}};
    for (auto c : cases) {
        prompts.shown.clear();
        linkState().NumeroSerieEqp = c.wanted;
        Form5 f;
        f.Form_Load();
        EXPECT_TRUE(prompts.shown.isEmpty());
        EXPECT_EQ(f.TextNumeroSerie->text(), QString::number(c.shown));
        EXPECT_EQ(linkState().NumeroSerieEqp, c.shown);
    }
}

TEST_F(RecordWindow, LoadsADeviceNullSafeWithItsIntervals)
{
    device(100, "Bar", "2.1", "2024-02-03");
    device(200, QVariant(), QVariant(), QVariant());
    interval(100, "2024-03-01 10:00", 70);
    exec("INSERT INTO IntervaloInhabil VALUES (200, 3, '24/12/24', '14:05:00', '25/12/24', '08:00')");
    exec("INSERT INTO IntervaloInhabil VALUES (200, 17, '31/12/24', '20:00', '01/01/25', '06:30')");
    // Interval numbers another program left: none of them is interval 1.
    for (const char* number : {"4294967297", "-2147483648", "1e300"})
        exec(QStringLiteral("INSERT INTO IntervaloInhabil VALUES (200, %1, '01/01/99', '01:00', '01/01/99', '02:00')")
                 .arg(QLatin1String(number)));
    linkState().NumeroSerieEqp = 100;
    Form5 f;
    f.Form_Load();
    EXPECT_EQ(f.TextFecha->text(), "03/02/24");
    EXPECT_EQ(recordsState().localFicha, "Bar");
    EXPECT_EQ(f.TDBGridIntervalos->model()->rowCount(), 1);
    f.SSCommandSiguiente->click();
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(f.TextNumeroSerie->text(), "200");
    EXPECT_EQ(f.TextVersion->text(), "");
    EXPECT_EQ(f.TextLocal->text(), "");
    EXPECT_EQ(f.TextFecha->text(), "");
    EXPECT_EQ(f.TDBGridIntervalos->model()->rowCount(), 0);
    const InhibitedIntervals& iv = f.inhibitedIntervals();
    EXPECT_EQ(iv.horaIni[2], "14:05");
    EXPECT_EQ(iv.fechaFi[16], "01/01/25");
    EXPECT_EQ(iv.fechaIni[0], "00/00/00");
    EXPECT_EQ(iv.horaFi[29], "00:00");
}

TEST_F(RecordWindow, AnUnreadableTableLeavesTheShownDeviceWithTheDatabasesReason)
{
    device(100, "Bar");
    device(200, "Other");
    interval(100, "2024-03-01 10:00", 70);
    interval(200, "2024-04-01 10:00", 70);
    interval(200, "2024-04-02 10:00", 70);
    Form5 f;
    f.Form_Load();
    ASSERT_EQ(f.serial(), 100);
    exec("ALTER TABLE Sesiones RENAME TO SesionesAparte");
    f.SSCommandSiguiente->click();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].icon, Prompter::Icon::Critical);
    EXPECT_TRUE(prompts.shown[0].text.contains("no such table: Sesiones")) << prompts.shown[0].text.toStdString();
    EXPECT_EQ(f.serial(), 100);
    EXPECT_EQ(f.TextNumeroSerie->text(), "100");
    EXPECT_EQ(f.TextLocal->text(), "Bar");
    EXPECT_EQ(recordsState().localFicha, "Bar");
    EXPECT_EQ(linkState().NumeroSerieEqp, 100);
    EXPECT_EQ(column(f.TDBGridIntervalos, 1), QStringList({"01/03/2024"}));
}

TEST_F(RecordWindow, NavigationAndBoundSearch)
{
    device(100, "Bar Uno");
    device(200, "O'Brien");
    device(250, QString::fromUtf8("SALA CAÑADA"));
    device(300, "Sala Barcelona");
    device(400, "Zeta");
    Form5 f;
    f.Form_Load();
    f.SSCommandAnterior->click();
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(f.serial(), 100);

    QFocusEvent focus(QEvent::FocusIn);
    QApplication::sendEvent(f.TextLocal, &focus);
    ASSERT_EQ(f.campoActual(), "TextLocal");
    const struct { const char* typed; qint32 shown; } searches[] = {
        {"O'Brien", 200}, {"%", 100}, {"s_la%lona", 300}, {"cañada", 250}, {"barc", 300},
        {"nothing like it", 300}, {"", 300}};
    for (auto s : searches) {
        prompts.input(QString::fromUtf8(s.typed));
        f.SSCommandBuscar->click();
        EXPECT_EQ(f.serial(), s.shown) << s.typed;
    }
    EXPECT_EQ(prompts.prompts.first(), GetS(20) + " " + GetS(6));
    EXPECT_TRUE(prompts.shown.isEmpty());
    f.SSCommandSiguiente->click(); // the device after the shown one
    EXPECT_EQ(f.serial(), 400);
    f.SSCommandSiguiente->click();
    EXPECT_EQ(prompts.beeps, 2);
    EXPECT_EQ(f.serial(), 400);
}

TEST_F(RecordWindow, GridCaptionsAndValueItems)
{
    device(100, "Bar");
    exec("INSERT INTO Intervalos (LNumeroSerie, DFechaInicio, THoraInicio, SLeqLocal, SLeqVecino, ByNivelLeqLocal, "
         "ByNivelMFast, ByDNA, BoRS232, BoProgramacion, SL1, SL5, SL10, SL50, SL90, SMaxFast) "
         "VALUES (100, '2024-03-01', '10:00', 59, 59, 255, 255, 255, -1, 4294967296, 121, 0, 1e300, -3e9, 71.9, 80.0)");
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain)); // as on a Spanish desktop
    Form5 f;
    f.Form_Load();
    RecordTableModel* m = f.TDBGridIntervalos->model();
    EXPECT_EQ(m->captions[5], GetS(41));
    EXPECT_EQ(m->captions[14], GetS(12) + "\rdBA");
    EXPECT_EQ(m->captions[15], GetS(12) + "\r" + GetS(16));
    EXPECT_EQ(m->captions[22], "Pasadas");
    EXPECT_EQ(m->captions[32], QString::fromUtf8("Línea insuficiente\rmin"));
    EXPECT_EQ(m->captions[23], "L1\rdBA");
    EXPECT_EQ(m->headerData(5, Qt::Horizontal).toString(), "LeqT\nT(min)");
    EXPECT_EQ(f.TDBGridSesiones->model()->captions[9], GetS(102) + "\rdBA");

    const struct { int col; QString text; } cells[] = {
        {1, "01/03/2024"}, {6, "UND"}, {10, "59"}, {7, "---"}, {21, "255"}, {33, GetS(123)}, {23, "UP"}, {24, "---"},
        {27, "71,9"}, {20, "80"}, {25, "1E+300"}, {26, "-3E+09"}};
    for (auto c : cells)
        EXPECT_EQ(m->index(0, c.col).data().toString(), c.text) << c.col;
    QLocale::setDefault(previous);
    EXPECT_FALSE(m->index(0, 28).data(Qt::DecorationRole).isNull());
    // Any non-zero value is yes, also one no int holds.
    EXPECT_EQ(m->index(0, 29).data(Qt::DecorationRole).value<QPixmap>().cacheKey(),
              m->index(0, 28).data(Qt::DecorationRole).value<QPixmap>().cacheKey());
    EXPECT_TRUE(f.TDBGridIntervalos->split(0)->isColumnHidden(0));
    EXPECT_FALSE(f.TDBGridIntervalos->split(0)->isColumnHidden(1));
    EXPECT_TRUE(f.TDBGridIntervalos->split(1)->isColumnHidden(4));
    EXPECT_FALSE(f.TDBGridIntervalos->split(1)->isColumnHidden(34));
}

// Every column of the interval and session grids: its caption, the stored field under it, and a
// heading click that sorts by it both ways. Three rows; each column ranks them in its own rotation,
// so that two swapped columns show other values and sort in another order.
TEST_F(RecordWindow, EveryColumnShowsItsCaptionAndFieldAndSortsBothWays)
{
    struct Col {
        const char* field;
        QString caption;
        int rankOf; // the column whose rotation ranks the rows (a sort by date sorts with its time)
    };
    const QString dBA = "\rdBA";
    const std::vector<Col> intervals = {
        {"", "", 0}, {"DFechaInicio", "Fecha", 1}, {"THoraInicio", "Hora", 1}, {"DFechaFinal", "Fecha", 1},
        {"THoraFinal", "Hora", 1}, {"ByTLeq", GetS(41), 5}, {"SLeqLocal", GetS(56), 6}, {"ByNivelLeqLocal", GetS(48), 7},
        {"IPasadasLocal", GetS(46), 8}, {"TTipoActuacionLocal", GetS(67), 9}, {"SLeqVecino", GetS(57), 10},
        {"ByNivelLeqVecino", GetS(49), 11}, {"IPasadasVecino", GetS(47), 12}, {"TTipoActuacionVecino", GetS(101), 13},
        {"SMaxLeq1min", GetS(12) + dBA, 14}, {"TFechaMaxLeq1min", GetS(12) + "\r" + GetS(16), 15},
        {"THoraMaxLeq1min", GetS(12) + "\r" + GetS(17), 15}, {"SMinLeq1min", GetS(13) + dBA, 17},
        {"TFechaMinLeq1min", GetS(13) + "\r" + GetS(16), 18}, {"THoraMinLeq1min", GetS(13) + "\r" + GetS(17), 18},
        {"SMaxFast", GetS(14) + dBA, 20}, {"ByNivelMFast", GetS(36) + dBA, 21}, {"IPasMaxFast", "Pasadas", 22},
        {"SL1", "L1\rdBA", 23}, {"SL5", "L5\rdBA", 24}, {"SL10", "L10\rdBA", 25}, {"SL50", "L50\rdBA", 26},
        {"SL90", "L90\rdBA", 27}, {"BoRS232", GetS(38), 28}, {"BoProgramacion", QString::fromUtf8("Reprogramación"), 29},
        {"IDesco", GetS(39), 30}, {"IE3", GetS(40), 31},
        {"ByLineaInsuficiente", QString::fromUtf8("Línea insuficiente\rmin"), 32}, {"ByDNA", "D.N.A.\rmin", 33},
        {"ByENA", "E.N.A.\rmin", 34}};
    const std::vector<Col> sessions = {
        {"", "", 0}, {"DFechaInicio", "Fecha", 1}, {"THoraInicio", "Hora", 1}, {"DFechaFinal", "Fecha", 1},
        {"THoraFinal", "Hora", 1}, {"SLeq", GetS(42), 5}, {"LPasadasLocal", GetS(46), 6},
        {"LPasadasVecino", GetS(47), 7}, {"ITiempoAtenuacion", GetS(45), 8}, {"ByNivelDiaLocal", GetS(102) + dBA, 9},
        {"ByNivelDiaVecino", GetS(103) + dBA, 10}, {"ByNivelNocheLocal", GetS(104) + dBA, 11},
        {"ByNivelNocheVecino", GetS(105) + dBA, 12}, {"THoraInicioNoche", GetS(43), 13},
        {"THoraFinalNoche", GetS(44), 14}, {"SMaxLeq1min", GetS(12) + dBA, 15},
        {"TFechaMaxLeq1min", GetS(12) + "\r" + GetS(16), 16}, {"THoraMaxLeq1min", GetS(12) + "\r" + GetS(17), 16},
        {"SMinLeq1min", GetS(13) + dBA, 18}, {"TFechaMinLeq1min", GetS(13) + "\r" + GetS(16), 19},
        {"THoraMinLeq1min", GetS(13) + "\r" + GetS(17), 19}, {"SMaxFast", GetS(14) + dBA, 21},
        {"ByNivelMFast", GetS(36) + dBA, 22}, {"LPasMaxFast", "Pasadas", 23}, {"SL1", "L1\rdBA", 24},
        {"SL5", "L5\rdBA", 25}, {"SL10", "L10\rdBA", 26}, {"SL50", "L50\rdBA", 27}, {"SL90", "L90\rdBA", 28},
        {"LDesco", GetS(39), 29}, {"LE3", GetS(40), 30}};

    // The value of a column's field in the row ranked `k` (0 lowest), unlike any other column's.
    auto value = [](const Col& c, int col, int k) -> QVariant {
        const QString f = QString::fromLatin1(c.field);
        if (f.startsWith("DFecha"))
            return QString("2024-0%1-%2").arg(k + 1).arg(col, 2, 10, QChar('0'));
        if (f.startsWith("TFecha")) // day first: the text order is the opposite of the dates'
            return QString("%1/0%2/20%3").arg(20 - k).arg(k + 1).arg(col);
        if (f.startsWith("THora"))
            return QString("1%1:%2").arg(k).arg(col, 2, 10, QChar('0'));
        if (f.startsWith("TTipo"))
            return QString("tipo %1-%2").arg(col).arg(k);
        if (f.startsWith("Bo"))
            return k == 0 ? -1 : 0;
        if (f.startsWith('S'))
            return col * 10 + k + 0.5;
        return col * 10 + k;
    };
    const struct {
        RecordGrid* (*grid)(Form5&);
        const char* table;
        const std::vector<Col>* cols;
    } grids[] = {{[](Form5& f) { return f.TDBGridIntervalos; }, "Intervalos", &intervals},
                 {[](Form5& f) { return f.TDBGridSesiones; }, "Sesiones", &sessions}};
    device(100, "Bar");
    for (const auto& g : grids) {
        const std::vector<Col>& cols = *g.cols;
        for (int r = 0; r < 3; ++r) {
            QStringList fields{"LNumeroSerie"}, marks{"?"};
            QVariantList values{100};
            for (int col = 1; col < int(cols.size()); ++col) {
                fields << QString("\"%1\"").arg(cols[col].field);
                marks << "?";
                values << value(cols[col], col, (r + cols[col].rankOf) % 3);
            }
            exec(QString("INSERT INTO %1 (%2) VALUES (%3)").arg(g.table, fields.join(','), marks.join(',')), values);
        }
    }
    Form5 f;
    f.Form_Load();
    for (const auto& g : grids) {
        RecordGrid* grid = g.grid(f);
        const std::vector<Col>& cols = *g.cols;
        ASSERT_EQ(grid->model()->columnCount(), int(cols.size())) << g.table;
        for (int col = 1; col < int(cols.size()); ++col) {
            SCOPED_TRACE(QString("%1 column %2 %3").arg(g.table).arg(col).arg(cols[col].field).toStdString());
            EXPECT_EQ(grid->model()->captions[col], cols[col].caption);
            for (bool ascending : {true, false}) {
                f.headClick(grid, col);
                QVariantList shown, expected;
                for (int r = 0; r < 3; ++r) {
                    shown << grid->model()->stored(r, col);
                    expected << value(cols[col], col, ascending ? r : 2 - r);
                }
                EXPECT_EQ(shown, expected) << (ascending ? "ascending" : "descending");
            }
        }
    }
}

TEST_F(RecordWindow, HeadingClicksSortEveryWayOnTheShownDevice)
{
    device(100, "Bar");
    device(200, "Other");
    interval(100, "2024-03-02 10:00", 60, "02/03/2024");
    interval(100, "2024-01-15 08:00", 121, "15/01/2024");
    interval(100, "2024-03-01 23:45", 59, "01/12/2023");
    interval(200, "2025-01-01 00:00", 0, "01/01/2025");
    linkState().NumeroSerieEqp = 100;
    Form5 f;
    f.Form_Load();
    RecordGrid* g = f.TDBGridIntervalos;
    EXPECT_EQ(column(g, 1), QStringList({"02/03/2024", "01/03/2024", "15/01/2024"}));
    linkState().NumeroSerieEqp = 200; // another window's device: the grid keeps its own

    f.headClick(g, 3); // end date: sorts by the start, oldest first
    EXPECT_EQ(column(g, 1), QStringList({"15/01/2024", "01/03/2024", "02/03/2024"}));
    f.headClick(g, 1);
    EXPECT_EQ(column(g, 1), QStringList({"02/03/2024", "01/03/2024", "15/01/2024"}));
    f.headClick(g, 26); // L50 by its number: 59 before 60, 121 last
    EXPECT_EQ(column(g, 26), QStringList({"UND", "60", "UP"}));
    f.headClick(g, 16); // Leq1'max date, day first in the text, sorted chronologically
    EXPECT_EQ(column(g, 15), QStringList({"02/03/2024", "15/01/2024", "01/12/2023"}));

    // The scrolling split keeps its horizontal position across a sort.
    f.resize(900, 700);
    f.show();
    QApplication::processEvents();
    QScrollBar* h = g->split(1)->horizontalScrollBar();
    h->setValue(h->maximum() / 2);
    const int left = h->value();
    ASSERT_GT(left, 0);
    f.headClick(g, 26);
    EXPECT_EQ(h->value(), left);

    f.SSCommandSiguiente->click();
    f.SSCommandAnterior->click(); // a reload: newest first, next click ascending
    EXPECT_EQ(column(g, 1), QStringList({"02/03/2024", "01/03/2024", "15/01/2024"}));
    EXPECT_TRUE(g->nextAscending);
}

TEST_F(RecordWindow, CtrlEndReachesTheOldestOfALongHistoryWithBothSplitsLevel)
{
    device(100, "Bar");
    // 3000 quarter-hour intervals from 2024-01-01 00:00.
    exec("WITH RECURSIVE n(k) AS (SELECT 0 UNION ALL SELECT k+1 FROM n WHERE k<2999) "
         "INSERT INTO Intervalos (LNumeroSerie, DFechaInicio, THoraInicio, SL50) "
         "SELECT 100, date('2024-01-01', '+'||(k/96)||' days'), printf('%02d:%02d', k%96/4, k%4*15), k FROM n");
    Form5 f;
    f.Form_Load();
    f.resize(900, 700);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    RecordGrid* g = f.TDBGridIntervalos;
    for (int col : {1, 26}) { // newest first, then a sorted order
        if (col != 1)
            f.headClick(g, col);
        QTableView* v = g->split(1);
        v->setFocus();
        v->setCurrentIndex(g->model()->index(0, 5));
        QTest::keyClick(v, Qt::Key_End, Qt::ControlModifier);
        QApplication::processEvents();
        EXPECT_EQ(g->model()->rowCount(), 3000);
        const QModelIndex current = v->currentIndex();
        EXPECT_EQ(current.row(), 2999);
        EXPECT_EQ(g->model()->index(current.row(), 1).data().toString(), col == 1 ? "01/01/2024" : "01/02/2024");
        EXPECT_EQ(g->model()->index(current.row(), 2).data().toString(), col == 1 ? "00:00" : "05:45");
        // The scroll bar spans every row: at its end the last row is in sight, in both splits.
        EXPECT_EQ(v->verticalScrollBar()->value(), v->verticalScrollBar()->maximum());
        const int bottom = v->viewport()->height() - 2;
        EXPECT_EQ(v->rowAt(bottom), 2999);
        EXPECT_EQ(g->split(0)->rowAt(bottom), 2999);
        EXPECT_EQ(g->split(0)->rowAt(0), v->rowAt(0));
    }
    // The frozen split has no scroll bar of its own.
    EXPECT_TRUE(g->split(1)->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(g->split(0)->horizontalScrollBar()->isVisible());
    EXPECT_EQ(g->split(0)->viewport()->height(), g->split(1)->viewport()->height());
    f.resize(6000, 700); // wide enough for every column: no scroll bar under either split
    EXPECT_TRUE(QTest::qWaitFor([&] { return !g->split(1)->horizontalScrollBar()->isVisible(); }, 2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return g->split(0)->viewport()->height() == g->split(1)->viewport()->height(); }, 2000));
}

TEST_F(RecordWindow, OpenersNeedIntervalsAndTheProgrammingButtonHandsOver)
{
    device(100, "Bar");
    device(200, "Other");
    interval(200, "2024-03-02 10:00", 60);
    Form5 f;
    f.Form_Load();
    f.SSCommandGrafica->click();
    f.SSCommandImprimir->click();
    EXPECT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown[0].text, GetS(59));
    EXPECT_TRUE(opened.isEmpty());
    f.SSCommandSiguiente->click();
    f.SSCommandGrafica->click();
    f.SSCommandImprimir->click();
    EXPECT_EQ(opened, QStringList({"graph 200", "listing 200"}));
    f.show();
    f.SSCommandProgramacion->click();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(opened.last(), "programming 200");
}

TEST_F(RecordWindow, TranslatesItsGridsAndTheSinCalibrarItem)
{
    device(100, "Bar");
    exec("INSERT INTO Intervalos (LNumeroSerie, DFechaInicio, THoraInicio, ByDNA) VALUES (100, '2024-03-01', '10:00', 255)");
    QString name = QStringLiteral("Language.db");
    ASSERT_TRUE(SetupLanguage(name, QStringLiteral("English"), langDesk(), {QStringLiteral(NBX70_SOURCE_RESOURCES)}));
    {
        Form5 f;
        f.Form_Load();
        RecordGrid* g = f.TDBGridIntervalos;
        EXPECT_EQ(g->splitCaption(1), "EVENTS");
        EXPECT_EQ(g->model()->captions[1], "Date");
        EXPECT_EQ(g->model()->captions[22], "Exceedances");
        EXPECT_EQ(g->model()->captions[33], "D.N.A.\rmin");
        EXPECT_EQ(g->model()->captions[5], GetS(41));
        EXPECT_EQ(f.TDBGridBorrat->caption(), "ERASURES");
        EXPECT_EQ(g->model()->index(0, 33).data().toString(), GetS(123));
        EXPECT_NE(GetS(123), QString::fromUtf8("Sin calibrar"));
    }
    QString none;
    SetupLanguage(none, QString(), langDesk());
}

TEST_F(RecordWindow, ColumnSortKeys)
{
    EXPECT_EQ(orderBy(GridKind::Intervalos, 4, true), " ORDER BY DFechaInicio ASC, THoraInicio ASC");
    EXPECT_EQ(sortKeys(GridKind::Sesiones, 17).size(), 1); // the Leq1'max date and time as one number
    EXPECT_FALSE(sortKeysIndexed(GridKind::Sesiones, 17));
    EXPECT_TRUE(sortKeysIndexed(GridKind::Sesiones, 3));
    EXPECT_EQ(orderBy(GridKind::DiaBorrado, 1, true), " ORDER BY DFecha ASC, THora ASC");
    EXPECT_EQ(orderBy(GridKind::Intervalos, 26, true), " ORDER BY \"SL50\" ASC");
    // The Leq1' moment computed in the program is the one SQL computes, odd texts included.
    const QString key = sortKeys(GridKind::Intervalos, 16).first();
    ASSERT_EQ(sortMomentFields(GridKind::Intervalos, 16), QStringList({"TFechaMaxLeq1min", "THoraMaxLeq1min"}));
    EXPECT_TRUE(sortMomentFields(GridKind::Intervalos, 14).isEmpty());
    const char* moments[][2] = {{"15/03/2024", "10:05"}, {"1/3/2024", "9:5"}, {" 5/ 3/  24", " 7:-1"}, {"", ""},
                                {"ab/cd/efgh", "xy:zw"}, {"ñ5/03/2024", "1ñ:30"}, {"15/03/2024 extra", "10:05:59"},
                                {"+1/-2/2024", "+9:+9"}};
    for (const auto& m : moments) {
        QSqlQuery q(mainDb());
        ASSERT_TRUE(q.prepare("SELECT " + key + " FROM (SELECT ? AS TFechaMaxLeq1min, ? AS THoraMaxLeq1min)"));
        q.addBindValue(QString::fromUtf8(m[0]));
        q.addBindValue(QString::fromUtf8(m[1]));
        ASSERT_TRUE(q.exec() && q.next());
        EXPECT_EQ(momentKeyOf(m[0], m[1]), q.value(0).toLongLong()) << m[0] << " " << m[1];
    }
    EXPECT_TRUE(fechaBoxValid("31/12/24"));
    for (const char* bad : {"00/05/24", "12/13/24", "", "abc", "31/02/24"})
        EXPECT_FALSE(fechaBoxValid(QString::fromLatin1(bad))) << bad;
}

} // namespace
} // namespace nbx::test
