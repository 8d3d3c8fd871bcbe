#include "common/ui/QtPrompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace nbx {

Prompter::Answer QtPrompter::message(const QString& text, Icon icon, Buttons buttons)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromLatin1(kAppTitle));
    box.setTextFormat(Qt::PlainText); // messages are never markup, whatever they contain
    box.setText(displayText(text));
    switch (icon) {
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::None: break;
    }
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case Buttons::RetryCancel: box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
    }
    if (translate_) {
        const std::pair<QMessageBox::StandardButton, const char16_t*> names[] = {
            {QMessageBox::Ok, u"Aceptar"}, {QMessageBox::Cancel, u"Cancelar"}, {QMessageBox::Yes, u"Sí"},
            {QMessageBox::No, u"No"},      {QMessageBox::Retry, u"Reintentar"}};
        for (const auto& [which, native] : names)
            if (QAbstractButton* b = box.button(which))
                b->setText(translate_(QString::fromUtf16(native)));
    }
    switch (box.exec()) {
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Retry: return Answer::Retry;
    default: return Answer::Ok;
    }
}

std::optional<QString> QtPrompter::inputText(const QString& prompt, const QString& title,
                                             const QString& defaultText)
{
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(displayText(title));
    dialog.setLabelText(displayText(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(defaultText);
    if (translate_) {
        dialog.setOkButtonText(translate_(QStringLiteral("Aceptar")));
        dialog.setCancelButtonText(translate_(QStringLiteral("Cancelar")));
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void QtPrompter::beep() { QApplication::beep(); }

} // namespace nbx
