#include "programming/ui/Form2.h"

#include "common/AppState.h"
#include "common/Prompter.h"
#include "common/QuitSignals.h"
#include "common/ui/DateBox.h"
#include "common/ui/Help.h"
#include "common/ui/WidgetMakers.h"
#include "link/Link.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"
#include "localisation/ui/TranslateForm.h"
#include "programming/Exchange.h"
#include "programming/FieldRules.h"
#include "programming/SavePrompt.h"
#include "programming/SheetText.h"
#include "programming/ui/Form13.h"
#include "programming/ui/Form14.h"
#include "programming/ui/Form3.h"
#include "programming/ui/Form10.h"
#include "programming/ui/IntervalGrid.h"

#include <algorithm>
#include <QApplication>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace nbx {

namespace {

std::function<void()> g_recordsOpener;

std::function<void(Form2&)>& printHandler()
{
    static std::function<void(Form2&)> handler;
    return handler;
}

// The dates a two-digit year stands for: below 50 is 20yy, otherwise 19yy.
const QDate kFirstDate(1950, 1, 1);
const QDate kLastDate(2049, 12, 31);

QLineEdit* makeEdit(const QString& name, QWidget* parent, const QString& pattern = QString(), int width = 0)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    if (!pattern.isEmpty())
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), e));
    if (width > 0)
        e->setFixedWidth(width);
    return e;
}

QPushButton* makeButton(const QString& name, const QString& text, QWidget* parent)
{
    return nbx::makeButton(name, text, parent, 32);
}

QRadioButton* makeOption(const QString& name, const QString& text, QWidget* parent)
{
    auto* r = new QRadioButton(text, parent);
    r->setObjectName(name);
    return r;
}

// Chooses one option of a group, or none (nullptr).
void chooseOption(const QList<QRadioButton*>& group, QRadioButton* chosen)
{
    for (QRadioButton* r : group)
        r->setAutoExclusive(false);
    for (QRadioButton* r : group)
        r->setChecked(r == chosen);
    for (QRadioButton* r : group)
        r->setAutoExclusive(true);
}

QLocale localeForLanguage(int codigoIdioma)
{
    switch (codigoIdioma) {
    case 2000: return QLocale(QLocale::Catalan, QLocale::Spain);
    case 3000: return QLocale(QLocale::English, QLocale::UnitedKingdom);
    case 4000: return QLocale(QLocale::German, QLocale::Germany);
    case 5000: return QLocale(QLocale::French, QLocale::France);
    case 6000: return QLocale(QLocale::Italian, QLocale::Italy);
    case 7000: return QLocale(QLocale::Portuguese, QLocale::Portugal);
    default: return QLocale(QLocale::Spanish, QLocale::Spain);
    }
}

// The weekday boxes, Monday first, with their historical names and day labels.
struct WeekdayRow {
    Weekday day;
    const char* name;
    long labelId;
};
constexpr WeekdayRow kWeekdays[7] = {{Lunes, "Lunes", 70},         {Martes, "Martes", 71},   {Miercoles, "Miercoles", 72},
                                     {Jueves, "Jueves", 73},       {Viernes, "Viernes", 74}, {Sabado, "Sabado", 75},
                                     {Domingo, "Domingo", 76}};

const char* const kOctaveLabels[9] = {"Octava 31.5Hz: ", "Octava 63Hz: ", "Octava 125Hz: ", "Octava 250Hz: ", "Octava 500Hz: ",
                                      "Octava 1kHz: ",   "Octava 2kHz: ",  "Octava 4kHz: ",   "Octava 8kHz: "};

std::optional<RuleField> ruleFieldOf(const QString& name)
{
    static const QHash<QString, RuleField> fields = {
        {QStringLiteral("MaskDiaLocal"), RuleField::DiaLocal},
        {QStringLiteral("MaskNitLocal"), RuleField::NitLocal},
        {QStringLiteral("MaskDiaVei"), RuleField::DiaVei},
        {QStringLiteral("MaskNitVei"), RuleField::NitVei},
        {QStringLiteral("MaskMFast"), RuleField::MFast},
        {QStringLiteral("MaskTempsActLoc"), RuleField::TempsActLoc},
        {QStringLiteral("MaskTempsActVei"), RuleField::TempsActVei},
        {QStringLiteral("MaskTiempoAtenuacion"), RuleField::TiempoAtenuacion},
        {QStringLiteral("MaskTLeq"), RuleField::TLeq},
        {QStringLiteral("MaskRings"), RuleField::Rings},
    };
    const auto it = fields.find(name);
    if (it == fields.end())
        return std::nullopt;
    return *it;
}

// Boxes with a rule that runs when they are left.
bool hasLeaveRule(const QString& name)
{
    return ruleFieldOf(name) || name == QLatin1String("MaskEmpiezaNoche") || name == QLatin1String("MaskTerminaNoche")
           || name == QLatin1String("MaskFecha");
}

// Restores a button's pointer when the scope ends.
class ButtonBusy {
public:
    explicit ButtonBusy(QWidget* w) : w_(w) { w_->setCursor(Qt::WaitCursor); }
    ~ButtonBusy()
    {
        if (w_)
            w_->unsetCursor();
    }
    ButtonBusy(const ButtonBusy&) = delete;
    ButtonBusy& operator=(const ButtonBusy&) = delete;

private:
    QPointer<QWidget> w_;
};

class OverrideCursor {
public:
    OverrideCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~OverrideCursor() { QGuiApplication::restoreOverrideCursor(); }
    OverrideCursor(const OverrideCursor&) = delete;
    OverrideCursor& operator=(const OverrideCursor&) = delete;
};

} // namespace

// The sheet as the device operations see it.
class Form2ExchangeWindow : public ExchangeWindow {
public:
    explicit Form2ExchangeWindow(Form2& form) : form_(form) {}
    SheetValues sheetValues() const override { return form_.sheet(); }
    void showSheetValues(const SheetValues& values) override { form_.showSheet(values); }
    bool isModified() const override { return programmingState().fichaModificada; }
    void setModified(bool modified) override { programmingState().fichaModificada = modified; }
    void setSheetButtonsEnabled(bool enabled) override
    {
        if (enabled == form_.sheetButtonsHeld())
            form_.CanviaEstatBotons();
    }
    void setBusyDisplay(bool on) override { form_.SSPanel2->setVisible(on); }
    void setWaitCursor(bool on) override
    {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    }
    bool hasStoredSheet(qint32 serial, QString* error) override { return form_.repository().exists(serial, error); }
    bool loadStoredSheet(qint32 serial) override { return form_.CarregaProgramacio(serial); }
    bool saveSheet() override { return form_.GrabaProgramacio(); }

private:
    Form2& form_;
};

namespace {

// The sheet as the weekly editor sees it: the weekday boxes, Monday first, and the night.
class Form2WeekSheet : public WeekSheet {
public:
    explicit Form2WeekSheet(Form2& f) : f_(f) {}
    WeekTexts weekTexts() const override
    {
        WeekTexts t;
        for (int d = 0; d < 7; ++d) {
            t[2 * d] = f_.weekdayIni[weekdayOfMondayFirst(d)]->text();
            t[2 * d + 1] = f_.weekdayFi[weekdayOfMondayFirst(d)]->text();
        }
        return t;
    }
    void setWeekTexts(const WeekTexts& t) override
    {
        for (int d = 0; d < 7; ++d) {
            f_.weekdayIni[weekdayOfMondayFirst(d)]->setText(t[2 * d]);
            f_.weekdayFi[weekdayOfMondayFirst(d)]->setText(t[2 * d + 1]);
        }
    }
    QString nightStart() const override { return f_.MaskEmpiezaNoche->text(); }
    QString nightEnd() const override { return f_.MaskTerminaNoche->text(); }
    void setModified() override { programmingState().fichaModificada = true; }

private:
    Form2& f_;
};

} // namespace

