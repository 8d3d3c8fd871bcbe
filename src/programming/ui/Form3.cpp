// Form3: the real-time view, the device's multi-function display shown live.
#include "programming/ui/Form3.h"

#include "common/ui/WidgetMakers.h"
#include "link/Link.h"
#include "localisation/Strings.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace nbx {

namespace {

// A label that keeps its place in the layout while hidden.
QLabel* makeFlag(const QString& name, const QString& text, QWidget* parent)
{
    QLabel* l = makeLabel(name, text, parent);
    QSizePolicy p = l->sizePolicy();
    p.setRetainSizeWhenHidden(true);
    l->setSizePolicy(p);
    l->setVisible(false);
    return l;
}

} // namespace

Form3::Form3(LiveSheet* sheet, QWidget* parent) : Form3(sheet, defaultLink(), parent) {}

Form3::Form3(LiveSheet* sheet, Link& link, QWidget* parent)
    : LiveWindow(LiveKind::TiempoReal, sheet, link, parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QString::fromLatin1(kAppTitle));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("SSPanel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setStyleSheet(QStringLiteral("QFrame#SSPanel1 { background: #1d2b1d; }"
                                        "QFrame#SSPanel1 QLabel { color: #b8f5b0; }"));
    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("MULTIFUNCTION      DISPLAY"), this);
    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("OK"), this);
    QFont heading = Label1->font();
    heading.setBold(true);
    Label1->setFont(heading);
    Label2->setFont(heading);

    LbFecha = makeLabel(QStringLiteral("LbFecha"), QString(), panel);
    LbHora = makeLabel(QStringLiteral("LbHora"), QString(), panel);
    LbSesion = makeFlag(QStringLiteral("LbSesion"), QStringLiteral("Sesión"), panel);
    LbNoche = makeLabel(QStringLiteral("LbNoche"), QString(), panel);
    LbRed = makeFlag(QStringLiteral("LbRed"), QStringLiteral("DESCONEXIÓN DE RED"), panel);
    LbSensor = makeFlag(QStringLiteral("LbSensor"), QStringLiteral("SENSOR INACTIVO"), panel);
    LbInhabil = makeFlag(QStringLiteral("LbInhabil"), QStringLiteral("INTERVALO INHÁBIL"), panel);
    LbNivel = makeLabel(QStringLiteral("LbNivel"), QString(), panel);
    LbAtenuador = makeLabel(QStringLiteral("LbAtenuador"), QString(), panel);
    QFont big = LbNivel->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    big.setStyleHint(QFont::Monospace);
    big.setFamily(QStringLiteral("DejaVu Sans Mono"));
    LbNivel->setFont(big);
    LbAtenuador->setFont(big);
    for (QLabel* l : {LbNivel, LbAtenuador}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("0000.0")));
    }
    LbAtenuador->setTextFormat(Qt::PlainText);
    auto* dba = makeLabel(QStringLiteral("Label3"), QStringLiteral("dBA"), panel);
    auto* db = makeLabel(QStringLiteral("Label4"), QStringLiteral("dB"), panel);
    ProgressBar1 = new QProgressBar(panel);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, kAttenuationBarMax);
    ProgressBar1->setTextVisible(false);
    {
        QSizePolicy p = ProgressBar1->sizePolicy();
        p.setRetainSizeWhenHidden(true);
        ProgressBar1->setSizePolicy(p);
    }
    ProgressBar1->setVisible(false);

    auto* g = new QGridLayout(panel);
    g->setHorizontalSpacing(14);
    g->addWidget(LbFecha, 0, 0);
    g->addWidget(LbHora, 0, 1);
    g->addWidget(LbSesion, 0, 2);
    g->addWidget(LbNoche, 0, 3, 1, 2);
    g->addWidget(LbRed, 1, 0, 1, 2);
    g->addWidget(LbSensor, 1, 2);
    g->addWidget(LbInhabil, 1, 3, 1, 2);
    g->addWidget(LbNivel, 2, 0, 1, 2);
    g->addWidget(dba, 2, 2);
    g->addWidget(LbAtenuador, 2, 3);
    g->addWidget(db, 2, 4);
    g->addWidget(ProgressBar1, 3, 0, 1, 5);

    auto* head = new QHBoxLayout;
    head->addWidget(Label1);
    head->addStretch(1);
    head->addWidget(Label2);
    body()->addLayout(head);
    body()->addWidget(panel, 1);
}

void Form3::Form_Load()
{
    LiveWindow::Form_Load();
    LbAtenuador->setText(QStringLiteral("0"));
    LbNivel->setText(QStringLiteral("---"));
}

void Form3::showRealTime(const RealTimeDisplay& d)
{
    LbFecha->setText(d.fecha);
    LbHora->setText(d.hora);
    LbSesion->setVisible(d.sesion);
    LbNoche->setText(QLatin1Char('(') + GetS(d.noche ? 99 : 98) + QLatin1Char(')'));
    LbRed->setVisible(d.red);
    LbSensor->setVisible(d.sensor);
    LbInhabil->setVisible(d.inhabil);
    LbNivel->setText(d.nivel);
    LbAtenuador->setText(d.atenuador);
    ProgressBar1->setVisible(d.barVisible);
    if (d.barVisible)
        ProgressBar1->setValue(d.barValue);
}

} // namespace nbx
