// Form9: the graph window, level and event charts over 50 consecutive interval records of a device.
#include "records/ui/Form9.h"

#include "common/Database.h"
#include "common/Prompter.h"
#include "common/chart/ui/ChartView.h"
#include "common/ui/Help.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"
#include "localisation/ui/TranslateForm.h"
#include "records/RecordsState.h"
#include "records/ui/Form5.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace nbx {

namespace {

std::function<void(Form9&)>& printHandler()
{
    static std::function<void(Form9&)> handler;
    return handler;
}

const QString kOnBar = QStringLiteral("OnBar");

// Runs a function when the scope ends, on every way out.
template <typename F>
struct ScopeExit {
    F f;
    ~ScopeExit() { f(); }
};
template <typename F>
ScopeExit(F) -> ScopeExit<F>;

// The chart layer's placement for the anchor codes: 16/32 centred above the point, 17/33 above to
// its right, 18/34 above to its left.
LabelAnchor anchorFor(int code)
{
    switch (code) {
    case 17:
    case 33:
        return LabelAnchor::NorthEast;
    case 18:
    case 34:
        return LabelAnchor::NorthWest;
    default:
        return LabelAnchor::North;
    }
}

// Chart values that must not be drawn (no value, under range) are holes: they break the lines.
double drawable(double v)
{
    return (v == kGraphNoValue || v == kGraphUnderRange) ? ChartModel::NoValue : v;
}

void addDataLabel(ChartModel& m)
{
    ChartLabel& l = m.addLabel(kOnBar);
    l.background = QColor(0, 255, 255);
    l.text.clear();
    l.connected = true;
    l.offset = 10;
    l.border = true;
    l.visible = false;
}

} // namespace

int& graficaActiva()
{
    static int active = 0;
    return active;
}

Form9::Form9(QWidget* parent) : QDialog(parent)
{
    build();
}