Form2::Form2(QWidget* parent)
    : QWidget(parent)
    , repo_()
    , model_(new IntervalModel(this))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString::fromLatin1(kAppTitle));

    buildHeader();
    buildTabs();
    buildButtons();
    layoutWindow();
    wire();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
    Timer1->start();

    exchangeWindow_ = std::make_unique<Form2ExchangeWindow>(*this);
    exchange_ = std::make_unique<ProgrammingExchange>(*exchangeWindow_);
}

Form2::~Form2()
{
    // The children are destroyed after this body and move the focus as they go: the slot must not
    // run on a window that is no longer a Form2.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void Form2::SSCommandRecibir_Click() { exchange_->Recibir(); }
void Form2::SSCommandTransmitir_Click() { exchange_->Transmitir(); }
void Form2::SSCommandBorrat_Click() { exchange_->Borrat(); }
void Form2::CommandCanviClau_Click() { exchange_->CanviClau(); }
void Form2::SSCommandTest_Click() { exchange_->Test(); }

void Form2::SSCommandRealTime_Click()
{
    Form3 window(this);
    window.exec();
}

void Form2::SSCommandCalibracio_Click()
{
    Form13 window(this);
    window.exec();
}

void Form2::SSCommandSonometro_Click()
{
    Form14 window(this);
    window.exec();
}

QString Form2::shownSerial() const { return MaskNumeroSerie->text(); }
QString Form2::shownTelephone() const { return MaskTelefono->text(); }

void Form2::buildHeader()
{
    MaskNumeroSerie = makeEdit(QStringLiteral("MaskNumeroSerie"), this, QString(), 90);
    MaskNumeroSerie->setReadOnly(true);
    MaskVersion = makeEdit(QStringLiteral("MaskVersion"), this, QString(), 60);
    MaskVersion->setReadOnly(true);

    // The date is typed whole and its rule reads it when the box is left, as the other boxes'
    // rules do; the arrow opens a calendar to pick it from.
    auto* fecha = new DateBox(DateBox::Kind::Date, QStringLiteral("MaskFecha"), this);
    fecha->setFixedWidth(110);
    fecha->addCalendarArrow();
    connect(fecha, &DateBox::calendarRequested, this, &Form2::showCalendar);
    MaskFecha = fecha;

    MaskContacto = makeEdit(QStringLiteral("MaskContacto"), this);
    MaskLocal = makeEdit(QStringLiteral("MaskLocal"), this);
    MaskDireccion = makeEdit(QStringLiteral("MaskDireccion"), this);
    MaskPoblacion = makeEdit(QStringLiteral("MaskPoblacion"), this);
    MaskTelefono = makeEdit(QStringLiteral("MaskTelefono"), this);
    for (QLineEdit* e : {MaskContacto, MaskLocal, MaskDireccion, MaskPoblacion})
        e->setMaxLength(30);
    MaskTelefono->setMaxLength(15);

    TextNota = new QPlainTextEdit(this);
    TextNota->setObjectName(QStringLiteral("TextNota"));
    TextNota->setTabChangesFocus(true);
    TextNota->setMinimumHeight(54);

    TDBGrid1 = new IntervalGridView(this);
    TDBGrid1->setObjectName(QStringLiteral("TDBGrid1"));
    TDBGrid1->setModel(model_);
    setAccessibleParts(TDBGrid1, {QStringLiteral("INTERVALOS INHABILES")});
}

void Form2::buildTabs()
{
    SSTab2 = new QTabWidget(this);
    SSTab2->setObjectName(QStringLiteral("SSTab2"));
    // Every page caption stays readable: the window is as wide as the tab row.
    SSTab2->setUsesScrollButtons(false);

    // 0: clock.
    auto* reloj = new QWidget;
    TextFecha = makeEdit(QStringLiteral("TextFecha"), reloj, QString(), 100);
    TextHora = makeEdit(QStringLiteral("TextHora"), reloj, QString(), 100);
    TextFecha->setReadOnly(true);
    TextHora->setReadOnly(true);
    TextFecha->setFocusPolicy(Qt::NoFocus);
    TextHora->setFocusPolicy(Qt::NoFocus);
    CheckCambioHora = new QCheckBox(
        QStringLiteral("(Cambiar la hora automáticamente según el horario de verano)"), reloj);
    CheckCambioHora->setObjectName(QStringLiteral("CheckCambioHora"));
    {
        auto* g = new QGridLayout(reloj);
        g->addWidget(makeLabel(QStringLiteral("LabelRelojFecha"), QStringLiteral("Fecha:"), reloj, TextFecha), 0, 0);
        g->addWidget(TextFecha, 0, 1);
        g->addWidget(makeLabel(QStringLiteral("LabelRelojHora"), QStringLiteral("Hora:"), reloj, TextHora), 1, 0);
        g->addWidget(TextHora, 1, 1);
        g->addWidget(CheckCambioHora, 2, 0, 1, 3);
        g->setColumnStretch(2, 1);
        g->setRowStretch(3, 1);
    }

    // 1: session hours, Monday first; edited through the weekly editor only.
    auto* horarios = new QWidget;
    {
        auto* g = new QGridLayout(horarios);
        auto heading = [horarios, g](const QString& name, const QString& text, int col) {
            QLabel* l = makeLabel(name, text, horarios);
            l->setAlignment(Qt::AlignCenter);
            g->addWidget(l, 0, col);
        };
        heading(QStringLiteral("LabelHorarioInicio"), QStringLiteral("Inicio"), 1);
        heading(QStringLiteral("LabelHorarioFin"), QStringLiteral("Fin"), 2);
        for (int i = 0; i < 7; ++i) {
            const WeekdayRow& w = kWeekdays[i];
            const QString day = QString::fromLatin1(w.name);
            QLineEdit* ini = makeEdit(QStringLiteral("Mask%1Ini").arg(day), horarios, QString(), 70);
            QLineEdit* fi = makeEdit(QStringLiteral("Mask%1Fi").arg(day), horarios, QString(), 70);
            for (QLineEdit* e : {ini, fi}) {
                e->setReadOnly(true);
                e->setAlignment(Qt::AlignCenter);
            }
            QLabel* l = makeLabel(QStringLiteral("LabelHorario%1").arg(day), GetNativeString(w.labelId, QString()),
                                  horarios, ini);
            setAccessibleParts(ini, {l->text(), QStringLiteral("Inicio")});
            setAccessibleParts(fi, {l->text(), QStringLiteral("Fin")});
            // Two columns of days keep the page short.
            const int row = 1 + (i < 4 ? i : i - 4);
            const int col = i < 4 ? 0 : 4;
            g->addWidget(l, row, col);
            g->addWidget(ini, row, col + 1);
            g->addWidget(fi, row, col + 2);
            weekdayIni[w.day] = ini;
            weekdayFi[w.day] = fi;
        }
        heading(QStringLiteral("LabelHorarioInicio2"), QStringLiteral("Inicio"), 5);
        heading(QStringLiteral("LabelHorarioFin2"), QStringLiteral("Fin"), 6);
        g->setColumnMinimumWidth(3, 30);
        g->setColumnStretch(7, 1);
        g->setRowStretch(5, 1);
    }

    // 2: day and night limits.
    auto* normativa = new QWidget;
    const QString timePattern = QStringLiteral("\\d{0,2}:?\\d{0,2}");
    const QString levelPattern = QStringLiteral("\\d{0,3}");
    MaskEmpiezaDia = makeEdit(QStringLiteral("MaskEmpiezaDia"), normativa, QString(), 70);
    MaskTerminaDia = makeEdit(QStringLiteral("MaskTerminaDia"), normativa, QString(), 70);
    MaskEmpiezaDia->setReadOnly(true);
    MaskTerminaDia->setReadOnly(true);
    MaskDiaLocal = makeEdit(QStringLiteral("MaskDiaLocal"), normativa, levelPattern, 70);
    MaskDiaVei = makeEdit(QStringLiteral("MaskDiaVei"), normativa, levelPattern, 70);
    MaskEmpiezaNoche = makeEdit(QStringLiteral("MaskEmpiezaNoche"), normativa, timePattern, 70);
    MaskTerminaNoche = makeEdit(QStringLiteral("MaskTerminaNoche"), normativa, timePattern, 70);
    MaskNitLocal = makeEdit(QStringLiteral("MaskNitLocal"), normativa, levelPattern, 70);
    MaskNitVei = makeEdit(QStringLiteral("MaskNitVei"), normativa, levelPattern, 70);
    {
        auto* g = new QGridLayout(normativa);
        g->addWidget(makeLabel(QStringLiteral("LabelEmpieza"), QStringLiteral("Empieza"), normativa), 0, 1);
        g->addWidget(makeLabel(QStringLiteral("LabelTermina"), QStringLiteral("Termina"), normativa), 0, 2);
        g->addWidget(makeLabel(QStringLiteral("LabelLimiteLocal"), QStringLiteral("Límite (emisión)"), normativa), 0, 3);
        g->addWidget(makeLabel(QStringLiteral("LabelLimiteVei"), QStringLiteral("Límite (recepción)"), normativa), 0, 4);
        QLabel* dia = makeLabel(QStringLiteral("LabelDia"), QStringLiteral("Día"), normativa, MaskEmpiezaDia);
        QLabel* noche = makeLabel(QStringLiteral("LabelNoche"), QStringLiteral("Noche"), normativa, MaskEmpiezaNoche);
        g->addWidget(dia, 1, 0);
        g->addWidget(noche, 2, 0);
        const QList<QLineEdit*> diaRow{MaskEmpiezaDia, MaskTerminaDia, MaskDiaLocal, MaskDiaVei};
        const QList<QLineEdit*> nocheRow{MaskEmpiezaNoche, MaskTerminaNoche, MaskNitLocal, MaskNitVei};
        const QStringList heads{QStringLiteral("Empieza"), QStringLiteral("Termina"), QStringLiteral("Límite (emisión)"),
                                QStringLiteral("Límite (recepción)")};
        for (int c = 0; c < 4; ++c) {
            g->addWidget(diaRow[c], 1, c + 1);
            g->addWidget(nocheRow[c], 2, c + 1);
            setAccessibleParts(diaRow[c], {QStringLiteral("Día"), heads[c]});
            setAccessibleParts(nocheRow[c], {QStringLiteral("Noche"), heads[c]});
        }
        g->addWidget(makeLabel(QStringLiteral("LabelDbaNormativa"), QStringLiteral("dBA"), normativa), 1, 5);
        g->setColumnStretch(6, 1);
        g->setRowStretch(3, 1);
    }

    // 3: action type.
    auto* actuacion = new QWidget;
    auto* emision = new QGroupBox(QStringLiteral("Actuación (emisión):"), actuacion);
    emision->setObjectName(QStringLiteral("FrameEmision"));
    OptionLocalLeq125 = makeOption(QStringLiteral("OptionLocalLeq125"), QStringLiteral("Leq 125 ms"), emision);
    OptionLocalLeq1s = makeOption(QStringLiteral("OptionLocalLeq1s"), QStringLiteral("Leq (s):"), emision);
    MaskTempsActLoc = makeEdit(QStringLiteral("MaskTempsActLoc"), emision, QStringLiteral("\\d{0,2}"), 50);
    setAccessibleParts(MaskTempsActLoc, {QStringLiteral("Actuación (emisión):"), QStringLiteral("Leq (s):")});
    {
        auto* g = new QGridLayout(emision);
        g->addWidget(OptionLocalLeq125, 0, 0);
        g->addWidget(OptionLocalLeq1s, 1, 0);
        g->addWidget(MaskTempsActLoc, 1, 1);
        g->setColumnStretch(2, 1);
        g->setRowStretch(3, 1);
    }
    auto* recepcion = new QGroupBox(QStringLiteral("Actuación (recepción):"), actuacion);
    recepcion->setObjectName(QStringLiteral("FrameRecepcion"));
    OptionVeiNo = makeOption(QStringLiteral("OptionVeiNo"), QStringLiteral("No actúa"), recepcion);
    OptionVeiLeq125 = makeOption(QStringLiteral("OptionVeiLeq125"), QStringLiteral("Leq 125 ms"), recepcion);
    OptionVeiLeq1s = makeOption(QStringLiteral("OptionVeiLeq1s"), QStringLiteral("Leq (s):"), recepcion);
    MaskTempsActVei = makeEdit(QStringLiteral("MaskTempsActVei"), recepcion, QStringLiteral("\\d{0,2}"), 50);
    setAccessibleParts(MaskTempsActVei, {QStringLiteral("Actuación (recepción):"), QStringLiteral("Leq (s):")});
    {
        auto* g = new QGridLayout(recepcion);
        g->addWidget(OptionVeiNo, 0, 0);
        g->addWidget(OptionVeiLeq125, 1, 0);
        g->addWidget(OptionVeiLeq1s, 2, 0);
        g->addWidget(MaskTempsActVei, 2, 1);
        g->setColumnStretch(2, 1);
    }
    CheckApliCorrecioGlobal = new QCheckBox(QStringLiteral("Aplicar corrección global (CMI)"), actuacion);
    CheckApliCorrecioGlobal->setObjectName(QStringLiteral("CheckApliCorrecioGlobal"));
    Picture2 = new QLabel(actuacion);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(20, 20));
    CheckApliCorrecioGlobal->setVisible(false);
    Picture2->setVisible(false);
    {
        auto* v = new QVBoxLayout(actuacion);
        auto* h = new QHBoxLayout;
        h->addWidget(emision);
        h->addWidget(recepcion);
        v->addLayout(h);
        auto* cmi = new QHBoxLayout;
        cmi->addWidget(Picture2);
        cmi->addWidget(CheckApliCorrecioGlobal);
        cmi->addStretch(1);
        v->addLayout(cmi);
        v->addStretch(1);
    }

    // 4: attenuation.
    auto* atenuacion = new QWidget;
    MaskTiempoAtenuacion = makeEdit(QStringLiteral("MaskTiempoAtenuacion"), atenuacion, QStringLiteral("\\d{0,5}"), 70);
    {
        auto* g = new QGridLayout(atenuacion);
        g->addWidget(makeLabel(QStringLiteral("LabelAtenuacion"), QStringLiteral("Tiempo atenuación (s):"), atenuacion,
                               MaskTiempoAtenuacion), 0, 0);
        g->addWidget(MaskTiempoAtenuacion, 0, 1);
        g->addWidget(makeLabel(QStringLiteral("LabelSinAtenuacion"), QStringLiteral("0 - Sin atenuación de 60dB"),
                               atenuacion), 1, 0, 1, 3);
        g->setColumnStretch(2, 1);
        g->setRowStretch(2, 1);
    }

    // 5: octave-band corrections, three columns.
    auto* aislamiento = new QWidget;
    {
        auto* g = new QGridLayout(aislamiento);
        auto* validatorOwner = aislamiento;
        for (int m = 0; m < 9; ++m) {
            QLineEdit* e = makeEdit(QStringLiteral("MaskOctava%1").arg(m + 1), aislamiento, QString(), 70);
            auto* v = new QDoubleValidator(-999.9, 999.9, 1, validatorOwner);
            v->setNotation(QDoubleValidator::StandardNotation);
            e->setValidator(v);
            MaskOctava[m] = e;
            const int row = m % 3;
            const int col = (m / 3) * 3;
            g->addWidget(makeLabel(QStringLiteral("LabelOctava%1").arg(m + 1), QString::fromUtf8(kOctaveLabels[m]),
                                   aislamiento, e), row, col);
            g->addWidget(e, row, col + 1);
        }
        g->addWidget(makeLabel(QStringLiteral("LabelDbOctavas"), QStringLiteral("dB"), aislamiento), 0, 9);
        g->setColumnMinimumWidth(2, 16);
        g->setColumnMinimumWidth(5, 16);
        g->setColumnStretch(10, 1);
        g->setRowStretch(3, 1);
    }

    // 6, 7, 8: one value each.
    auto single = [](QWidget* page, QLineEdit* edit, const QString& labelName, const QString& label,
                     const QString& unitName, const QString& unit) {
        auto* g = new QGridLayout(page);
        g->addWidget(makeLabel(labelName, label, page, edit), 0, 0);
        g->addWidget(edit, 0, 1);
        if (!unit.isEmpty())
            g->addWidget(makeLabel(unitName, unit, page), 0, 2);
        g->setColumnStretch(3, 1);
        g->setRowStretch(1, 1);
    };
    auto* lfmax = new QWidget;
    MaskMFast = makeEdit(QStringLiteral("MaskMFast"), lfmax, QStringLiteral("\\d{0,3}"), 70);
    single(lfmax, MaskMFast, QStringLiteral("LabelMFast"), QStringLiteral("Límite LFmax:"), QStringLiteral("LabelDbaMFast"),
           QStringLiteral("dBA"));
    auto* tleq = new QWidget;
    MaskTLeq = makeEdit(QStringLiteral("MaskTLeq"), tleq, QStringLiteral("\\d{0,3}"), 70);
    single(tleq, MaskTLeq, QStringLiteral("LabelTLeq"), QStringLiteral("Tiempo de Leq:"), QStringLiteral("LabelMinTLeq"),
           QStringLiteral("min"));
    auto* modem = new QWidget;
    // Rings go into a byte: 0 to 255.
    MaskRings = makeEdit(QStringLiteral("MaskRings"), modem,
                         QStringLiteral("|25[0-5]|2[0-4]\\d|1\\d\\d|\\d\\d?"), 70);
    single(modem, MaskRings, QStringLiteral("LabelRings"), QStringLiteral("Rings antes de que el modem decuelgue:"),
           QString(), QString());

    const QList<QPair<QWidget*, QString>> pages{
        {reloj, QStringLiteral("Reloj")},
        {horarios, QStringLiteral("Horarios sesion")},
        {normativa, QStringLiteral("Normativa")},
        {actuacion, QStringLiteral("Tipo de actuación")},
        {atenuacion, QStringLiteral("Tiempo atenuación")},
        {aislamiento, QStringLiteral("Aislamiento acústico")},
        {lfmax, QStringLiteral("LFmax")},
        {tleq, QStringLiteral("Tiempo de Leq")},
        {modem, QStringLiteral("Parámetros módem")},
    };
    for (const auto& [page, caption] : pages)
        SSTab2->addTab(page, caption);
}

