#include "programming/ui/Form10.h"

#include "common/Prompter.h"
#include "common/chart/ui/ChartView.h"
#include "localisation/Strings.h"
#include "localisation/ui/TranslateForm.h"
#include "programming/ui/TimeBox.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace nbx {

namespace {

struct DayName {
    const char* word;     // in control names
    const char* caption;  // frame caption
};
const DayName kDays[7] = {{"Lunes", "Lunes"},         {"Martes", "Martes"},   {"Miercoles", "Miercoles"},
                          {"Jueves", "Jueves"},       {"Viernes", "Viernes"}, {"Sabado", "S\u00e1bado"},
                          {"Domingo", "Domingo"}};

void showError(long id)
{
    prompter().message(GetS(id), Prompter::Icon::Critical, Prompter::Buttons::Ok);
}

} // namespace

Form10::Form10(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    const QIcon stepIcon = style()->standardIcon(QStyle::SP_ArrowForward);

    Label1 = new QLabel(QStringLiteral("HORARIOS DE SESION"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    Label1->setFont(bold);
    Label2 = new QLabel(QStringLiteral("Introducir los horarios de sesi\u00f3n secuencialmente de lunes a domingo"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(QStringLiteral("Para aceptar y avanzar al siguiente d\u00eda pulsar:"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(stepIcon.pixmap(20, 20));

    auto* dayRow = new QHBoxLayout;
    for (int d = 0; d < 7; ++d) {
        const QString word = QString::fromLatin1(kDays[d].word);
        Day& day = days[d];
        day.frame = new QGroupBox(QString::fromUtf8(kDays[d].caption), this);
        day.frame->setObjectName(QStringLiteral("Frame") + word);
        auto radio = [&](const QString& prefix, const QString& text) {
            auto* r = new QRadioButton(text, day.frame);
            r->setObjectName(prefix + word);
            return r;
        };
        day.optionTancat = radio(QStringLiteral("OptionTancat"), QStringLiteral("Cerrado"));
        day.option24 = radio(QStringLiteral("Option24"), QStringLiteral("24h"));
        day.optionHorario = radio(QStringLiteral("OptionHorario"), QStringLiteral("Horario"));
        day.ini = new TimeBox(QStringLiteral("Mask%1Ini").arg(word), day.frame);
        day.fi = new TimeBox(QStringLiteral("Mask%1Fi").arg(word), day.frame);
        // Names for assistive technology, translated with the window.
        setAccessibleParts(day.ini, {day.frame->title(), QStringLiteral("Inicio")});
        setAccessibleParts(day.fi, {day.frame->title(), QStringLiteral("Fin")});
        day.step = new QPushButton(stepIcon, QString(), day.frame);
        day.step->setObjectName(QStringLiteral("SSCommand") + word);
        setAccessibleParts(day.step, {day.frame->title()});
        // Step buttons take no focus: pressing one never runs a box's focus check first (the
        // step checks the boxes itself); Enter presses the current one.
        day.step->setFocusPolicy(Qt::NoFocus);
        day.step->setAutoDefault(false);

        auto* v = new QVBoxLayout(day.frame);
        v->setSpacing(2);
        v->addWidget(day.optionTancat);
        v->addWidget(day.option24);
        v->addWidget(day.optionHorario);
        auto* boxes = new QHBoxLayout;
        boxes->addWidget(day.ini);
        boxes->addWidget(day.fi);
        v->addLayout(boxes);
        v->addWidget(day.step, 0, Qt::AlignHCenter);
        dayRow->addWidget(day.frame);

        connect(day.optionTancat, &QRadioButton::clicked, this, [this, d] { optionClicked(d, DayKind::Closed); });
        connect(day.option24, &QRadioButton::clicked, this, [this, d] { optionClicked(d, DayKind::AllDay); });
        connect(day.optionHorario, &QRadioButton::clicked, this, [this, d] { optionClicked(d, DayKind::Hours); });
        connect(day.step, &QPushButton::clicked, this, [this, d] { stepClicked(d); });
        for (TimeBox* b : {day.ini, day.fi}) {
            b->onFocusIn = [this](TimeBox* box) { boxFocusIn(box); };
            b->onFocusOut = [this](TimeBox* box) { boxFocusOut(box); };
            b->onTyped = [this](TimeBox*) {
                if (sheet_)
                    sheet_->setModified();
            };
        }
    }
    // FrameLunes takes the button face colour.
    days[0].frame->setBackgroundRole(QPalette::Button);
    days[0].frame->setAutoFillBackground(true);

    Chart2D1 = new ChartView(this);
    Chart2D1->setObjectName(QStringLiteral("Chart2D1"));
    Chart2D1->setMinimumHeight(230);
    setUpWeekChart(*Chart2D1->model());

    SSCommandRetry = new QPushButton(style()->standardIcon(QStyle::SP_BrowserReload), QString(), this);
    SSCommandRetry->setObjectName(QStringLiteral("SSCommandRetry"));
    setAccessibleParts(SSCommandRetry, {QStringLiteral("Reintentar")});
    SSCommandRetry->setAutoDefault(false);
    SSCommandAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    SSCommandAceptar->setObjectName(QStringLiteral("SSCommandAceptar"));
    SSCommandAceptar->setFocusPolicy(Qt::NoFocus);
    SSCommandAceptar->setAutoDefault(false);
    SSCommandExit = new QPushButton(QStringLiteral("Cancelar"), this);
    SSCommandExit->setObjectName(QStringLiteral("SSCommandExit"));
    // Cancelar takes no focus, so leaving is never held up by a box's check.
    SSCommandExit->setFocusPolicy(Qt::NoFocus);
    SSCommandExit->setAutoDefault(false);
    connect(SSCommandRetry, &QPushButton::clicked, this, &Form10::SSCommandRetry_Click);
    connect(SSCommandAceptar, &QPushButton::clicked, this, &Form10::SSCommandAceptar_Click);
    connect(SSCommandExit, &QPushButton::clicked, this, &Form10::SSCommandExit_Click);

    auto* main = new QVBoxLayout(this);
    main->addWidget(Label1);
    main->addWidget(Label2);
    auto* hint = new QHBoxLayout;
    hint->addWidget(Label3);
    hint->addWidget(Image1);
    hint->addStretch();
    main->addLayout(hint);
    main->addLayout(dayRow);
    main->addWidget(Chart2D1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SSCommandRetry);
    buttons->addStretch();
    buttons->addWidget(SSCommandAceptar);
    buttons->addWidget(SSCommandExit);
    main->addLayout(buttons);
    resize(980, 560);
}

void Form10::load(WeekSheet& sheet)
{
    sheet_ = &sheet;
    TranslateForm(this);
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setStep(0);
    const WeekTexts t = sheet.weekTexts();
    for (int d = 0; d < 7; ++d) {
        days[d].ini->setText(t[2 * d]);
        days[d].fi->setText(t[2 * d + 1]);
        selectKind(d, recogniseDay(t[2 * d], t[2 * d + 1]));
    }
    ChartModel& chart = *Chart2D1->model();
    DibuixaDies(chart);
    DibuixaNitDia(chart, sheet.nightStart(), sheet.nightEnd());
    DibuixaSesions(chart, texts());
    // Start on Monday's option, not in a box (a box's focus would switch the day to Horario).
    const Day& monday = days[0];
    QRadioButton* first = monday.optionTancat->isChecked() ? monday.optionTancat
                          : monday.option24->isChecked()   ? monday.option24
                                                           : monday.optionHorario;
    first->setFocus(Qt::OtherFocusReason);
}

WeekTexts Form10::texts() const
{
    WeekTexts t;
    for (int d = 0; d < 7; ++d) {
        t[2 * d] = days[d].ini->text();
        t[2 * d + 1] = days[d].fi->text();
    }
    return t;
}

void Form10::optionClicked(int day, DayKind kind)
{
    Day& d = days[day];
    switch (kind) {
    case DayKind::Closed:
        d.ini->setText(kClosedTime);
        d.fi->setText(kClosedTime);
        break;
    case DayKind::AllDay:
        d.ini->setText(QStringLiteral("00:00"));
        d.fi->setText(QStringLiteral("23:59"));
        break;
    case DayKind::Hours:
        d.ini->setEnabled(true);
        d.fi->setEnabled(true);
        break;
    }
}

// Selecting an option in code runs its rule too (setChecked alone does not click).
void Form10::selectKind(int day, DayKind kind)
{
    Day& d = days[day];
    QRadioButton* r = kind == DayKind::Closed ? d.optionTancat : kind == DayKind::AllDay ? d.option24 : d.optionHorario;
    r->setChecked(true);
    optionClicked(day, kind);
}

void Form10::setStep(int step)
{
    step_ = step;
    for (int d = 0; d < 7; ++d) {
        days[d].frame->setEnabled(d == step);
        days[d].step->setEnabled(d == step);
        days[d].step->setDefault(d == step);
    }
    SSCommandAceptar->setEnabled(step == 7);
    SSCommandAceptar->setDefault(step == 7);
}

void Form10::stepClicked(int day)
{
    if (day != step_)
        return;
    const StepResult r = Step(day, texts());
    if (r.closeDay)
        selectKind(day, DayKind::Closed);
    if (!r.passes) {
        showError(r.messageId);
        if (r.focus == StepResult::Focus::Start)
            focusBox(days[day].ini);
        else if (r.focus == StepResult::Focus::End)
            focusBox(days[day].fi);
        return;
    }
    setStep(day + 1);
    if (day == 6) {
        DibuixaSesions(*Chart2D1->model(), texts());
        return;
    }
    // The keyboard goes on with the next day.
    refocusing_ = true;
    days[day + 1].optionHorario->isChecked() ? days[day + 1].optionHorario->setFocus()
    : days[day + 1].option24->isChecked()    ? days[day + 1].option24->setFocus()
                                             : days[day + 1].optionTancat->setFocus();
    refocusing_ = false;
}

void Form10::SSCommandRetry_Click()
{
    setStep(0);
}

void Form10::SSCommandAceptar_Click()
{
    if (step_ != 7)
        return;
    if (sheet_) {
        sheet_->setWeekTexts(texts());
        sheet_->setModified();
    }
    leaving_ = true;
    accept();
}

void Form10::SSCommandExit_Click()
{
    reject();
}

void Form10::reject()
{
    leaving_ = true;
    QDialog::reject();
}

int Form10::dayOf(const TimeBox* box) const
{
    for (int d = 0; d < 7; ++d)
        if (days[d].ini == box || days[d].fi == box)
            return d;
    return -1;
}

void Form10::boxFocusIn(TimeBox* box)
{
    const int d = dayOf(box);
    if (d >= 0 && !days[d].optionHorario->isChecked())
        selectKind(d, DayKind::Hours);
}

// The check of a box the user left runs once the focus has arrived where it went, so that no
// message box is shown from inside a focus change.
void Form10::boxFocusOut(TimeBox* box)
{
    if (leaving_ || refocusing_)
        return;
    QTimer::singleShot(0, this, [this, b = QPointer<TimeBox>(box)] {
        if (b)
            checkBox(b);
    });
}

void Form10::checkBox(TimeBox* box)
{
    if (leaving_ || !isVisible() || !box->isEnabled() || box->hasFocus() || isValidTime(box->text()))
        return;
    // The day's own options stay reachable, so a day entered by mistake can be closed again.
    const int d = dayOf(box);
    QWidget* now = QApplication::focusWidget();
    if (d >= 0 && (now == days[d].optionTancat || now == days[d].option24 || now == days[d].optionHorario))
        return;
    showError(19);
    if (!leaving_)
        focusBox(box);
}

void Form10::focusBox(TimeBox* box)
{
    refocusing_ = true;
    box->setFocus(Qt::OtherFocusReason);
    refocusing_ = false;
}

void openWeekEditor(WeekSheet& sheet, QWidget* parent)
{
    static bool open = false;  // a second click queued meanwhile opens nothing
    if (open)
        return;
    QScopedValueRollback<bool> guard(open, true);
    Form10 editor(parent);
    editor.load(sheet);
    editor.exec();
}

} // namespace nbx
