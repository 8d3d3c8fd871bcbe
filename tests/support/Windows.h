// The program's windows as the tests find them, and the events a click or a key leaves pending.
#pragma once

#include <QApplication>
#include <QWidget>

namespace nbx::test {

// The shown top-level window of type W, if any.
template <class W>
W* shownWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<W*>(w); f && f->isVisible())
            return f;
    return nullptr;
}

// Runs the events a click or a key leaves pending, and those they post.
void settle();

} // namespace nbx::test