void Form2::buildButtons()
{
    SSCommandAnterior = makeButton(QStringLiteral("SSCommandAnterior"), QStringLiteral("Anterior"), this);
    SSCommandSiguiente = makeButton(QStringLiteral("SSCommandSiguiente"), QStringLiteral("Siguiente"), this);
    SSCommandBuscar = makeButton(QStringLiteral("SSCommandBuscar"), QStringLiteral("Buscar"), this);
    SSCommandGrabar = makeButton(QStringLiteral("SSCommandGrabar"), QStringLiteral("Grabar"), this);
    SSCommandBorrar = makeButton(QStringLiteral("SSCommandBorrar"), QStringLiteral("Borrar"), this);
    SSCommandImprimir = makeButton(QStringLiteral("SSCommandImprimir"), QStringLiteral("Imprimir"), this);
    SSCommandIncidencias = makeButton(QStringLiteral("SSCommandIncidencias"), QStringLiteral("Incidencias"), this);
    SSCommandHelp = makeButton(QStringLiteral("SSCommandHelp"), QStringLiteral("Ayuda"), this);
    SSCommandExit = makeButton(QStringLiteral("SSCommandExit"), QStringLiteral("Salir"), this);
    SSCommandRecibir = makeButton(QStringLiteral("SSCommandRecibir"), QStringLiteral("Recibir"), this);
    SSCommandTransmitir = makeButton(QStringLiteral("SSCommandTransmitir"), QStringLiteral("Transmitir"), this);
    SSCommandBorrat = makeButton(QStringLiteral("SSCommandBorrat"), QStringLiteral("Borrar memoria"), this);
    CommandCanviClau = makeButton(QStringLiteral("CommandCanviClau"), QStringLiteral("Cambiar contraseña"), this);
    SSCommandTest = makeButton(QStringLiteral("SSCommandTest"), QStringLiteral("Test"), this);
    SSCommandRealTime = makeButton(QStringLiteral("SSCommandRealTime"), QStringLiteral("Tiempo real"), this);
    SSCommandCalibracio = makeButton(QStringLiteral("SSCommandCalibracio"), QStringLiteral("Calibración"), this);
    SSCommandSonometro = makeButton(QStringLiteral("SSCommandSonometro"), QStringLiteral("Sonómetro"), this);

    // Printing comes with its own window.
    SSCommandImprimir->setEnabled(bool(printHandler()));
    SSCommandIncidencias->setEnabled(bool(g_recordsOpener));

    SSPanel2 = new QFrame(this);
    SSPanel2->setObjectName(QStringLiteral("SSPanel2"));
    SSPanel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Animation1 = new QProgressBar(SSPanel2);
    Animation1->setObjectName(QStringLiteral("Animation1"));
    Animation1->setRange(0, 0);
    Animation1->setTextVisible(false);
    setAccessibleParts(Animation1, {QStringLiteral("Transmitiendo")});
    auto* l = new QHBoxLayout(SSPanel2);
    l->addWidget(Animation1);
    SSPanel2->setVisible(false);
}