void Form9::build()
{
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QString::fromLatin1(kAppTitle));

    Frame9 = new QGroupBox(QStringLiteral("NBX-70"), this);
    Frame9->setObjectName(QStringLiteral("Frame9"));
    auto makeBox = [this](const char* name, const char* labelName, const QString& caption, QLabel*& label) {
        auto* box = new QLineEdit(Frame9);
        box->setObjectName(QString::fromLatin1(name));
        box->setReadOnly(true);
        label = new QLabel(caption, Frame9);
        label->setObjectName(QString::fromLatin1(labelName));
        label->setBuddy(box);
        return box;
    };
    TextNumeroSerie = makeBox("TextNumeroSerie", "Label3", QStringLiteral("N. Serie:"), Label3);
    TextLocal = makeBox("TextLocal", "Label6", QStringLiteral("Local:"), Label6);
    TextFecha = makeBox("TextFecha", "Label10", QStringLiteral("Fecha:"), Label10);
    TextNumeroSerie->setMaximumWidth(90);
    TextFecha->setMaximumWidth(90);
    auto* header = new QHBoxLayout(Frame9);
    header->addWidget(Label3);
    header->addWidget(TextNumeroSerie);
    header->addSpacing(12);
    header->addWidget(Label6);
    header->addWidget(TextLocal, 1);
    header->addSpacing(12);
    header->addWidget(Label10);
    header->addWidget(TextFecha);

    Chart2D2 = new ChartView(this);
    Chart2D2->setObjectName(QStringLiteral("Chart2D2"));
    Chart2D2->setMinimumSize(787, 170);
    Chart2D1 = new ChartView(this);
    Chart2D1->setObjectName(QStringLiteral("Chart2D1"));
    Chart2D1->setMinimumSize(787, 470);
    designEventChart();
    designLevelChart();
    // An event bar stands right above the level points of its interval.
    Chart2D1->model()->alignPlotWith(*Chart2D2->model());

    Slider1 = new QSlider(Qt::Horizontal, this);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->setRange(0, 0);
    SSCommandSliderLeft = new QToolButton(this);
    SSCommandSliderLeft->setObjectName(QStringLiteral("SSCommandSliderLeft"));
    SSCommandSliderLeft->setArrowType(Qt::LeftArrow);
    SSCommandSliderLeft->setToolTip(QStringLiteral("Anterior"));
    SSCommandSliderLeft->setAccessibleName(QStringLiteral("<"));
    SSCommandSliderRight = new QToolButton(this);
    SSCommandSliderRight->setObjectName(QStringLiteral("SSCommandSliderRight"));
    SSCommandSliderRight->setArrowType(Qt::RightArrow);
    SSCommandSliderRight->setToolTip(QStringLiteral("Siguiente"));
    SSCommandSliderRight->setAccessibleName(QStringLiteral(">"));
    Slider1->setAccessibleName(QStringLiteral("<>"));

    SSCommandImprimir = new QPushButton(QStringLiteral("Imprimir"), this);
    SSCommandImprimir->setObjectName(QStringLiteral("SSCommandImprimir"));
    SSCommandImprimir->setEnabled(bool(printHandler()));
    connect(SSCommandImprimir, &QPushButton::clicked, this, &Form9::SSCommandImprimir_Click);
    SSCommandHelp = new QPushButton(QStringLiteral("Ayuda"), this);
    SSCommandHelp->setObjectName(QStringLiteral("SSCommandHelp"));
    SSCommandExit = new QPushButton(QStringLiteral("Volver"), this);
    SSCommandExit->setObjectName(QStringLiteral("SSCommandExit"));
    SSCommandExit->setAutoDefault(false);

    // Context menu of the charts.
    PopUp = new QMenu(QStringLiteral("Copiar al clipboard"), this);
    PopUp->setObjectName(QStringLiteral("PopUp"));
    QMenu* copy = PopUp->addMenu(QStringLiteral("Copiar"));
    copy->setObjectName(QStringLiteral("PopUpMnu0_0"));
    const QStringList copyItems = {QStringLiteral("Bitmap"), QStringLiteral("Metafile"),
                                   QStringLiteral("Enhanced Metafile"), QStringLiteral("Standard Metafile")};
    for (int k = 0; k < copyItems.size(); ++k) {
        QAction* a = copy->addAction(copyItems[k]);
        a->setObjectName(QStringLiteral("PopUpMnu1_%1").arg(k));
        connect(a, &QAction::triggered, this, [this, k] { PopUpMnu1_Click(k); });
        PopUpMnu1 << a;
    }
    QMenu* show = PopUp->addMenu(QStringLiteral("Ocultar/Mostrar"));
    show->setObjectName(QStringLiteral("PopUpMnu0_1"));
    const QStringList showItems = {QStringLiteral("Cursor"),
                                   QStringLiteral("LeqT(emisión)"),
                                   QStringLiteral("LeqT(recepción)"),
                                   QStringLiteral("LFmax"),
                                   QStringLiteral("Límite LeqT(emisión)"),
                                   QStringLiteral("Límite LeqT(recepción)"),
                                   QStringLiteral("Límite LFmax"),
                                   QStringLiteral("Leq1'max"),
                                   QStringLiteral("Leq1'min"),
                                   QStringLiteral("Sin datos")};
    for (int k = 0; k < showItems.size(); ++k) {
        QAction* a = show->addAction(showItems[k]);
        a->setObjectName(QStringLiteral("PopUpMnu2_%1").arg(k));
        if (k > 0) {
            a->setCheckable(true);
            a->setChecked(true);
        }
        connect(a, &QAction::triggered, this, [this, k] { PopUpMnu2_Click(k); });
        PopUpMnu2 << a;
    }

    auto* sliderRow = new QHBoxLayout;
    sliderRow->addWidget(SSCommandSliderLeft);
    sliderRow->addWidget(Slider1, 1);
    sliderRow->addWidget(SSCommandSliderRight);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SSCommandImprimir);
    buttons->addWidget(SSCommandHelp);
    buttons->addWidget(SSCommandExit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame9);
    layout->addWidget(Chart2D2, 2295);
    layout->addWidget(Chart2D1, 5205);
    layout->addLayout(sliderRow);
    layout->addLayout(buttons);

    connect(Slider1, &QSlider::valueChanged, this, &Form9::Slider1_Change);
    connect(SSCommandSliderLeft, &QToolButton::clicked, this, &Form9::SSCommandSliderLeft_Click);
    connect(SSCommandSliderRight, &QToolButton::clicked, this, &Form9::SSCommandSliderRight_Click);
    connect(SSCommandExit, &QPushButton::clicked, this, &Form9::SSCommandExit_Click);
    connect(SSCommandHelp, &QPushButton::clicked, this, &Form9::SSCommandHelp_Click);

    // Mouse moves drive the labels; the right button opens the menu.
    auto wire = [this](ChartView* chart, void (Form9::*handler)(int, const QPoint&)) {
        connect(chart, &ChartView::mouseMoved, this, [this, handler](Qt::MouseButtons b, Qt::KeyboardModifiers, const QPoint& pos) {
            if (!(b & Qt::RightButton))
                (this->*handler)(1, pos);
        });
        connect(chart, &ChartView::mousePressed, this, [this, handler](Qt::MouseButton b, Qt::KeyboardModifiers, const QPoint& pos) {
            (this->*handler)(b == Qt::RightButton ? 2 : 1, pos);
        });
    };
    wire(Chart2D1, &Form9::Chart2D1_MouseEvent);
    wire(Chart2D2, &Form9::Chart2D2_MouseEvent);
}

