#include "common/ui/QtPrompter.h"

#include <QApplication>
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