void Form2::layoutWindow()
{
    auto* header = new QGridLayout;
    header->addWidget(makeLabel(QStringLiteral("LabelNumeroSerie"), QStringLiteral("N. Serie:"), this, MaskNumeroSerie), 0, 0);
    header->addWidget(MaskNumeroSerie, 0, 1);
    auto* versionFecha = new QHBoxLayout;
    versionFecha->addWidget(makeLabel(QStringLiteral("LabelVersion"), QStringLiteral("Versión:"), this, MaskVersion));
    versionFecha->addWidget(MaskVersion);
    versionFecha->addSpacing(12);
    versionFecha->addWidget(makeLabel(QStringLiteral("LabelFecha"), QStringLiteral("Fecha:"), this, MaskFecha));
    versionFecha->addWidget(MaskFecha);
    versionFecha->addStretch(1);
    header->addLayout(versionFecha, 0, 2);
    const QList<std::tuple<QString, QString, QWidget*>> rows{
        {QStringLiteral("LabelContacto"), QStringLiteral("Contacto:"), MaskContacto},
        {QStringLiteral("LabelLocal"), QStringLiteral("Local:"), MaskLocal},
        {QStringLiteral("LabelDireccion"), QStringLiteral("Dirección:"), MaskDireccion},
        {QStringLiteral("LabelPoblacion"), QStringLiteral("Población:"), MaskPoblacion},
        {QStringLiteral("LabelTelefono"), QStringLiteral("Teléfono:"), MaskTelefono},
        {QStringLiteral("LabelNota"), QStringLiteral("Notas:"), TextNota},
    };
    int r = 1;
    for (const auto& [name, text, w] : rows) {
        QLabel* l = makeLabel(name, text, this, w);
        if (w == TextNota)
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        header->addWidget(l, r, 0);
        header->addWidget(w, r, 1, 1, 2);
        ++r;
    }
    header->setColumnStretch(2, 1);
    header->setRowStretch(r - 1, 1);

    auto* frame = new QGroupBox(QStringLiteral("INTERVALOS INHABILES"), this);
    frame->setObjectName(QStringLiteral("FrameIntervalos"));
    auto* headings = new QHBoxLayout;
    auto* empieza = makeLabel(QStringLiteral("LabelEmpiezaIntervalo"), QStringLiteral("Empieza:"), frame);
    auto* termina = makeLabel(QStringLiteral("LabelTerminaIntervalo"), QStringLiteral("Termina:"), frame);
    empieza->setAlignment(Qt::AlignCenter);
    termina->setAlignment(Qt::AlignCenter);
    // The two headings stand over the start and the end columns of the grid.
    headings->setSpacing(0);
    headings->addSpacing(TDBGrid1->columnWidth(0) + TDBGrid1->frameWidth());
    empieza->setFixedWidth(TDBGrid1->columnWidth(1) + TDBGrid1->columnWidth(2));
    termina->setFixedWidth(TDBGrid1->columnWidth(3) + TDBGrid1->columnWidth(4));
    headings->addWidget(empieza);
    headings->addWidget(termina);
    headings->addStretch(1);
    auto* fl = new QVBoxLayout(frame);
    fl->addLayout(headings);
    fl->addWidget(TDBGrid1, 1);
    TDBGrid1->setMinimumHeight(TDBGrid1->horizontalHeader()->sizeHint().height()
                               + 6 * TDBGrid1->verticalHeader()->defaultSectionSize() + 2 * TDBGrid1->frameWidth());

    auto* top = new QHBoxLayout;
    top->addLayout(header, 1);
    top->addWidget(frame);

    auto* deviceRow = new QHBoxLayout;
    for (QPushButton* b : {SSCommandRecibir, SSCommandTransmitir, SSCommandBorrat, CommandCanviClau, SSCommandTest,
                           SSCommandRealTime, SSCommandCalibracio, SSCommandSonometro})
        deviceRow->addWidget(b);
    auto* sheetRow = new QHBoxLayout;
    for (QPushButton* b : {SSCommandAnterior, SSCommandSiguiente, SSCommandBuscar, SSCommandGrabar, SSCommandBorrar,
                           SSCommandImprimir, SSCommandIncidencias, SSCommandHelp, SSCommandExit})
        sheetRow->addWidget(b);

    auto* main = new QVBoxLayout(this);
    main->addLayout(top, 1);
    main->addWidget(SSTab2);
    main->addWidget(SSPanel2);
    main->addLayout(deviceRow);
    main->addLayout(sheetRow);
}

