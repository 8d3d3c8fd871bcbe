// The level graph without widgets: stored interval records of a 50-record window turned into the
// values of the level and event charts, the slider range, the data-label texts and placement, and
// the bound queries that read the window from the database.
#pragma once

#include <QList>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <array>
#include <optional>

namespace nbx {

inline constexpr int kGraphPoints = 50;

// Chart values with a meaning of their own (holes are not drawn and break the lines).
inline constexpr double kGraphNoValue = -1.0;
inline constexpr double kGraphUnderRange = -2.0;
inline constexpr double kGraphNoDataMarker = 120.0;

// One stored interval record as the graph reads it. An empty optional is a NULL (or unreadable)
// stored value; NULL counters read as 0.
struct GraphRecord {
    QString fechaInicio;  // DFechaInicio as stored, "yyyy-MM-dd"
    QString horaInicio;   // THoraInicio, "hh:mm"
    QString horaFinal;    // THoraFinal, "hh:mm"
    std::optional<int> tLeq;  // ByTLeq, minutes
    std::optional<double> leqLocal, leqVecino, maxFast, maxLeq1min, minLeq1min;
    std::array<std::optional<double>, 5> statistical;  // SL1, SL5, SL10, SL50, SL90
    std::optional<int> nivelLeqLocal, nivelLeqVecino, nivelMFast;
    int desco = 0, pasadasLocal = 0, pasadasVecino = 0, e3 = 0, pasMaxFast = 0;
    int lineaInsuficiente = 0, dna = 0, ena = 0;
};

// The raw event values of the record drawn at a point; the event label shows them.
struct GraphPointEvents {
    qint16 desco = 0, pasadasLocal = 0, pasadasVecino = 0, e3 = 0, pasMaxFast = 0;
    quint8 lineaInsuficiente = 0, dna = 0, ena = 0;
};

// The values of both charts for one window; index i holds point i + 1.
struct GraphValues {
    template <typename T> using Points = std::array<T, kGraphPoints>;

    Points<QString> pointLabels;               // level chart group 1, x axis
    std::array<Points<double>, 8> levels{};    // level chart group 1, series 1-8
    std::array<Points<double>, 6> group2{};    // level chart group 2: L1..L90, then "Sin datos"
    std::array<Points<double>, 8> events{};    // event chart, series 1-8: 0 or 1
    Points<GraphPointEvents> pointEvents{};    // all zero until a record is drawn at the point

    GraphValues();
};

// Dibuixa: fills `values` from the records of the window, oldest first (at most 50 are used).
// Points after the last record get a blank label, no level values and no events; their raw event
// values are left as they were.
void Dibuixa(const QList<GraphRecord>& window, GraphValues& values);

// Slider over the whole history of n records: with fewer than 51 there is nothing to scroll
// (minimum -1, maximum 0); otherwise 0 to n - 50. The value starts on the newest records.
struct GraphSliderRange {
    int minimum = -1;
    int maximum = 0;
    int value = 0;
    bool scrolls() const { return minimum != -1; }
};
GraphSliderRange graphSliderRange(int recordCount);

// Display texts of chart values. UndOrUp: -1 or 0 "---", below 60 "UND", up to 120 one decimal,
// above "UP". UndOrUp2 (reception level, no under-range code): -1 "---", up to 120 one decimal,
// above "UP".
QString UndOrUp(float level, const QLocale& locale = QLocale());
QString UndOrUp2(float level, const QLocale& locale = QLocale());

// The values the level label reads back from the chart at a point, in this order: group 1 series
// 1, 2, 3, 7, 8, then group 2 series 1-5 (L1, L5, L10, L50, L90).
using LevelReadout = std::array<float, 10>;
LevelReadout levelReadout(const GraphValues& values, int point);

// Texts of the two data labels (CR line breaks inside).
QString levelLabelText(const LevelReadout& readout, const QLocale& locale = QLocale());
QString eventLabelText(const GraphPointEvents& events);

// Label placement around the attach point (the chart layer's anchor codes): level label 17 right
// of the point below 22, 16 centred up to 28, 18 left from 29; event label 33, 32 and 34 with the
// bounds 20 and 30.
int levelLabelAnchor(int point);
int eventLabelAnchor(int point);

// What a mouse event (not the right button) over a chart does with the two labels, given the data
// coordinates and region code the chart reports for the position.
struct GraphLabelAction {
    enum Kind { Keep, Show, Hide } kind = Keep;
    int point = 0;        // Show: 1-50
    double levelY = 0.0;  // Show: attach height of the level label
};
inline constexpr int kChartPlotRegion = -100;
GraphLabelAction graphMouseAction(bool overLevelChart, double dx, double dy, int region);

// Reads windows of a device's interval records, oldest first in the table's key order. Each read
// is one bound query; errors come back as readable texts.
class IntervalGraphSource {
public:
    IntervalGraphSource(QSqlDatabase db, qint32 serial);

    std::optional<int> count(QString* error);
    // The 50 records (fewer at the end of the history) starting `offset` records after the first,
    // oldest first.
    bool window(int offset, QList<GraphRecord>& records, QString* error);

private:
    QSqlDatabase db_;
    qint32 serial_;
    std::optional<int> count_;
    std::optional<QSqlQuery> oldestQuery_, newestQuery_;
};

} // namespace nbx
