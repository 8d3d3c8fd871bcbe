// A "hh:mm" box of the weekly editor: drops typed blanks and reports focus and typing to its owner.
#pragma once

#include <QLineEdit>
#include <functional>

namespace nbx {

class TimeBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TimeBox(const QString& name, QWidget* parent = nullptr);

    std::function<void(TimeBox*)> onFocusIn;            // the box got the focus
    std::function<void(TimeBox*)> onTyped;              // a character key reached the box
    std::function<void(TimeBox*)> onFocusOut;           // the focus left for another control

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace nbx