void Form2::wire()
{
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &Form2::onFocusChanged);

    // The sheet's pending edit is taken before a button acts, so the action reads the values the
    // sheet then shows; a refused value stops the action.
    auto onClick = [this](QPushButton* button, void (Form2::*action)()) {
        connect(button, &QPushButton::clicked, this, [this, action] {
            if (takePendingEdit())
                (this->*action)();
        });
    };
    onClick(SSCommandAnterior, &Form2::SSCommandAnterior_Click);
    onClick(SSCommandSiguiente, &Form2::SSCommandSiguiente_Click);
    onClick(SSCommandGrabar, &Form2::SSCommandGrabar_Click);
    onClick(SSCommandBorrar, &Form2::SSCommandBorrar_Click);
    onClick(SSCommandBuscar, &Form2::SSCommandBuscar_Click);
    onClick(SSCommandExit, &Form2::SSCommandExit_Click);
    onClick(SSCommandRecibir, &Form2::SSCommandRecibir_Click);
    onClick(SSCommandTransmitir, &Form2::SSCommandTransmitir_Click);
    onClick(SSCommandBorrat, &Form2::SSCommandBorrat_Click);
    onClick(CommandCanviClau, &Form2::CommandCanviClau_Click);
    onClick(SSCommandTest, &Form2::SSCommandTest_Click);
    onClick(SSCommandIncidencias, &Form2::SSCommandIncidencias_Click);
    onClick(SSCommandRealTime, &Form2::SSCommandRealTime_Click);
    onClick(SSCommandCalibracio, &Form2::SSCommandCalibracio_Click);
    onClick(SSCommandSonometro, &Form2::SSCommandSonometro_Click);
    onClick(SSCommandHelp, &Form2::SSCommandHelp_Click);
    onClick(SSCommandImprimir, &Form2::SSCommandImprimir_Click);

    auto setsFlag = [] { programmingState().fichaModificada = true; };
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{CheckCambioHora, OptionLocalLeq125, OptionVeiNo,
                                                                       OptionVeiLeq125})
        connect(b, &QAbstractButton::clicked, this, setsFlag);
    connect(OptionLocalLeq1s, &QAbstractButton::clicked, this, [this, setsFlag] {
        MaskTempsActLoc->setText(actionTimeOnLeq1sClick(MaskTempsActLoc->text()));
        setsFlag();
    });
    connect(OptionVeiLeq1s, &QAbstractButton::clicked, this, [this, setsFlag] {
        MaskTempsActVei->setText(actionTimeOnLeq1sClick(MaskTempsActVei->text()));
        setsFlag();
    });

    // An edit made without typing (a paste or a drop with the mouse) marks the sheet as a key does.
    for (QLineEdit* e : findChildren<QLineEdit*>())
        if (!e->isReadOnly())
            connect(e, &QLineEdit::textEdited, this, setsFlag);
    connect(TextNota, &QPlainTextEdit::textChanged, this, [this] {
        if (!showing_)
            programmingState().fichaModificada = true;
    });

    // A refused or corrected interval is reported once the grid has finished with the edit (or
    // sooner, by a road that takes the pending edit).
    connect(model_, &IntervalModel::messagePosted, this, [this](long id) {
        gridMessages_.append(id);
        QTimer::singleShot(0, this, [this] { showGridMessages(); });
    });
    connect(model_, &IntervalModel::editRefused, this, [this] { gridRefused_ = true; });
}

