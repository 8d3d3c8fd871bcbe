// Measures the weekly editor: redrawing the week chart after a change, and opening the editor.
#include "../BenchSupport.h"
#include "common/chart/ui/ChartView.h"
#include "programming/WeekHours.h"
#include "programming/ui/Form10.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using bench::median;

class Sheet : public nbx::WeekSheet {
public:
    nbx::WeekTexts t = {"10:00", "23:00", "10:00", "23:00", "--:--", "--:--", "10:00",
                        "23:00", "18:00", "03:00", "18:00", "05:00", "12:00", "22:00"};
    nbx::WeekTexts weekTexts() const override { return t; }
    void setWeekTexts(const nbx::WeekTexts& x) override { t = x; }
    QString nightStart() const override { return QStringLiteral("22:00"); }
    QString nightEnd() const override { return QStringLiteral("08:00"); }
    void setModified() override {}
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Sheet sheet;

    std::vector<double> open;
    for (int i = 0; i < 30; ++i) {
        QElapsedTimer t;
        t.start();
        nbx::Form10 f;
        f.load(sheet);
        f.show();
        f.repaint();
        open.push_back(t.nsecsElapsed() / 1e6);
        f.hide();
    }

    // A change of the sessions, then the chart painted again (synchronously) at the editor's size.
    nbx::Form10 f;
    f.load(sheet);
    f.show();
    QApplication::processEvents();
    std::vector<double> redraw;
    for (int i = 0; i < 300; ++i) {
        nbx::WeekTexts t = sheet.t;
        t[12] = i % 2 ? QStringLiteral("12:00") : QStringLiteral("20:00");
        QElapsedTimer timer;
        timer.start();
        nbx::DibuixaSesions(*f.Chart2D1->model(), t);
        f.Chart2D1->repaint();
        redraw.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("week chart redraw after a change (%dx%d): median %.3f ms, worst %.3f ms (target under 2 ms)\n",
                f.Chart2D1->width(), f.Chart2D1->height(), median(redraw), *std::max_element(redraw.begin(), redraw.end()));
    std::printf("weekly editor open (build, load, show, first paint): median %.1f ms, first %.1f ms (target under 50 ms)\n",
                median(open), open.front());
    return 0;
}
