// Pictures of the shell's windows for a person to look at: NBX70_SCREENSHOT_DIR=<folder> runs it.
#include "common/AppState.h"
#include "link/Link.h"
#include "localisation/ui/Form7.h"
#include "shell/ui/Form1.h"
#include "shell/ui/Form11.h"
#include "shell/ui/Form12.h"
#include "shell/ui/Form4.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

using namespace nbx;

TEST(ShellScreenshots, Windows)
{
    const QString dir = qEnvironmentVariable("NBX70_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "set NBX70_SCREENSHOT_DIR to write the pictures";
    test::TempDatabase db;
    test::ScriptedPrompter prompts;
    appState().codigoIdioma = 1000;
    auto shoot = [&](QWidget& w, const char* name) {
        w.show();
        QApplication::processEvents();
        EXPECT_TRUE(w.grab().save(QDir(dir).filePath(QString::fromLatin1(name) + ".png")));
        w.hide();
    };
    Form1 form1;
    shoot(form1, "form1");
    Form4 form4;
    form4.Form_Load();
    shoot(form4, "form4");
    Form7 form7;
    form7.Form_Load();
    shoot(form7, "form7");
    Form11 form11(linkState());
    form11.Form_Load();
    shoot(form11, "form11");
    Form12 form12(linkState());
    form12.Form_Load();
    shoot(form12, "form12");
}
