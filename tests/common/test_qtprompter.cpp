#include "common/ui/QtPrompter.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

using namespace nbx;

TEST(QtPrompter, MessagesAreShownAsPlainTextWithLineBreaks)
{
    QtPrompter qt;
    Prompter& prompter = qt;
    Qt::TextFormat format = Qt::RichText;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        format = box->textFormat();
        shown = box->text();
        box->accept();
    });
    prompter.message(QStringLiteral("No se ha podido abrir <b>datos</b>\rsegunda"), Prompter::Icon::Critical);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, QStringLiteral("No se ha podido abrir <b>datos</b>\nsegunda"));
}

// Every button reads in the program's language, before a language is set up (the first boxes of
// the start, in Spanish) and after.
TEST(QtPrompter, ButtonsAreNamedInTheProgramsLanguage)
{
    QtPrompter qt([](const QString& native) { return GetS(native); });
    Prompter& prompter = qt;
    auto buttonsOf = [&](Prompter::Buttons buttons) {
        QStringList names;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_TRUE(box);
            for (QAbstractButton* b : box->buttons())
                names << b->text().remove(u'&');
            names.sort();
            box->reject();
        });
        prompter.message(QStringLiteral("Texto"), Prompter::Icon::Question, buttons);
        return names.join(u'|');
    };
    auto inputButtons = [&] {
        QStringList names;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            names << dialog->okButtonText().remove(u'&') << dialog->cancelButtonText().remove(u'&');
            dialog->reject();
        });
        EXPECT_FALSE(prompter.inputText(QStringLiteral("Texto"), QStringLiteral("Buscar"), QString()));
        return names.join(u'|');
    };
    const struct {
        const char* language; // empty: none set up yet
        const char* ok;
        const char* okCancel;
        const char* yesNoCancel;
        const char* retryCancel;
        const char* input;
    } cases[] = {
        {"", "Aceptar", "Aceptar|Cancelar", "Cancelar|No|Sí", "Cancelar|Reintentar", "Aceptar|Cancelar"},
        {"English", "OK", "Cancel|OK", "Cancel|No|Yes", "Cancel|Retry", "OK|Cancel"},
        {"Deutsch", "OK", "Abbrechen|OK", "Abbrechen|Ja|Nein", "Abbrechen|Wiederholen", "OK|Abbrechen"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        QString name = QStringLiteral("Language.db");
        if (*c.language) {
            ASSERT_TRUE(SetupLanguage(name, QString::fromUtf8(c.language), langDesk(), {QStringLiteral(NBX70_SOURCE_RESOURCES)}));
        }
        EXPECT_EQ(buttonsOf(Prompter::Buttons::Ok).toStdString(), c.ok);
        EXPECT_EQ(buttonsOf(Prompter::Buttons::OkCancel).toStdString(), c.okCancel);
        EXPECT_EQ(buttonsOf(Prompter::Buttons::YesNoCancel).toStdString(), c.yesNoCancel);
        EXPECT_EQ(buttonsOf(Prompter::Buttons::RetryCancel).toStdString(), c.retryCancel);
        EXPECT_EQ(inputButtons().toStdString(), c.input);
    }
    shutdownLangDesk();
}
