// Small builders for the named controls the windows lay out in code.
#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace nbx {

// A label with its object name; `buddy` (when given) takes the focus of its mnemonic.
QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent, QWidget* buddy = nullptr);

// A push button with its object name and a minimum height.
QPushButton* makeButton(const QString& name, const QString& text, QWidget* parent, int minimumHeight);

} // namespace nbx