// ---------------------------------------------------------------------------------------------
// Sheet values and controls

void Form2::showSheet(const SheetValues& v)
{
    const QScopedValueRollback<bool> showing(showing_, true);
    shown_ = v;
    TextFecha->setText(v.textFecha);
    TextHora->setText(v.textHora);
    MaskNumeroSerie->setText(v.numeroSerie);
    MaskVersion->setText(v.version);
    const std::optional<QDate> d = parseSheetDate(v.fecha);
    MaskFecha->setText(d && *d >= kFirstDate && *d <= kLastDate ? formatSheetDate(*d) : QString());
    MaskContacto->setText(v.contacto);
    MaskLocal->setText(v.local);
    MaskDireccion->setText(v.direccion);
    MaskPoblacion->setText(v.poblacion);
    MaskTelefono->setText(v.telefono);
    TextNota->setPlainText(v.nota);

    CheckCambioHora->setChecked(v.cambioHora != 0);
    CheckApliCorrecioGlobal->setChecked(v.cmi != 0);
    CheckApliCorrecioGlobal->setVisible(v.cmiVisible);
    Picture2->setVisible(v.cmiVisible);

    chooseOption({OptionLocalLeq1s, OptionLocalLeq125},
                 v.optionLocal == LocalAction::Leq1s    ? OptionLocalLeq1s
                 : v.optionLocal == LocalAction::Leq125 ? OptionLocalLeq125
                                                        : nullptr);
    MaskTempsActLoc->setText(v.tempsActLoc);
    chooseOption({OptionVeiNo, OptionVeiLeq1s, OptionVeiLeq125},
                 v.optionVei == VecinoAction::No       ? OptionVeiNo
                 : v.optionVei == VecinoAction::Leq1s  ? OptionVeiLeq1s
                 : v.optionVei == VecinoAction::Leq125 ? OptionVeiLeq125
                                                       : nullptr);
    MaskTempsActVei->setText(v.tempsActVei);

    MaskTLeq->setText(v.tLeq);
    MaskMFast->setText(v.mFast);
    for (int d = 0; d < 7; ++d) {
        weekdayIni[d]->setText(v.horarioIni[d]);
        weekdayFi[d]->setText(v.horarioFi[d]);
    }
    MaskDiaLocal->setText(v.diaLocal);
    MaskDiaVei->setText(v.diaVei);
    // The period boxes hold "hh:mm", as the device frame needs it: a one-digit hour from older
    // data or an import is shown, and so stored, with two.
    auto hhmm = [](const QString& text) {
        const std::optional<QTime> t = parseSheetTime(text);
        return t ? t->toString(QStringLiteral("hh:mm")) : text;
    };
    MaskEmpiezaNoche->setText(hhmm(v.empiezaNoche));
    MaskTerminaNoche->setText(hhmm(v.terminaNoche));
    MaskEmpiezaDia->setText(hhmm(v.empiezaDia));
    MaskTerminaDia->setText(hhmm(v.terminaDia));
    MaskNitLocal->setText(v.nitLocal);
    MaskNitVei->setText(v.nitVei);
    MaskTiempoAtenuacion->setText(v.tiempoAtenuacion);
    MaskRings->setText(v.rings);
    for (int m = 0; m < 9; ++m)
        MaskOctava[m]->setText(v.octavas[m]);
    model_->setIntervals(v.intervals);
}

SheetValues Form2::sheet() const
{
    TDBGrid1->commitPendingEdit();
    SheetValues v = shown_;
    v.textFecha = TextFecha->text();
    v.textHora = TextHora->text();
    v.numeroSerie = MaskNumeroSerie->text();
    v.version = MaskVersion->text();
    // The mask's separators alone are a box without a date.
    v.fecha = MaskFecha->text() == QLatin1String("//") ? QString() : MaskFecha->text();
    v.contacto = MaskContacto->text();
    v.local = MaskLocal->text();
    v.direccion = MaskDireccion->text();
    v.poblacion = MaskPoblacion->text();
    v.telefono = MaskTelefono->text();
    v.nota = TextNota->toPlainText();
    v.cambioHora = CheckCambioHora->isChecked() ? 1 : 0;
    v.cmi = CheckApliCorrecioGlobal->isChecked() ? 1 : 0;
    v.cmiVisible = !CheckApliCorrecioGlobal->isHidden();
    v.optionLocal = OptionLocalLeq1s->isChecked()    ? LocalAction::Leq1s
                    : OptionLocalLeq125->isChecked() ? LocalAction::Leq125
                                                     : LocalAction::None;
    v.tempsActLoc = MaskTempsActLoc->text();
    v.optionVei = OptionVeiNo->isChecked()       ? VecinoAction::No
                  : OptionVeiLeq1s->isChecked()  ? VecinoAction::Leq1s
                  : OptionVeiLeq125->isChecked() ? VecinoAction::Leq125
                                                 : VecinoAction::None;
    v.tempsActVei = MaskTempsActVei->text();
    v.tLeq = MaskTLeq->text();
    v.mFast = MaskMFast->text();
    for (int d = 0; d < 7; ++d) {
        v.horarioIni[d] = weekdayIni[d]->text();
        v.horarioFi[d] = weekdayFi[d]->text();
    }
    v.diaLocal = MaskDiaLocal->text();
    v.diaVei = MaskDiaVei->text();
    v.empiezaNoche = MaskEmpiezaNoche->text();
    v.terminaNoche = MaskTerminaNoche->text();
    v.empiezaDia = MaskEmpiezaDia->text();
    v.terminaDia = MaskTerminaDia->text();
    v.nitLocal = MaskNitLocal->text();
    v.nitVei = MaskNitVei->text();
    v.tiempoAtenuacion = MaskTiempoAtenuacion->text();
    v.rings = MaskRings->text();
    for (int m = 0; m < 9; ++m)
        v.octavas[m] = MaskOctava[m]->text();
    v.intervals = model_->intervals();
    return v;
}

// ---------------------------------------------------------------------------------------------
// Loading and the sheet operations

void Form2::load(std::optional<long> initialSerial)
{
    TranslateForm(this);
    linkState().PararRecepcion = false;
    programmingState().fichaModificada = false;
    setWindowTitle(QString::fromLatin1(kAppTitle));
    if (initialSerial && *initialSerial >= 1 && *initialSerial <= 999999) {
        const qint32 serial = qint32(*initialSerial);
        QString error;
        const bool stored = repo_.exists(serial, &error);
        if (!error.isEmpty()) {
            reportFailureText(DatabaseTask::Read, error);
            return;
        }
        if (stored && CarregaProgramacio(serial))
            return;
    }
    QString error;
    const QList<qint32> serials = repo_.orderedSerials(&error);
    if (!error.isEmpty()) {
        reportFailureText(DatabaseTask::Read, error);
        return;
    }
    if (serials.isEmpty()) {
        CreaProgramacio();
        return;
    }
    const qint32 device = linkState().NumeroSerieEqp;
    if (device < 1) {
        CarregaProgramacio(serials.first());
        return;
    }
    if (serials.contains(device))
        CarregaProgramacio(device);
    else
        CreaProgramacio();
}

void Form2::CreaProgramacio()
{
    SheetValues v = sheet();
    nbx::CreaProgramacio(v, programmingState(), clock_);
    showSheet(v);
}

