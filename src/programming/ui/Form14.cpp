// Form14: the sound level meter window, the device's LF, LFmax, LeqT, Leq1s and nine octave bands live.
#include "programming/ui/Form14.h"

#include "common/ui/WidgetMakers.h"
#include "link/Link.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace nbx {

namespace {

QLabel* makeValue(const QString& name, QWidget* parent)
{
    QLabel* l = makeLabel(name, QString(), parent);
    QFont f = l->font();
    f.setBold(true);
    f.setFamily(QStringLiteral("DejaVu Sans Mono"));
    l->setFont(f);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("0000.0")));
    return l;
}

const char* const kBandNames[9] = {"Leq1s (31.5Hz):", "Leq1s (63Hz):", "Leq1s (125Hz):",
                                   "Leq1s (250Hz):",  "Leq1s (500Hz):", "Leq1s (1kHz):",
                                   "Leq1s (2kHz):",   "Leq1s (4kHz):",  "Leq1s (8kHz):"};
// Unit labels of the bands, by their historical names.
const char* const kBandUnits[9] = {"Label15", "Label16", "Label17", "Label18", "Label24",
                                   "Label25", "Label26", "Label27", "Label28"};

} // namespace

Form14::Form14(LiveSheet* sheet, QWidget* parent) : Form14(sheet, defaultLink(), parent) {}

Form14::Form14(LiveSheet* sheet, Link& link, QWidget* parent)
    : LiveWindow(LiveKind::Sonometro, sheet, link, parent)
{
    setObjectName(QStringLiteral("Form14"));
    setWindowTitle(QStringLiteral("Form14"));

    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("MULTIFUNCTION      DISPLAY"), this);
    QFont heading = Label1->font();
    heading.setBold(true);
    Label1->setFont(heading);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("SSPanel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* g = new QGridLayout(panel);
    g->setHorizontalSpacing(8);

    Lb1 = makeLabel(QStringLiteral("Lb1"), QStringLiteral("LF:"), panel);
    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("LFmax:"), panel);
    Label3 = makeLabel(QStringLiteral("Label3"), QStringLiteral("LeqT:"), panel);
    Label4 = makeLabel(QStringLiteral("Label4"), QStringLiteral("Leq1s (global):"), panel);
    LbLF = makeValue(QStringLiteral("LbLF"), panel);
    LbLFmax = makeValue(QStringLiteral("LbLFmax"), panel);
    LbLeqT = makeValue(QStringLiteral("LbLeqT"), panel);
    LbLeq1s = makeValue(QStringLiteral("LbLeq1s"), panel);
    QLabel* names[4] = {Lb1, Label2, Label3, Label4};
    QLabel* values[4] = {LbLF, LbLFmax, LbLeqT, LbLeq1s};
    for (int i = 0; i < 4; ++i) {
        names[i]->setBuddy(values[i]);
        g->addWidget(names[i], i, 0);
        g->addWidget(values[i], i, 1);
        g->addWidget(makeLabel(QStringLiteral("Label%1").arg(20 + i), QStringLiteral("dBA"), panel), i, 2);
    }
    // The nine bands in a second column pair, beside the four values.
    g->setColumnMinimumWidth(3, 24);
    for (int b = 0; b < 9; ++b) {
        bandNames[size_t(b)] = makeLabel(QStringLiteral("Label%1").arg(5 + b), QString::fromLatin1(kBandNames[b]), panel);
        LbOct[size_t(b)] = makeValue(QStringLiteral("LbOct_%1").arg(b), panel);
        bandNames[size_t(b)]->setBuddy(LbOct[size_t(b)]);
        g->addWidget(bandNames[size_t(b)], b, 4);
        g->addWidget(LbOct[size_t(b)], b, 5);
        g->addWidget(makeLabel(QString::fromLatin1(kBandUnits[b]), QStringLiteral("dB"), panel), b, 6);
    }
    g->setRowStretch(9, 1);

    body()->addWidget(Label1);
    body()->addWidget(panel, 1);
}

void Form14::showMeter(const MeterDisplay& d)
{
    LbLF->setText(d.values[0]);
    LbLFmax->setText(d.values[1]);
    LbLeqT->setText(d.values[2]);
    LbLeq1s->setText(d.values[3]);
    Label3->setText(d.leqTLabel);
    for (size_t b = 0; b < 9; ++b)
        LbOct[b]->setText(d.bands[b]);
}

} // namespace nbx