void Form9::designLevelChart()
{
    ChartModel& m = *Chart2D1->model();
    m.setBatch(true);
    m.setPointCount(kGraphPoints);
    m.setGroupCount(2);
    m.setSeriesCount(1, 8);
    m.setSeriesCount(2, 6);
    m.xAxis().min = 0.5;
    m.xAxis().max = kGraphPoints + 0.5;
    m.xAxis().step = 0;
    m.yAxis().min = 0;     // every level a record can hold
    m.yAxis().max = 140;
    m.yAxis().step = 10;
    m.yAxis().grid = true;
    m.yAxis().title = QStringLiteral("dB");
    m.setXLabelsVertical(true);

    struct Design {
        const char* label;
        QColor color;
        Qt::PenStyle pen;
    };
    const Design group1[8] = {
        {"LeqT(emisión)", QColor(0, 70, 200), Qt::SolidLine},
        {"LeqT(recepción)", QColor(0, 140, 60), Qt::SolidLine},
        {"LFmax", QColor(200, 0, 0), Qt::SolidLine},
        {"Límte LeqT(emisión)", QColor(0, 70, 200), Qt::DashLine},
        {"Límite LeqT(recepción)", QColor(0, 140, 60), Qt::DashLine},
        {"Límite LFmax", QColor(200, 0, 0), Qt::DashLine},
        {"Leq1'max", QColor(230, 130, 0), Qt::SolidLine},
        {"Leq1'min", QColor(140, 60, 170), Qt::SolidLine},
    };
    for (int s = 1; s <= 8; ++s) {
        SeriesStyle& st = m.series(1, s);
        st.label = QString::fromUtf8(group1[s - 1].label);
        st.kind = SeriesKind::Line;
        st.color = group1[s - 1].color;
        st.penStyle = group1[s - 1].pen;
        st.lineWidth = s <= 3 ? 2.0 : 1.5;
    }
    for (int s = 1; s <= 5; ++s) {
        SeriesStyle& st = m.series(2, s);
        st.kind = SeriesKind::Line;
        st.color = Qt::darkGray;
        st.inLegend = false;
    }
    SeriesStyle& noData = m.series(2, 6);
    noData.label = QStringLiteral("Sin datos");
    noData.kind = SeriesKind::Bars;
    noData.color = QColor(150, 150, 150);
    noData.fill = QColor(215, 215, 215);
    m.setBatch(false);
}

