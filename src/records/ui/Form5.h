// Form5: the record window of one device: header, totals, the interval, session, erasure and
// reprogramming grids, navigation, search and the download of the device's records.
#pragma once

#include "programming/SheetValues.h"
#include "records/DownloadController.h"
#include "records/RecordsRepository.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace nbx {

class RecordGrid;

class Form5 : public QWidget, public DownloadUi {
    Q_OBJECT
public:
    // Builds every control with its designed Spanish texts; touches no database (see Form_Load).
    explicit Form5(QWidget* parent = nullptr);
    ~Form5() override;

    // Translates, designs the grids and shows the device of NumeroSerieEqp (the first device when
    // it is 0 or unknown); an empty table shows GetS(28).
    void Form_Load();
    // CarregaDades: loads device `serial` into the window and the hand-off state. False (after a
    // critical message) when it cannot be read; the window then keeps what it showed.
    bool CarregaDades(qint32 serial);

    // What the windows opened from here read.
    qint32 serial() const { return serial_; }
    const InhibitedIntervals& inhibitedIntervals() const { return intervals_; }
    bool hasIntervals() const;
    // The busy panel (a graph window hides it once it has loaded).
    void showBusyPanel(bool visible);
    bool downloading() const { return controller_ && controller_->running(); }

    // Openers installed by the program: the graph (Form9), the listing (Form6), the programming
    // window. A button whose opener is not installed stays disabled.
    using Opener = std::function<void(Form5& from)>;
    static void setGraphOpener(Opener o);
    static void setListingOpener(Opener o);
    static void setProgrammingOpener(std::function<void()> o);

    // Test seams: the clock of the range defaults and the totals stamp; the range question.
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }
    void setRangeAsker(std::function<bool(RangoFechas&)> ask) { rangeAsker_ = std::move(ask); }

    QString campoActual() const { return campoActual_; }

    // Controls, by their historical names.
    QGroupBox* Frame9;
    QLineEdit* TextNumeroSerie;
    QLineEdit* TextVersion;
    QLineEdit* TextFecha;
    QLineEdit* TextLocal;
    QGroupBox* Frame2;
    QLineEdit* MaskFechaTotales;
    QLineEdit* MaskHoraTotales;
    QLineEdit* LbPasadasLocal;
    QLineEdit* LbPasadasVei;
    QLineEdit* MaskE3;
    QLineEdit* MaskCB;
    RecordGrid* TDBGridIntervalos;
    RecordGrid* TDBGridSesiones;
    RecordGrid* TDBGridBorrat;
    RecordGrid* TDBGridRepro;
    QPushButton* SSCommandAnterior;
    QPushButton* SSCommandSiguiente;
    QPushButton* SSCommandBuscar;
    QPushButton* SSCommandGrafica;
    QPushButton* SSCommandImprimir;
    QPushButton* SSCommandProgramacion;
    QPushButton* SSCommandExit;
    QPushButton* SSCommandHelp;
    QToolButton* SSCommandRecibir;
    QToolButton* SSCommandStop;
    QFrame* SSPanel1;
    QProgressBar* Animation1;
    QLabel* Frame17;

    // DownloadUi
    qint32 shownSerial() const override { return serial_; }
    QString phone() const override { return phone_; }
    bool askRange(RangoFechas& range) override;
    void setBusy(bool on) override;
    void setCounter(int frames) override;
    void showTotals(const Totals& totals, const QDateTime& stamp) override;
    bool showDevice(qint32 serial) override;
    void reloadDevice() override;

public slots:
    void SSCommandAnterior_Click();
    void SSCommandSiguiente_Click();
    void SSCommandBuscar_Click();
    void SSCommandGrafica_Click();
    void SSCommandImprimir_Click();
    void SSCommandProgramacion_Click();
    void SSCommandExit_Click();
    void SSCommandHelp_Click();
    void SSCommandRecibir_Click();
    void SSCommandStop_Click();
    // A heading click re-sorts that grid (the direction toggles; dates sort with their times).
    void headClick(RecordGrid* grid, int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void DisenyaGrids();
    void navigate(bool forward);
    // Invert the nine buttons (CanviaEstatBotons): the first call disables, the second restores.
    void CanviaEstatBotons();
    void updateOpenerButtons();
    bool openerCheck(); // GetS(59) when the device has no interval

    RecordsRepository repo_;
    qint32 serial_ = 0;
    QString phone_;
    InhibitedIntervals intervals_;
    QString campoActual_;
    std::function<QDateTime()> now_;
    std::function<bool(RangoFechas&)> rangeAsker_;
    std::unique_ptr<DownloadController> controller_;
    QList<QPair<QPointer<QWidget>, bool>> heldButtons_;
    bool closeAfterDownload_ = false;
    static constexpr int kBusyBarEveryMs = 400;
    QElapsedTimer busyBarMoved_; // since the busy bar last moved
    QTimer* busyBarTimer_ = nullptr; // moves the busy bar while busy
    void moveBusyBar();
};

// "Fecha incorrecta" check of a typed date box text: a day-first date whose day is not "00" and
// whose month is not above "12".
bool fechaBoxValid(const QString& text);

} // namespace nbx
