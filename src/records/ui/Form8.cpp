#include "records/ui/Form8.h"

#include "common/Prompter.h"
#include "common/ui/DateBox.h"
#include "localisation/Strings.h"
#include "localisation/ui/TranslateForm.h"
#include "records/RecordsRepository.h"
#include "records/RecordsState.h"
#include "records/ui/NamedCalendar.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace nbx {

namespace {

DateBox* makeEdit(const QString& name, QWidget* parent)
{
    auto* e = new DateBox(DateBox::Kind::DateTime, name, parent);
    // Two-digit years on the wire stand for 2000-2049.
    e->setDateRange(QDate(2000, 1, 1), QDate(2049, 12, 31));
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00 00:000")) + 16);
    return e;
}

} // namespace

Form8::Form8(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form8"));
    setAccessibleName(QStringLiteral("Form8"));
    setModal(true);
    MaskFechaIni = makeEdit(QStringLiteral("MaskFechaIni"), this);
    MaskFechaFi = makeEdit(QStringLiteral("MaskFechaFi"), this);
    auto* ini = new QGroupBox(QStringLiteral("INICIO"), this);
    ini->setObjectName(QStringLiteral("Frame1"));
    auto* iniRow = new QHBoxLayout(ini);
    iniRow->addWidget(MaskFechaIni);
    auto* fi = new QGroupBox(QStringLiteral("FIN"), this);
    fi->setObjectName(QStringLiteral("Frame2"));
    auto* fiRow = new QHBoxLayout(fi);
    fiRow->addWidget(MaskFechaFi);
    MaskFechaIni->setAccessibleName(QStringLiteral("INICIO"));
    MaskFechaFi->setAccessibleName(QStringLiteral("FIN"));
    auto calendarFor = [this](DateBox* edit, QHBoxLayout* row, QToolButton*& button, NamedCalendar*& cal) {
        button = new QToolButton(this);
        button->setArrowType(Qt::DownArrow);
        button->setAccessibleName(edit->accessibleName());
        row->addWidget(button);
        cal = new NamedCalendar(this);
        cal->setWindowFlags(Qt::Popup);
        cal->setRange(edit->minimumDate(), edit->maximumDate());
        connect(button, &QToolButton::clicked, this, [edit, cal] {
            // The month of the date typed; today's (within the range) when none is.
            const QDate today = std::clamp(QDate::currentDate(), edit->minimumDate(), edit->maximumDate());
            cal->showMonthOf(edit->date().value_or(today));
            cal->move(edit->mapToGlobal(QPoint(0, edit->height())));
            cal->show();
        });
        connect(cal, &NamedCalendar::dateChosen, this, [edit, cal](const QDate& d) {
            edit->setDate(d); // the time stays
            cal->hide();
        });
    };
    calendarFor(MaskFechaIni, iniRow, CalendarioIni, calendarIni);
    calendarFor(MaskFechaFi, fiRow, CalendarioFi, calendarFi);

    CommandVolver = new QPushButton(QStringLiteral("Aceptar"), this);
    CommandVolver->setObjectName(QStringLiteral("CommandVolver"));
    CommandVolver->setDefault(true);
    SSCommandCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    SSCommandCancelar->setObjectName(QStringLiteral("SSCommandCancelar"));

    auto* fields = new QHBoxLayout;
    fields->addWidget(ini);
    fields->addWidget(fi);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CommandVolver);
    buttons->addWidget(SSCommandCancelar);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(CommandVolver, &QPushButton::clicked, this, &Form8::CommandVolver_Click);
    connect(SSCommandCancelar, &QPushButton::clicked, this, &Form8::SSCommandCancelar_Click);
}

void Form8::Form_Load(const QDateTime& now, const std::optional<QDateTime>& newestStart)
{
    TranslateForm(this);
    // The calendars' names, Sunday first, from the program's texts: FROM's first, then TO's.
    auto texts = [](std::initializer_list<long> ids) {
        QStringList out;
        for (long id : ids)
            out << GetS(id);
        return out;
    };
    for (NamedCalendar* c : {calendarIni, calendarFi})
        c->setNames(texts({190, 184, 185, 186, 187, 188, 189}), texts({76, 70, 71, 72, 73, 74, 75}),
                    texts({172, 173, 174, 175, 176, 177, 178, 179, 180, 181, 182, 183}));
    const DefaultRange r = defaultRange(now, newestStart);
    MaskFechaFi->setDateTime(r.to);
    MaskFechaIni->setDateTime(r.from);
}

void Form8::CommandVolver_Click()
{
    // What is typed is taken whole or refused: a date that does not exist or lies outside
    // 2000-2049, or a time that does not exist, keeps the dialog open with the focus in its field.
    for (DateBox* field : {MaskFechaIni, MaskFechaFi}) {
        if (const long refusal = field->refusal()) {
            prompter().message(GetS(refusal), Prompter::Icon::Critical);
            field->setFocus();
            return;
        }
    }
    const QDateTime from = MaskFechaIni->dateTime();
    const QDateTime to = MaskFechaFi->dateTime();
    if (to <= from) {
        prompter().message(GetS(24), Prompter::Icon::None);
        MaskFechaIni->setFocus();
        return;
    }
    RecordsState& st = recordsState();
    st.rangoFechas = RangoFechas::fromMoments(from, to);
    st.rangoCancelado = false;
    accept();
}

void Form8::SSCommandCancelar_Click() { reject(); }

void Form8::reject()
{
    recordsState().rangoCancelado = true;
    QDialog::reject();
}

} // namespace nbx
