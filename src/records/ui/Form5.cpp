#include "records/ui/Form5.h"

#include "common/Prompter.h"
#include "common/ui/Help.h"
#include "common/ui/WidgetMakers.h"
#include "link/Link.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"
#include "localisation/ui/TranslateForm.h"
#include "programming/SheetText.h"
#include "records/PendingDownload.h"
#include "records/RecordsState.h"
#include "records/ui/Form8.h"
#include "records/ui/RecordGrid.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace nbx {

namespace {

Form5::Opener g_graphOpener;
Form5::Opener g_listingOpener;
std::function<void()> g_programmingOpener;

QLineEdit* makeBox(const QString& name, QWidget* parent, int width = 0)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(true); // the window never edits stored data; the box still takes the focus
    if (width)
        e->setFixedWidth(width);
    return e;
}

QPushButton* makeButton(const QString& name, const QString& text, QWidget* parent)
{
    return nbx::makeButton(name, text, parent, 34);
}

// The designed label id of each searchable header box.
long searchLabelId(const QString& campo)
{
    if (campo == QLatin1String("TextNumeroSerie"))
        return 2;
    if (campo == QLatin1String("TextVersion"))
        return 3;
    if (campo == QLatin1String("TextFecha"))
        return 4;
    if (campo == QLatin1String("TextLocal"))
        return 6;
    return 0;
}

} // namespace

bool fechaBoxValid(const QString& text) { return parseSheetDate(text).has_value(); }

void Form5::setGraphOpener(Opener o) { g_graphOpener = std::move(o); }
void Form5::setListingOpener(Opener o) { g_listingOpener = std::move(o); }
void Form5::setProgrammingOpener(std::function<void()> o) { g_programmingOpener = std::move(o); }

Form5::Form5(QWidget* parent) : QWidget(parent), now_(&QDateTime::currentDateTime)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    buildControls();
    updateOpenerButtons();
}

Form5::~Form5() = default;