bool Form2::CarregaProgramacio(qint32 serial)
{
    SheetValues v = sheet();
    if (!nbx::CarregaProgramacio(serial, v, programmingState(), repo_, clock_))
        return false;
    showSheet(v);
    cursor_ = serial;
    linkState().NumeroSerieEqp = serial;
    return true;
}

bool Form2::GrabaProgramacio()
{
    const SheetValues v = sheet();
    if (!nbx::GrabaProgramacio(v, programmingState(), repo_, clock_))
        return false;
    cursor_ = sheetSerial(v);
    return true;
}

bool Form2::Modificat()
{
    return nbx::Modificat(sheet(), programmingState(), [this] { return GrabaProgramacio(); }) == LeaveDecision::Proceed;
}

bool Form2::leaveAllowed() { return Modificat(); }

bool Form2::takeEditForImport()
{
    if (!takePendingEdit() || !Modificat())
        return false;
    if (programmingState().fichaModificada) { // not saved: the edit goes, as on leaving the sheet
        programmingState().fichaModificada = false;
        reloadAfterImport();
    }
    return true;
}

void Form2::reloadAfterImport()
{
    // An edit not offered for saving (left pending under the merge of a pending backup at a
    // language change) stays as typed.
    if (programmingState().fichaModificada)
        return;
    const qint32 serial = sheetSerial(sheet());
    QString error;
    if (serial != 0 && repo_.exists(serial, &error))
        CarregaProgramacio(serial);
    else if (!error.isEmpty())
        reportFailureText(DatabaseTask::Read, error);
}

void Form2::CanviaEstatBotons()
{
    if (busySaved_.isEmpty()) {
        for (QPushButton* b : {SSCommandAnterior, SSCommandBorrar, SSCommandBuscar, SSCommandGrabar, SSCommandHelp,
                               SSCommandImprimir, SSCommandIncidencias, SSCommandSiguiente}) {
            busySaved_.append({QPointer<QPushButton>(b), b->isEnabled()});
            b->setEnabled(false);
        }
        return;
    }
    for (const auto& [b, enabled] : busySaved_)
        if (b)
            b->setEnabled(enabled);
    busySaved_.clear();
}

void Form2::navigate(bool forward)
{
    if (!leaveAllowed())
        return;
    QPushButton* button = forward ? SSCommandSiguiente : SSCommandAnterior;
    ButtonBusy busy(button);
    // A blank sheet made at load stands before the first sheet: Siguiente has nowhere to go.
    if (!cursor_ && forward)
        return;
    QString error;
    const std::optional<qint32> target = cursor_ ? (forward ? repo_.next(*cursor_, &error)
                                                            : repo_.previous(*cursor_, &error))
                                                 : repo_.last(&error);
    if (error.isEmpty() && !target && repo_.first(&error))
        prompter().beep();
    if (!error.isEmpty()) {
        reportFailureText(DatabaseTask::Read, error);
        return;
    }
    if (target)
        CarregaProgramacio(*target);
}

void Form2::SSCommandAnterior_Click() { navigate(false); }

void Form2::SSCommandSiguiente_Click() { navigate(true); }

void Form2::SSCommandGrabar_Click()
{
    const SheetValues v = sheet();
    if (GrabarConConfirmacion(v, programmingState(), repo_, clock_))
        cursor_ = sheetSerial(v);
}

void Form2::SSCommandBorrar_Click()
{
    const qint32 serial = sheetSerial(sheet());
    if (serial == 0)
        return;
    if (!Modificat())
        return;
    if (prompter().message(GetS(27), Prompter::Icon::Question, Prompter::Buttons::OkCancel) != Prompter::Answer::Ok)
        return;
    OverrideCursor hourglass;
    if (!BorraFicha(serial, repo_))
        return;
    QString error;
    const std::optional<qint32> first = repo_.first(&error);
    if (!error.isEmpty()) {
        reportFailureText(DatabaseTask::Read, error);
        return;
    }
    if (!first) {
        cursor_.reset();
        CreaProgramacio();
        return;
    }
    CarregaProgramacio(*first);
}

void Form2::SSCommandBuscar_Click()
{
    const std::optional<SearchField> field = searchFieldFromControl(campoActual_);
    if (!field)
        return;
    const std::optional<QString> text = prompter().inputText(searchPrompt(*field), GetS(32), QString());
    if (!text || text->isEmpty())
        return;
    if (!Modificat())
        return;
    QString error;
    const std::optional<qint32> found = repo_.search(*field, *text, &error);
    if (!error.isEmpty()) {
        reportFailureText(DatabaseTask::Read, error);
        return;
    }
    if (found)
        CarregaProgramacio(*found);
}

void Form2::SSCommandExit_Click() { close(); }

void Form2::SSCommandHelp_Click() { AbrirAyuda(); }

void Form2::setPrintHandler(std::function<void(Form2&)> handler) { printHandler() = std::move(handler); }

void Form2::SSCommandImprimir_Click()
{
    if (printHandler())
        printHandler()(*this);
}

void Form2::Timer1_Timer()
{
    const QDateTime now = clock_();
    TextFecha->setText(formatSheetDate(now.date()));
    TextHora->setText(formatLongTime(now.time()));
}

void Form2::setRecordsOpener(std::function<void()> open) { g_recordsOpener = std::move(open); }

void Form2::SSCommandIncidencias_Click()
{
    const std::function<void()> open = g_recordsOpener;
    if (open && close())
        open();
}

void Form2::closeEvent(QCloseEvent* event)
{
    // Not while a device operation is running: its code would outlive the window.
    if (sheetButtonsHeld() || DeviceOperationGuard::running()) {
        event->ignore();
        return;
    }
    // Every way out (the close box, Exit, the main window's exits) leaves the sheet as Exit does:
    // the pending edit is taken, a modified sheet is offered for saving, and a refused value or a
    // failed save keeps the window open with the edits. A quit request does not wait for an edit:
    // the sheet closes as on Cancel to its save question.
    const bool quitting = quitRequest().requested();
    if (!closing_ && ((!quitting && !takePendingEdit()) || !Modificat())) {
        event->ignore();
        return;
    }
    closing_ = true;
    Timer1->stop();
    event->accept();
    emit exited();
}

// ---------------------------------------------------------------------------------------------
// Keys, focus and the field rules

QString Form2::controlName(const QWidget* w) const
{
    if (w == SSTab2->tabBar())
        return SSTab2->objectName();
    for (const QWidget* p = w; p && p != this; p = p->parentWidget()) {
        const QString name = p->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")))
            return name;
    }
    return QString();
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::MouseButtonRelease)
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != this)
        return false;
    if (event->type() == QEvent::MouseButtonRelease) {
        // A click in the serial box puts the caret after the last character.
        if (w == MaskNumeroSerie)
            QTimer::singleShot(0, MaskNumeroSerie, [e = MaskNumeroSerie] { e->end(false); });
        // The weekday boxes are edited only through the weekly editor (not while a device
        // operation is reading the sheet).
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && w->isEnabled() && !DeviceOperationGuard::running()
            && (std::find(weekdayIni.begin(), weekdayIni.end(), w) != weekdayIni.end()
                || std::find(weekdayFi.begin(), weekdayFi.end(), w) != weekdayFi.end())) {
            // Opened once the click is over, so the editor gets the mouse from the start.
            QTimer::singleShot(0, this, [this] {
                Form2WeekSheet sheet(*this);
                openWeekEditor(sheet, this);
            });
        }
        return false;
    }
    // Only the widget the key is meant for; a key passed on to its parents is not seen again.
    if (w != QApplication::focusWidget())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // Tab moves between the fields: it is not typed into them.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false;
    const QString text = key->text();
    if (text.isEmpty())
        return false;
    const KeyOutcome outcome = keyPressed(controlName(w), text.at(0));
    if (outcome.setsFlag)
        programmingState().fichaModificada = true;
    return !outcome.accept;
}

