// Form13: the calibration window, the levels the device measures while it calibrates and its result.
#include "programming/ui/Form13.h"

#include "link/Link.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>

namespace nbx {

Form13::Form13(LiveSheet* sheet, QWidget* parent) : Form13(sheet, defaultLink(), parent) {}

Form13::Form13(LiveSheet* sheet, Link& link, QWidget* parent)
    : LiveWindow(LiveKind::Calibracion, sheet, link, parent)
{
    setObjectName(QStringLiteral("Form13"));
    setWindowTitle(QStringLiteral("Form13"));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("SSPanel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label1 = new QLabel(QStringLiteral("Leq 1s:"), panel);
    Label1->setObjectName(QStringLiteral("Label1"));
    LbNivel = new QLabel(panel);
    LbNivel->setObjectName(QStringLiteral("LbNivel"));
    Label4 = new QLabel(QStringLiteral("dBA"), panel);
    Label4->setObjectName(QStringLiteral("Label4"));
    QFont big = LbNivel->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    big.setFamily(QStringLiteral("DejaVu Sans Mono"));
    LbNivel->setFont(big);
    LbNivel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LbNivel->setMinimumWidth(LbNivel->fontMetrics().horizontalAdvance(QStringLiteral("0000.0")));
    Label1->setBuddy(LbNivel);

    auto* row = new QHBoxLayout(panel);
    row->addStretch(1);
    row->addWidget(Label1);
    row->addWidget(LbNivel);
    row->addWidget(Label4);
    row->addStretch(1);
    body()->addWidget(panel, 1);
    setMinimumWidth(360);
}

void Form13::Form_Load()
{
    LiveWindow::Form_Load();
    LbNivel->setText(QStringLiteral("---"));
}

void Form13::showCalibrationLevel(const QString& text) { LbNivel->setText(text); }

} // namespace nbx
