#include "common/ui/WidgetMakers.h"

#include <QLabel>
#include <QPushButton>

namespace nbx {

QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent, QWidget* buddy)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

QPushButton* makeButton(const QString& name, const QString& text, QWidget* parent, int minimumHeight)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setMinimumHeight(minimumHeight);
    return b;
}

} // namespace nbx
