// Measures the start-up sequence in-process, from an empty folder to the shown main window.
#include "common/Database.h"
#include "shell/ui/Form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<double> first, again;
    for (int i = 0; i < 10; ++i) {
        QTemporaryDir dir;
        qputenv("NBX70_HOME", dir.path().toUtf8());
        for (int pass = 0; pass < 2; ++pass) {
            QElapsedTimer t;
            t.start();
            {
                nbx::Form1 form;
                form.start(QString(), true);
                (pass == 0 ? first : again).push_back(t.nsecsElapsed() / 1e6);
                form.hide();
            }
            nbx::Database::close();
        }
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("start-up to shown main window, first run (creates ini and database): median %.1f ms\n",
                median(first));
    std::printf("start-up to shown main window, existing files: median %.1f ms\n", median(again));
    std::printf("target: under 150 ms\n");
    return 0;
}
