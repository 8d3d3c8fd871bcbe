#include "programming/ui/TimeBox.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace nbx {

namespace {

// Focus changes that come from another window (a message box, a menu) are not the user moving
// between controls: they neither select the day nor check the box.
bool fromAnotherWindow(Qt::FocusReason r)
{
    return r == Qt::ActiveWindowFocusReason || r == Qt::PopupFocusReason;
}

} // namespace

TimeBox::TimeBox(const QString& name, QWidget* parent) : QLineEdit(parent)
{
    setObjectName(name);
    // "#" takes a digit or a sign, so a closed day's "--:--" fits the mask too.
    setInputMask(QStringLiteral("##:##"));
    setAlignment(Qt::AlignCenter);
    setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00:000")) + 16);
}

void TimeBox::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (onFocusIn && !fromAnotherWindow(event->reason()))
        onFocusIn(this);
}

void TimeBox::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (onFocusOut && !fromAnotherWindow(event->reason()))
        onFocusOut(this);
}

void TimeBox::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    // Character keys mark the sheet modified, a dropped blank included; moving keys do not.
    const bool character = (!text.isEmpty() && text.at(0).isPrint()) || event->key() == Qt::Key_Backspace;
    if (character && onTyped)
        onTyped(this);
    if (text == QLatin1String(" "))
        return; // a blank is dropped
    QLineEdit::keyPressEvent(event);
}

} // namespace nbx