void Form2::onFocusChanged(QWidget* old, QWidget* now)
{
    // Focus moves to other windows (message boxes, popups, other programs) are not a field
    // being left.
    if (!now || now->window() != this)
        return;
    lastFocus_ = TDBGrid1->owns(now) ? TDBGrid1 : now;
    if (old && old->window() == this) {
        if (TDBGrid1->owns(old) && !TDBGrid1->owns(now))
            leaveGrid();
        if (!refocusing_ && !ruleRunning_) {
            const QString leaving = controlName(old);
            if (hasLeaveRule(leaving)) {
                pendingRules_.append(QPointer<QWidget>(findChild<QWidget*>(leaving)));
                QTimer::singleShot(0, this, [this] { runPendingRules(); });
            }
        }
    }
    const QString name = controlName(now);
    switch (controlBehaviour(name).campoActual) {
    case CampoActualEffect::Set: campoActual_ = name; break;
    case CampoActualEffect::Clear: campoActual_.clear(); break;
    case CampoActualEffect::Keep: break;
    }
}

void Form2::refuse(QWidget* focusTarget, long messageId, int page)
{
    ruleRunning_ = true;
    refocusing_ = true;
    if (page != PageNone)
        SSTab2->setCurrentIndex(page);
    // The field must be on the page shown to take the focus back.
    const int home = controlBehaviour(focusTarget->objectName()).page;
    if (home != PageNone && !focusTarget->isVisible())
        SSTab2->setCurrentIndex(home);
    refocusing_ = false;
    prompter().message(GetS(messageId), Prompter::Icon::Critical);
    refocusing_ = true;
    focusTarget->setFocus(Qt::OtherFocusReason);
    refocusing_ = false;
    ruleRunning_ = false;
}

bool Form2::runPendingRules()
{
    while (!pendingRules_.isEmpty()) {
        if (!runRule(pendingRules_.takeFirst())) {
            pendingRules_.clear();
            return false;
        }
    }
    return true;
}

bool Form2::takePendingEdit()
{
    // The sheet's own focus, which it keeps while another window is active, and the control it was
    // last seen in, which a click on an inactive sheet may leave unseen.
    QWidget* own = focusWidget();
    for (QWidget* w : {lastFocus_.data(), own}) {
        const QString name = w ? controlName(w) : QString();
        if (!hasLeaveRule(name))
            continue;
        const QPointer<QWidget> box(findChild<QWidget*>(name));
        if (!pendingRules_.contains(box))
            pendingRules_.append(box);
    }
    bool taken = runPendingRules();
    if (taken) {
        // The grid is taken as if it were left: an open cell is committed with its rule and the
        // sheet is marked modified.
        const bool inGrid = TDBGrid1->owns(own) || lastFocus_ == TDBGrid1;
        if (TDBGrid1->commitPendingEdit() || inGrid)
            leaveGrid();
        if (showGridMessages()) {
            TDBGrid1->setFocus(Qt::OtherFocusReason);
            taken = false;
        }
    }
    own = focusWidget();
    lastFocus_ = TDBGrid1->owns(own) ? TDBGrid1 : own;
    // A refusal met from another window shows the sheet with the value to mend.
    if (!taken && !isActiveWindow()) {
        raise();
        activateWindow();
    }
    return taken;
}

bool Form2::showGridMessages()
{
    const bool refused = std::exchange(gridRefused_, false);
    while (!gridMessages_.isEmpty())
        prompter().message(GetS(gridMessages_.takeFirst()), Prompter::Icon::None, Prompter::Buttons::Ok);
    return refused;
}

void Form2::showCalendar()
{
    // The arrow takes no focus itself: the box is entered first, so the rule of a box left for it
    // runs before the calendar opens.
    MaskFecha->setFocus(Qt::MouseFocusReason);
    if (!runPendingRules())
        return;
    if (!calendar_) {
        calendar_ = new QCalendarWidget(this);
        calendar_->setWindowFlags(Qt::Popup);
        calendar_->setDateRange(kFirstDate, kLastDate);
        auto pick = [this](QDate date) {
            calendar_->hide();
            MaskFecha->setText(formatSheetDate(date));
            MaskFecha->setFocus(Qt::PopupFocusReason);
            programmingState().fichaModificada = true;
        };
        connect(calendar_, &QCalendarWidget::clicked, this, pick);
        connect(calendar_, &QCalendarWidget::activated, this, pick);
    }
    // Day and month names in the program's language.
    calendar_->setLocale(localeForLanguage(appState().codigoIdioma));
    const std::optional<QDate> shown = parseSheetDate(MaskFecha->text());
    calendar_->setSelectedDate(shown ? *shown : clock_().date());
    calendar_->move(MaskFecha->mapToGlobal(QPoint(0, MaskFecha->height())));
    calendar_->show();
}

bool Form2::runRule(QPointer<QWidget> field)
{
    if (!field || ruleRunning_ || closing_)
        return true;
    const QString name = field->objectName();
    auto showPage = [this](int page) {
        if (page == PageNone)
            return;
        refocusing_ = true;
        SSTab2->setCurrentIndex(page);
        refocusing_ = false;
    };
    if (const std::optional<RuleField> rf = ruleFieldOf(name)) {
        auto* edit = static_cast<QLineEdit*>(field.data());
        const RuleOutcome o = applyFieldRule(*rf, edit->text());
        if (o.kind == RuleOutcome::Kind::Refused) {
            refuse(edit, o.messageId, o.page);
            return false;
        }
        if (o.kind == RuleOutcome::Kind::Replaced)
            edit->setText(o.text);
        showPage(o.page);
        return true;
    }
    if (name == QLatin1String("MaskFecha")) {
        const RuleOutcome o = applyDateRule(MaskFecha->text());
        if (o.kind == RuleOutcome::Kind::Refused) {
            refuse(MaskFecha, o.messageId, o.page);
            return false;
        }
        MaskFecha->setText(o.text);
        return true;
    }
    const bool leavingStart = name == QLatin1String("MaskEmpiezaNoche");
    const NightOutcome o = applyNightRule(leavingStart, MaskEmpiezaNoche->text(), MaskTerminaNoche->text());
    if (!o.accepted) {
        refuse(o.focus == NightOutcome::Focus::End ? MaskTerminaNoche : MaskEmpiezaNoche, o.messageId, o.page);
        return false;
    }
    (leavingStart ? MaskEmpiezaNoche : MaskTerminaNoche)->setText(o.text);
    MaskEmpiezaDia->setText(o.empiezaDia);
    MaskTerminaDia->setText(o.terminaDia);
    showPage(o.page);
    return true;
}

void Form2::leaveGrid()
{
    // Leaving the grid marks the sheet modified, changed or not; the grid's model is the
    // sheet's own copy of the intervals.
    programmingState().fichaModificada = true;
    TDBGrid1->commitPendingEdit();
}

} // namespace nbx
