// LiveWindow: the frame the three live windows share (real-time view, calibration, meter): placed
// over the sheet window's lower-left corner, modal, with Run, Stop, Volver and Ayuda.
#pragma once

#include "programming/LiveSession.h"

#include <QDialog>
#include <QPointer>
#include <QRect>

class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

namespace nbx {

class Link;
class LiveSheet;

// Where a live window goes: its top at the sheet's top + height - its own height - 95 twips, its
// left at the sheet's left + 100 twips (frame geometries; twips converted with `dpi`).
QPoint livePlacement(const QRect& sheetFrame, int ownHeight, int dpi);

class LiveWindow : public QDialog, protected LiveView {
    Q_OBJECT
public:
    ~LiveWindow() override;

    // Form_Load: translates the window, disables the sheet window, takes its telephone number and
    // places the window over it. exec() runs it first.
    virtual void Form_Load();
    int exec() override;

    // A run is going on (also while it finishes after Stop).
    bool running() const { return run_.running(); }
    bool exitPending() const { return exitPending_; }
    LiveRun& liveRun() { return run_; }

    QPushButton* SSCommandRun;
    QPushButton* SSCommandStop;
    QPushButton* SSCommandExit;
    QPushButton* SSCommandHelp;

public slots:
    void SSCommandRun_Click();
    void SSCommandStop_Click();
    void SSCommandExit_Click();
    void SSCommandHelp_Click();
    // Escape: during a run, Stop and leave when the run has ended.
    void reject() override;
    void done(int result) override;

protected:
    // `sheet` may be null (the string export builds the window alone).
    LiveWindow(LiveKind kind, LiveSheet* sheet, Link& link, QWidget* parent);
    // The area above the buttons, for the window's own controls.
    QVBoxLayout* body() const { return body_; }

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

    void setBusy(bool on) override;
    void setHelpEnabled(bool on) override;
    void showStopped() override;

private:
    void giveSheetBack();
    void stopAndLeaveLater();

    LiveSheet* sheet_;
    QPointer<QWidget> sheetWindow_; // the sheet is asked nothing once its window is gone
    LiveRun run_;
    QVBoxLayout* body_;
    QString telefonoActual_;
    bool exitPending_ = false;
};

} // namespace nbx