void Form9::designEventChart()
{
    ChartModel& m = *Chart2D2->model();
    m.setBatch(true);
    m.setPointCount(kGraphPoints);
    m.setGroupCount(1);
    m.setSeriesCount(1, 8);
    m.setStacked(1, true);
    m.xAxis().min = 0.5;
    m.xAxis().max = kGraphPoints + 0.5;
    m.xAxis().step = 0;
    m.yAxis().min = 0;
    m.yAxis().max = 8;  // room for all eight flags stacked
    m.yAxis().step = 1;
    m.yAxis().grid = true;
    m.yAxis().visible = false;
    struct Design {
        const char* label;
        QColor color;
    };
    const Design series[8] = {
        {"Desconexiones", QColor(90, 90, 90)},
        {"Pasadas (emisión)", QColor(0, 70, 200)},
        {"Pasadas (recepción)", QColor(0, 140, 60)},
        {"Sensor inhábil", QColor(200, 0, 0)},
        {"P.MaxFast", QColor(230, 130, 0)},
        {"Línea insuficiente", QColor(140, 60, 170)},
        {"", QColor(120, 160, 200)},
        {"", QColor(200, 170, 120)},
    };
    for (int s = 1; s <= 8; ++s) {
        SeriesStyle& st = m.series(1, s);
        st.label = QString::fromUtf8(series[s - 1].label);
        st.kind = SeriesKind::Bars;
        st.color = series[s - 1].color.darker(130);
        st.fill = series[s - 1].color;
    }
    m.setBatch(false);
}

void Form9::setPrintHandler(std::function<void(Form9&)> handler) { printHandler() = std::move(handler); }

void Form9::SSCommandImprimir_Click()
{
    if (printHandler())
        printHandler()(*this);
}

bool Form9::Form_Load(qint32 serial, const QString& fechaFicha, const QString& localFicha, QSqlDatabase db)
{
    ScopeExit done{[this] { emit loadFinished(); }};

    TranslateForm(this);
    setWindowTitle(QString::fromLatin1(kAppTitle));
    TextNumeroSerie->setText(QString::number(serial));
    TextFecha->setText(fechaFicha);
    TextLocal->setText(localFicha);

    source_.emplace(db.isValid() ? db : mainDb(), serial);
    QString error;
    const std::optional<int> count = source_->count(&error);
    if (!count) {
        reportFailureText(DatabaseTask::Read, error);
        return false;
    }
    if (*count == 0) {
        prompter().message(GetS(59), Prompter::Icon::Critical);
        return false;
    }

    // The changes of the slider made here draw nothing: loading draws once itself.
    const GraphSliderRange range = graphSliderRange(*count);
    if (range.scrolls()) {
        Slider1->setMaximum(range.maximum);
        Slider1->setMinimum(range.minimum);
    } else {
        Slider1->setMinimum(range.minimum);
        Slider1->setMaximum(range.maximum);
    }
    Slider1->setValue(range.value);
    loaded_ = true;

    addDataLabel(*Chart2D1->model());
    addDataLabel(*Chart2D2->model());
    labelsCreated_ = true;

    ChartModel& level = *Chart2D1->model();
    level.setBatch(true);
    for (int s = 1; s <= 5; ++s)
        level.setSeriesVisible(2, s, false);
    level.setBatch(false);

    return Dibuixa();
}

void Form9::showGraph(QWidget* parent, qint32 serial, const QString& fechaFicha, const QString& localFicha,
                      const std::function<void()>& loaded)
{
    Form9 window(parent);
    if (loaded)
        connect(&window, &Form9::loadFinished, &window, [loaded] { loaded(); });
    if (window.Form_Load(serial, fechaFicha, localFicha))
        window.exec();
}

void Form9::openFromRecordWindow(Form5& from)
{
    QPointer<Form5> record(&from);
    showGraph(&from, from.serial(), recordsState().fechaFicha, recordsState().localFicha, [record] {
        if (record)
            record->showBusyPanel(false);
    });
}

bool Form9::Dibuixa()
{
    if (!source_)
        return false;
    QList<GraphRecord> window;
    QString error;
    if (!source_->window(std::max(Slider1->value(), 0), window, &error)) {
        reportFailureText(DatabaseTask::Read, error);
        return false;
    }
    nbx::Dibuixa(window, values_);
    writeCharts();
    return true;
}

void Form9::writeCharts()
{
    ChartModel& level = *Chart2D1->model();
    ChartModel& events = *Chart2D2->model();
    level.setBatch(true);
    events.setBatch(true);
    for (int i = 0; i < kGraphPoints; ++i) {
        const int p = i + 1;
        level.setPointLabel(1, p, values_.pointLabels[i]);
        for (int s = 0; s < 8; ++s)
            level.setValue(1, s + 1, p, drawable(values_.levels[s][i]));
        for (int s = 0; s < 6; ++s)
            level.setValue(2, s + 1, p, drawable(values_.group2[s][i]));
        // A flag of 0 is no bar at all.
        for (int s = 0; s < 8; ++s)
            events.setValue(1, s + 1, p, values_.events[s][i] != 0.0 ? values_.events[s][i] : ChartModel::NoValue);
    }
    level.setBatch(false);
    events.setBatch(false);
}

