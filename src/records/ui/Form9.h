// Form9: the graph window, level and event charts over 50 consecutive interval records of a device.
#pragma once

#include "records/LevelGraph.h"

#include <QDialog>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <optional>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QToolButton;

namespace nbx {

class ChartView;
class Form5;

class Form9 : public QDialog {
    Q_OBJECT
public:
    // Builds the window with its designed Spanish texts; nothing is read until Form_Load.
    explicit Form9(QWidget* parent = nullptr);

    // Loading: translates the window, shows the device's header texts, reads how many interval
    // records the device has, sets the slider on the newest 50 and draws them. A device without
    // records gets GetS(59), a database failure its description (critical icon); both return false.
    // loadFinished() is sent on every way out.
    bool Form_Load(qint32 serial, const QString& fechaFicha, const QString& localFicha,
                   QSqlDatabase db = QSqlDatabase());

    // Opens the graph of a device modally (when it loaded); `loaded` runs once loading has ended,
    // whatever its outcome.
    static void showGraph(QWidget* parent, qint32 serial, const QString& fechaFicha,
                          const QString& localFicha, const std::function<void()>& loaded = {});
    // The record window's graph button: the graph of the device it shows; its busy panel is hidden
    // once the graph has loaded.
    static void openFromRecordWindow(Form5& from);

    // Redraws both charts for the window that starts the slider's value records after the first.
    // A failure is shown (critical icon) and leaves the charts as they were.
    bool Dibuixa();

    const GraphValues& values() const { return values_; }

    // The print button's action, installed by the reports (an area above this one); the button
    // stays disabled while none is installed.
    static void setPrintHandler(std::function<void(Form9&)> handler);

    QGroupBox* Frame9;
    QLabel* Label3;
    QLineEdit* TextNumeroSerie;
    QLabel* Label6;
    QLineEdit* TextLocal;
    QLabel* Label10;
    QLineEdit* TextFecha;
    ChartView* Chart2D1;  // level chart
    ChartView* Chart2D2;  // event chart
    QSlider* Slider1;
    QToolButton* SSCommandSliderLeft;
    QToolButton* SSCommandSliderRight;
    QPushButton* SSCommandImprimir;
    QPushButton* SSCommandHelp;
    QPushButton* SSCommandExit;
    QMenu* PopUp;
    QList<QAction*> PopUpMnu1;  // copy: Bitmap, Metafile, Enhanced Metafile, Standard Metafile
    QList<QAction*> PopUpMnu2;  // Cursor, the eight level series, "Sin datos"

signals:
    void loadFinished();

public slots:
    // Mouse over a chart: button 2 is the right button (opens the menu); any other drives the labels.
    void Chart2D1_MouseEvent(int button, const QPoint& pos);
    void Chart2D2_MouseEvent(int button, const QPoint& pos);
    void PopUpMnu1_Click(int index);
    void PopUpMnu2_Click(int index);
    void Slider1_Change(int value);
    void SSCommandSliderLeft_Click();
    void SSCommandSliderRight_Click();
    void SSCommandExit_Click();
    void SSCommandHelp_Click();
    void SSCommandImprimir_Click();

private:
    void build();
    void designLevelChart();
    void designEventChart();
    void chartMouseEvent(bool levelChart, int button, const QPoint& pos);
    void MostraEtiqueta(int point, double level);
    void hideLabels(bool emptyTexts);
    void writeCharts();

    std::optional<IntervalGraphSource> source_;
    GraphValues values_;
    bool loaded_ = false;         // the start of the history is known (slider changes redraw)
    bool labelsCreated_ = false;  // loading got as far as creating the data labels
};

// GraficaActiva: the chart that received the last mouse event of the graph window (1 level,
// 2 events); 0 until the first one. It outlives the window.
int& graficaActiva();

} // namespace nbx
