#include "records/ui/Form8.h"

#include "common/Prompter.h"
#include "localisation/Strings.h"
#include "localisation/ui/TranslateForm.h"
#include "records/RecordsRepository.h"
#include "records/RecordsState.h"
#include "records/ui/NamedCalendar.h"

#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace nbx {

namespace {

// A naive value to the minute.
QDateTime toMinute(const QDateTime& m)
{
    return QDateTime(m.date(), QTime(m.time().hour(), m.time().minute()), Qt::UTC);
}

QDateTimeEdit* makeEdit(const QString& name, QWidget* parent)
{
    auto* e = new QDateTimeEdit(parent);
    e->setObjectName(name);
    e->setTimeSpec(Qt::UTC); // no zone: every wall-clock minute exists, DST days included
    e->setDisplayFormat(QStringLiteral("dd/MM/yy HH:mm"));
    // Two-digit years on the wire stand for 2000-2049.
    e->setDateTimeRange(QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC),
                        QDateTime(QDate(2049, 12, 31), QTime(23, 59), Qt::UTC));
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
    auto calendarFor = [this](QDateTimeEdit* edit, QHBoxLayout* row, QToolButton*& button, NamedCalendar*& cal) {
        button = new QToolButton(this);
        button->setArrowType(Qt::DownArrow);
        button->setAccessibleName(edit->accessibleName());
        row->addWidget(button);
        cal = new NamedCalendar(this);
        cal->setWindowFlags(Qt::Popup);
        cal->setRange(edit->minimumDate(), edit->maximumDate());
        connect(button, &QToolButton::clicked, this, [edit, cal] {
            cal->showMonthOf(edit->date());
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
    const QDateTime from = toMinute(MaskFechaIni->dateTime());
    const QDateTime to = toMinute(MaskFechaFi->dateTime());
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