void Form9::Chart2D1_MouseEvent(int button, const QPoint& pos)
{
    chartMouseEvent(true, button, pos);
}

void Form9::Chart2D2_MouseEvent(int button, const QPoint& pos)
{
    chartMouseEvent(false, button, pos);
}

void Form9::chartMouseEvent(bool levelChart, int button, const QPoint& pos)
{
    graficaActiva() = levelChart ? 1 : 2;
    ChartView* chart = levelChart ? Chart2D1 : Chart2D2;
    if (button == 2) {
        PopUp->popup(chart->mapToGlobal(pos));
        return;
    }
    if (!labelsCreated_)
        return;
    const ChartHit hit = chart->hitTest(QPointF(pos));
    const int region = hit.region == ChartRegion::Plot ? kChartPlotRegion : int(hit.region);
    const GraphLabelAction action = graphMouseAction(levelChart, hit.x, hit.y, region);
    if (action.kind == GraphLabelAction::Show)
        MostraEtiqueta(action.point, action.levelY);
    else if (action.kind == GraphLabelAction::Hide)
        hideLabels(true);
}

void Form9::MostraEtiqueta(int point, double level)
{
    if (point < 1 || point > kGraphPoints)
        return;
    ChartModel& lm = *Chart2D1->model();
    if (ChartLabel* l = lm.label(kOnBar)) {
        lm.setBatch(true);
        l->visible = true;
        l->text = levelLabelText(levelReadout(values_, point));
        l->x = point;
        l->y = level;
        l->anchor = anchorFor(levelLabelAnchor(point));
        lm.setBatch(false);
    }
    ChartModel& em = *Chart2D2->model();
    if (ChartLabel* l = em.label(kOnBar)) {
        em.setBatch(true);
        l->visible = true;
        l->text = eventLabelText(values_.pointEvents[point - 1]);
        l->x = point;
        l->y = 0;
        l->anchor = anchorFor(eventLabelAnchor(point));
        em.setBatch(false);
    }
}

void Form9::hideLabels(bool emptyTexts)
{
    for (ChartView* chart : {Chart2D1, Chart2D2}) {
        ChartModel& m = *chart->model();
        if (ChartLabel* l = m.label(kOnBar)) {
            l->visible = false;
            if (emptyTexts)
                l->text.clear();
            m.notifyChanged();
        }
    }
}

void Form9::PopUpMnu1_Click(int index)
{
    if (index < 0 || index > 3)
        return;
    // Every format gives an image with SVG beside it (there are no metafiles here).
    ChartView* chart = graficaActiva() == 1 ? Chart2D1 : Chart2D2;
    chart->copyToClipboard(ChartClipFormat::Vector);
}

void Form9::PopUpMnu2_Click(int index)
{
    ChartModel& m = *Chart2D1->model();
    m.setBatch(true);
    if (index == 0) {
        hideLabels(true);
    } else if (index >= 1 && index <= 9) {
        const int group = index == 9 ? 2 : 1;
        const int series = index == 9 ? 6 : index;
        const bool show = !m.isSeriesVisible(group, series);
        m.setSeriesVisible(group, series, show);
        PopUpMnu2[index]->setChecked(show);
    }
    m.setBatch(false);
}

void Form9::Slider1_Change(int)
{
    if (Slider1->minimum() == -1 || !loaded_)
        return;
    hideLabels(false);
    Dibuixa();
}

void Form9::SSCommandSliderLeft_Click()
{
    if (Slider1->value() > 0)
        Slider1->setValue(Slider1->value() - 1);
}

void Form9::SSCommandSliderRight_Click()
{
    if (Slider1->value() < Slider1->maximum())
        Slider1->setValue(Slider1->value() + 1);
}

void Form9::SSCommandExit_Click()
{
    close();
}

void Form9::SSCommandHelp_Click()
{
    AbrirAyuda();
}

} // namespace nbx