void Form5::buildControls()
{
    Frame9 = new QGroupBox(QStringLiteral("NBX-70"), this);
    Frame9->setObjectName(QStringLiteral("Frame9"));
    TextNumeroSerie = makeBox(QStringLiteral("TextNumeroSerie"), Frame9, 90);
    TextVersion = makeBox(QStringLiteral("TextVersion"), Frame9, 60);
    TextFecha = makeBox(QStringLiteral("TextFecha"), Frame9, 90);
    TextLocal = makeBox(QStringLiteral("TextLocal"), Frame9);
    TextLocal->setMinimumWidth(200);
    auto* g9 = new QGridLayout(Frame9);
    g9->addWidget(makeLabel(QStringLiteral("Label3"), QStringLiteral("N. Serie:"), Frame9, TextNumeroSerie), 0, 0);
    g9->addWidget(TextNumeroSerie, 0, 1);
    g9->addWidget(makeLabel(QStringLiteral("Label5"), QStringLiteral("Versión:"), Frame9, TextVersion), 0, 2);
    g9->addWidget(TextVersion, 0, 3);
    g9->addWidget(makeLabel(QStringLiteral("Label10"), QStringLiteral("Fecha:"), Frame9, TextFecha), 1, 0);
    g9->addWidget(TextFecha, 1, 1);
    g9->addWidget(makeLabel(QStringLiteral("Label6"), QStringLiteral("Local:"), Frame9, TextLocal), 2, 0);
    g9->addWidget(TextLocal, 2, 1, 1, 3);

    Frame2 = new QGroupBox(QStringLiteral("TOTALES"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    MaskFechaTotales = makeBox(QStringLiteral("MaskFechaTotales"), Frame2, 80);
    MaskHoraTotales = makeBox(QStringLiteral("MaskHoraTotales"), Frame2, 80);
    MaskFechaTotales->setAccessibleName(QStringLiteral("TOTALES"));
    MaskHoraTotales->setAccessibleName(QStringLiteral("TOTALES"));
    LbPasadasLocal = makeBox(QStringLiteral("LbPasadasLocal"), Frame2, 90);
    LbPasadasVei = makeBox(QStringLiteral("LbPasadasVei"), Frame2, 90);
    MaskE3 = makeBox(QStringLiteral("MaskE3"), Frame2, 90);
    MaskCB = makeBox(QStringLiteral("MaskCB"), Frame2, 90);
    auto* g2 = new QGridLayout(Frame2);
    g2->addWidget(MaskFechaTotales, 0, 0);
    g2->addWidget(MaskHoraTotales, 0, 1);
    g2->addWidget(makeLabel(QStringLiteral("Label12"), QStringLiteral("Pasadas emisión:"), Frame2, LbPasadasLocal), 1, 0);
    g2->addWidget(LbPasadasLocal, 1, 1);
    g2->addWidget(makeLabel(QStringLiteral("Label1"), QStringLiteral("s"), Frame2), 1, 2);
    g2->addWidget(makeLabel(QStringLiteral("Label7"), QStringLiteral("Pasadas recepción:"), Frame2, LbPasadasVei), 2, 0);
    g2->addWidget(LbPasadasVei, 2, 1);
    g2->addWidget(makeLabel(QStringLiteral("Label8"), QStringLiteral("s"), Frame2), 2, 2);
    g2->addWidget(makeLabel(QStringLiteral("Label14"), QStringLiteral("Sensor inactivo:"), Frame2, MaskE3), 3, 0);
    g2->addWidget(MaskE3, 3, 1);
    g2->addWidget(makeLabel(QStringLiteral("Label2"), QStringLiteral("s"), Frame2), 3, 2);
    g2->addWidget(makeLabel(QStringLiteral("Label15"), QStringLiteral("Borrados:"), Frame2, MaskCB), 4, 0);
    g2->addWidget(MaskCB, 4, 1);

    TDBGridIntervalos = new RecordGrid(QStringLiteral("TDBGridIntervalos"), GridKind::Intervalos, QString(),
                                       {QStringLiteral("REGISTROS LeqT Inicio <> Final"), QStringLiteral("INCIDENCIAS")}, this);
    TDBGridSesiones = new RecordGrid(QStringLiteral("TDBGridSesiones"), GridKind::Sesiones, QString(),
                                     {QStringLiteral("REGISTROS SESION Inicio <> Final"), QStringLiteral("INCIDENCIAS")}, this);
    TDBGridBorrat = new RecordGrid(QStringLiteral("TDBGridBorrat"), GridKind::DiaBorrado, QStringLiteral("BORRADOS"), {}, this);
    TDBGridRepro = new RecordGrid(QStringLiteral("TDBGridRepro"), GridKind::DiaReprogramado,
                                  QStringLiteral("REPROGRAMACIONES"), {}, this);
    TDBGridIntervalos->setAccessibleName(QStringLiteral("REGISTROS LeqT Inicio <> Final"));
    TDBGridSesiones->setAccessibleName(QStringLiteral("REGISTROS SESION Inicio <> Final"));
    for (RecordGrid* g : {TDBGridIntervalos, TDBGridSesiones, TDBGridBorrat, TDBGridRepro})
        connect(g, &RecordGrid::headClick, this, [this, g](int col) { headClick(g, col); });
    for (RecordGrid* g : {TDBGridBorrat, TDBGridRepro})
        g->setFixedSize(320, 170);

    SSCommandAnterior = makeButton(QStringLiteral("SSCommandAnterior"), QStringLiteral("Ficha anterior"), this);
    SSCommandSiguiente = makeButton(QStringLiteral("SSCommandSiguiente"), QStringLiteral("Ficha siguiente"), this);
    SSCommandBuscar = makeButton(QStringLiteral("SSCommandBuscar"), QStringLiteral("Buscar"), this);
    SSCommandGrafica = makeButton(QStringLiteral("SSCommandGrafica"), QStringLiteral("Gráfico"), this);
    SSCommandImprimir = makeButton(QStringLiteral("SSCommandImprimir"), QStringLiteral("Imprimir"), this);
    SSCommandProgramacion = makeButton(QStringLiteral("SSCommandProgramacion"), QStringLiteral("Programación"), this);
    SSCommandExit = makeButton(QStringLiteral("SSCommandExit"), QStringLiteral("Volver"), this);
    SSCommandHelp = makeButton(QStringLiteral("SSCommandHelp"), QStringLiteral("Ayuda"), this);
    SSCommandRecibir = new QToolButton(this);
    SSCommandRecibir->setObjectName(QStringLiteral("SSCommandRecibir"));
    SSCommandRecibir->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    SSCommandRecibir->setToolTip(QStringLiteral("Recibir incidencias"));
    SSCommandRecibir->setAccessibleName(QStringLiteral("Recibir incidencias"));
    SSCommandStop = new QToolButton(this);
    SSCommandStop->setObjectName(QStringLiteral("SSCommandStop"));
    SSCommandStop->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    SSCommandStop->setToolTip(QStringLiteral("Parar transmisión"));
    SSCommandStop->setAccessibleName(QStringLiteral("Parar transmisión"));
    for (QToolButton* b : {SSCommandRecibir, SSCommandStop}) {
        b->setIconSize(QSize(28, 28));
        b->setMinimumSize(40, 40);
    }
    SSCommandStop->setVisible(false);

    SSPanel1 = new QFrame(this);
    SSPanel1->setObjectName(QStringLiteral("SSPanel1"));
    SSPanel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Animation1 = new QProgressBar(SSPanel1);
    Animation1->setObjectName(QStringLiteral("Animation1"));
    Animation1->setRange(0, 0);
    Animation1->setTextVisible(false);
    Animation1->setFixedWidth(140);
    Animation1->installEventFilter(this);
    busyBarTimer_ = new QTimer(this);
    // Longer than the bar's period: during a download the counter moves it (see setCounter).
    busyBarTimer_->setInterval(kBusyBarEveryMs * 5 / 4);
    connect(busyBarTimer_, &QTimer::timeout, this, &Form5::moveBusyBar);
    Frame17 = new QLabel(SSPanel1);
    Frame17->setObjectName(QStringLiteral("Frame17"));
    // A fixed size: the counter's new text then repaints the label without laying out the
    // window's button row again.
    Frame17->setFixedSize(70, Frame17->sizeHint().height());
    Frame17->setAlignment(Qt::AlignCenter);
    // The counter and the busy bar fill their own background, in the window's colour: a repaint
    // of either then paints that widget alone, not the panel and the window behind it.
    for (QWidget* w : std::initializer_list<QWidget*>{Animation1, Frame17})
        w->setAutoFillBackground(true);
    auto* p1 = new QHBoxLayout(SSPanel1);
    p1->addWidget(Animation1);
    p1->addWidget(Frame17);
    SSPanel1->setVisible(false);

    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(Frame9);
    left->addWidget(Frame2);
    top->addLayout(left);
    top->addWidget(TDBGridBorrat, 0, Qt::AlignTop);
    top->addWidget(TDBGridRepro, 0, Qt::AlignTop);
    top->addStretch();

    auto* buttons = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{SSCommandAnterior, SSCommandSiguiente, SSCommandBuscar,
                                                      SSCommandGrafica, SSCommandImprimir, SSCommandProgramacion})
        buttons->addWidget(w);
    buttons->addStretch();
    buttons->addWidget(SSPanel1);
    buttons->addWidget(SSCommandRecibir);
    buttons->addWidget(SSCommandStop);
    buttons->addWidget(SSCommandHelp);
    buttons->addWidget(SSCommandExit);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(TDBGridIntervalos, 3);
    layout->addWidget(TDBGridSesiones, 2);
    layout->addLayout(buttons);
    resize(1200, 820);

    for (QLineEdit* e : {TextNumeroSerie, TextVersion, TextFecha, TextLocal})
        e->installEventFilter(this);

    connect(SSCommandAnterior, &QPushButton::clicked, this, &Form5::SSCommandAnterior_Click);
    connect(SSCommandSiguiente, &QPushButton::clicked, this, &Form5::SSCommandSiguiente_Click);
    connect(SSCommandBuscar, &QPushButton::clicked, this, &Form5::SSCommandBuscar_Click);
    connect(SSCommandGrafica, &QPushButton::clicked, this, &Form5::SSCommandGrafica_Click);
    connect(SSCommandImprimir, &QPushButton::clicked, this, &Form5::SSCommandImprimir_Click);
    connect(SSCommandProgramacion, &QPushButton::clicked, this, &Form5::SSCommandProgramacion_Click);
    connect(SSCommandExit, &QPushButton::clicked, this, &Form5::SSCommandExit_Click);
    connect(SSCommandHelp, &QPushButton::clicked, this, &Form5::SSCommandHelp_Click);
    connect(SSCommandRecibir, &QToolButton::clicked, this, &Form5::SSCommandRecibir_Click);
    connect(SSCommandStop, &QToolButton::clicked, this, &Form5::SSCommandStop_Click);
}

void Form5::updateOpenerButtons()
{
    if (!heldButtons_.isEmpty())
        return;
    SSCommandGrafica->setEnabled(bool(g_graphOpener));
    SSCommandImprimir->setEnabled(bool(g_listingOpener));
    SSCommandProgramacion->setEnabled(bool(g_programmingOpener));
}

void Form5::DisenyaGrids()
{
    const QString uncalibrated = GetS(123);
    for (RecordGrid* g : {TDBGridIntervalos, TDBGridRepro, TDBGridBorrat, TDBGridSesiones})
        g->design(uncalibrated);
}

void Form5::Form_Load()
{
    TranslateForm(this);
    setWindowTitle(QString::fromLatin1(kAppTitle));
    defaultLink().state.PararRecepcion = false;
    campoActual_ = QStringLiteral("TextNumeroSerie");
    DisenyaGrids();
    updateOpenerButtons();

    QString error;
    const QList<qint32> serials = repo_.serials(&error);
    if (!error.isEmpty()) {
        reportFailureText(DatabaseTask::Read, error);
        return;
    }
    if (serials.isEmpty()) {
        prompter().message(GetS(28), Prompter::Icon::Information);
        return;
    }
    const qint32 wanted = linkState().NumeroSerieEqp;
    CarregaDades(serials.contains(wanted) ? wanted : serials.first());
}

bool Form5::CarregaDades(qint32 serial)
{
    // Everything is read before anything is shown: on a failure the window keeps the device it
    // showed, and the message is the database's own.
    QString error;
    const std::optional<DeviceHeader> h = repo_.header(serial, &error);
    if (!h) {
        if (!error.isEmpty())
            reportFailureText(DatabaseTask::Read, error);
        return false;
    }
    const InhibitedIntervals intervals = repo_.inhibitedIntervals(serial, &error);
    QList<GridRows> rows;
    const std::initializer_list<RecordGrid*> grids = {TDBGridIntervalos, TDBGridSesiones, TDBGridBorrat, TDBGridRepro};
    for (RecordGrid* g : grids) {
        if (!error.isEmpty())
            break;
        // Newest first.
        const int col = g->kind() == GridKind::Intervalos || g->kind() == GridKind::Sesiones ? 1 : 0;
        if (std::optional<GridRows> r = readGridRows(mainDb(), g->kind(), serial, col, false, &error))
            rows << std::move(*r);
    }
    if (!error.isEmpty()) {
        reportFailureText(DatabaseTask::Read, error);
        return false;
    }

    serial_ = serial;
    linkState().NumeroSerieEqp = serial;
    linkState().VersionEqp = h->version;
    TextNumeroSerie->setText(QString::number(serial));
    TextFecha->setText(h->fecha);
    TextLocal->setText(h->local);
    TextVersion->setText(h->version);
    RecordsState& rs = recordsState();
    rs.fechaFicha = h->fecha;
    rs.localFicha = h->local;
    phone_ = h->telefono;
    MaskFechaTotales->setText(h->fechaTotales);
    MaskHoraTotales->setText(h->horaTotales);
    LbPasadasLocal->setText(QString::number(h->pasadasLocal));
    LbPasadasVei->setText(QString::number(h->pasadasVecino));
    MaskE3->setText(QString::number(h->e3));
    MaskCB->setText(QString::number(h->cb));
    intervals_ = intervals;
    // The programming side's device copy takes the stored week and night settings.
    DeviceCopy& copy = programmingState().deviceCopy;
    copy.horario = h->horario;
    copy.horaEmpiezaNoche = h->horaEmpiezaNoche;
    copy.horaTerminaNoche = h->horaTerminaNoche;
    copy.nivelDiaLocal = quint8(h->nivelDiaLocal);
    copy.nivelNocheLocal = quint8(h->nivelNocheLocal);

    int i = 0;
    for (RecordGrid* g : grids) {
        g->nextAscending = true;
        g->setRows(mainDb(), std::move(rows[i++]));
    }
    return true;
}

bool Form5::hasIntervals() const { return serial_ != 0 && TDBGridIntervalos->hasRows(); }

void Form5::showBusyPanel(bool visible)
{
    SSPanel1->setVisible(visible);
    if (visible)
        SSPanel1->repaint();
}

void Form5::headClick(RecordGrid* grid, int column)
{
    if (serial_ == 0)
        return;
    const bool ascending = grid->nextAscending;
    grid->nextAscending = !ascending;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    std::optional<GridRows> rows = readGridRows(mainDb(), grid->kind(), serial_, column, ascending, &error);
    if (rows)
        grid->setRows(mainDb(), std::move(*rows));
    QApplication::restoreOverrideCursor();
    if (!rows)
        reportFailureText(DatabaseTask::Read, error);
}

void Form5::navigate(bool forward)
{
    QString error;
    const QList<qint32> serials = repo_.serials(&error);
    if (!error.isEmpty()) {
        reportFailureText(DatabaseTask::Read, error);
        return;
    }
    std::optional<qint32> target;
    if (forward) {
        const auto it = std::upper_bound(serials.begin(), serials.end(), serial_);
        if (it != serials.end())
            target = *it;
    } else {
        const auto it = std::lower_bound(serials.begin(), serials.end(), serial_);
        if (it != serials.begin())
            target = *(it - 1);
    }
    if (!target) {
        prompter().beep();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    CarregaDades(*target);
    QApplication::restoreOverrideCursor();
}

void Form5::SSCommandAnterior_Click() { navigate(false); }
void Form5::SSCommandSiguiente_Click() { navigate(true); }

void Form5::SSCommandBuscar_Click()
{
    const long labelId = searchLabelId(campoActual_);
    if (labelId == 0)
        return;
    const std::optional<QString> typed = prompter().inputText(GetS(20) + QLatin1Char(' ') + GetS(labelId), GetS(32), QString());
    if (!typed || typed->isEmpty())
        return;
    const RecordSearchField field = labelId == 2 ? RecordSearchField::NumeroSerie
        : labelId == 3                           ? RecordSearchField::Version
        : labelId == 4                           ? RecordSearchField::Fecha
                                                 : RecordSearchField::Local;
    QString error;
    const std::optional<qint32> found = repo_.search(field, *typed, &error);
    if (!error.isEmpty()) {
        reportFailureText(DatabaseTask::Read, error);
        return;
    }
    if (found)
        CarregaDades(*found);
}

bool Form5::openerCheck()
{
    if (hasIntervals())
        return true;
    prompter().message(GetS(59), Prompter::Icon::Critical);
    return false;
}

void Form5::SSCommandGrafica_Click()
{
    if (!g_graphOpener || !openerCheck())
        return;
    linkState().NumeroSerieEqp = serial_;
    Frame17->clear();
    showBusyPanel(true);
    QPointer<Form5> self(this);
    g_graphOpener(*this);
    if (self)
        showBusyPanel(false);
}

void Form5::SSCommandImprimir_Click()
{
    if (!g_listingOpener || !openerCheck())
        return;
    linkState().NumeroSerieEqp = serial_;
    g_listingOpener(*this);
}

void Form5::SSCommandProgramacion_Click()
{
    const std::function<void()> open = g_programmingOpener;
    if (!open)
        return;
    linkState().NumeroSerieEqp = serial_;
    if (close())
        open();
}

void Form5::SSCommandExit_Click() { close(); }

void Form5::SSCommandHelp_Click() { AbrirAyuda(); }

void Form5::SSCommandRecibir_Click()
{
    if (!controller_)
        controller_ = std::make_unique<DownloadController>(defaultLink(), *this, [this] { return now_(); });
    QPointer<Form5> self(this);
    controller_->run();
    if (self && closeAfterDownload_)
        close();
}

void Form5::SSCommandStop_Click()
{
    SSCommandStop->setVisible(false);
    SSCommandRecibir->setVisible(true);
    if (controller_)
        controller_->stop();
}

bool Form5::askRange(RangoFechas& range)
{
    linkState().NumeroSerieEqp = serial_;
    if (rangeAsker_)
        return rangeAsker_(range);
    // FROM continues from the newest stored interval, or reaches back to where records may be
    // missing after a download that ended short of its FROM.
    std::optional<QDateTime> start = hasIntervals() ? repo_.newestIntervalStart(serial_) : std::nullopt;
    if (const std::optional<QDateTime> pending = pendingFrom(mainDb(), serial_); pending && (!start || *pending < *start))
        start = pending;
    Form8 dialog(this);
    dialog.Form_Load(now_(), start);
    dialog.exec();
    return !recordsState().rangoCancelado;
}

void Form5::CanviaEstatBotons()
{
    if (heldButtons_.isEmpty()) {
        for (QWidget* b : std::initializer_list<QWidget*>{SSCommandAnterior, SSCommandBuscar, SSCommandExit, SSCommandHelp,
                                                          SSCommandImprimir, SSCommandSiguiente, SSCommandProgramacion,
                                                          SSCommandGrafica, SSCommandRecibir}) {
            heldButtons_.append({QPointer<QWidget>(b), b->isEnabled()});
            b->setEnabled(!b->isEnabled());
        }
        return;
    }
    for (const auto& [b, enabled] : heldButtons_)
        if (b)
            b->setEnabled(enabled);
    heldButtons_.clear();
}

void Form5::setBusy(bool on)
{
    if (on == !heldButtons_.isEmpty())
        return;
    CanviaEstatBotons();
    SSCommandRecibir->setVisible(!on);
    SSCommandStop->setVisible(on);
    showBusyPanel(on);
    if (on) {
        setCursor(Qt::BusyCursor);
        busyBarTimer_->start();
    } else {
        busyBarTimer_->stop();
        unsetCursor();
    }
}

// The busy bar's style animation, made at its first paint, would tick and ask for a repaint at the
// screen's rate, which during a download costs the UI thread more than the records themselves. It
// is held, and moved on by kBusyBarEveryMs at each call (its timer's or the counter's): one repaint
// about every kBusyBarEveryMs, and no ticks between.
void Form5::moveBusyBar()
{
    for (QAbstractAnimation* a : Animation1->findChildren<QAbstractAnimation*>(Qt::FindDirectChildrenOnly)) {
        if (a->state() == QAbstractAnimation::Running)
            a->pause();
        busyBarMoved_.invalidate(); // the repaint it asks for is let through
        a->setCurrentTime(a->currentTime() + kBusyBarEveryMs);
    }
}

void Form5::setCounter(int frames)
{
    Frame17->setText(QString::number(frames));
    // The busy bar moves with every other counter (the counter comes every 200 ms or a little
    // more), so that the panel is repainted once for both; its timer moves it when no counter
    // comes.
    if (busyBarTimer_->isActive() && busyBarMoved_.isValid() && busyBarMoved_.elapsed() >= kBusyBarEveryMs * 3 / 4) {
        moveBusyBar();
        busyBarTimer_->start();
    }
}

void Form5::showTotals(const Totals& t, const QDateTime& stamp)
{
    MaskFechaTotales->setText(formatSheetDate(stamp.date()));
    MaskHoraTotales->setText(formatLongTime(stamp.time()));
    LbPasadasLocal->setText(QString::number(t.pasadasLocal));
    LbPasadasVei->setText(QString::number(t.pasadasVecino));
    MaskE3->setText(QString::number(t.e3));
    MaskCB->setText(QString::number(t.cb));
}

bool Form5::showDevice(qint32 serial) { return CarregaDades(serial); }

void Form5::reloadDevice()
{
    if (serial_ != 0)
        CarregaDades(serial_);
    linkState().NumeroSerieEqp = serial_;
}

bool Form5::eventFilter(QObject* watched, QEvent* event)
{
    // The busy bar's animation asks for a repaint at the screen's rate, which during a download
    // costs the UI thread more than the records themselves: it moves every kBusyBarEveryMs, with
    // the counter when there is one. The request is accepted all the same, or the animation stops.
    if (event->type() == QEvent::StyleAnimationUpdate && watched == Animation1) {
        if (busyBarMoved_.isValid() && busyBarMoved_.elapsed() < kBusyBarEveryMs) {
            event->accept();
            return true;
        }
        busyBarMoved_.start();
    }
    if (event->type() == QEvent::FocusIn && watched->isWidgetType())
        campoActual_ = watched->objectName();
    if (event->type() == QEvent::FocusOut && watched == TextFecha && TextFecha->isModified()
        && !fechaBoxValid(TextFecha->text())) {
        prompter().message(GetS(18), Prompter::Icon::Critical);
        TextFecha->setFocus();
    }
    return QWidget::eventFilter(watched, event);
}

void Form5::closeEvent(QCloseEvent* event)
{
    if (downloading()) {
        // The close box stops the download; the window closes once its end steps have run.
        closeAfterDownload_ = true;
        SSCommandStop_Click();
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace nbx
