// Form2: the programming sheet of one NBX-70 (header, nine tab pages, inhibited intervals, clock).
#pragma once

#include "programming/SheetDefaults.h"
#include "programming/SheetRepository.h"

#include <memory>
#include "programming/SheetValues.h"
#include "programming/ui/LiveSheet.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QCalendarWidget;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;

namespace nbx {

class IntervalGridView;
class IntervalModel;
class ProgrammingExchange;
class Form2ExchangeWindow;

class Form2 : public QWidget, public LiveSheet {
    Q_OBJECT
public:
    // Opens the record window; installed by the program (Incidencias stays disabled without it).
    static void setRecordsOpener(std::function<void()> open);

    // Builds every control with its designed Spanish texts; loads no data (see load()).
    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

    // Form_Load: translates the window, clears the flags and chooses the sheet to show: the
    // command-line serial when it has a sheet, else a blank sheet for an empty table, else the
    // sheet of the device last identified (a blank sheet when it has none), else the first sheet.
    void load(std::optional<long> initialSerial = std::nullopt);

    // The sheet as the window shows it (a pending grid edit is committed first).
    SheetValues sheet() const;
    // Puts every value of `values` into the controls.
    void showSheet(const SheetValues& values);

    // Public operations of the sheet.
    void CreaProgramacio();
    bool CarregaProgramacio(qint32 serial);
    bool GrabaProgramacio();
    // The save question before leaving the sheet; false when the user chose to save and the save
    // failed, so the caller stays on the sheet.
    bool Modificat();
    // Before the main window imports a file: the pending edit is taken and a modified sheet is
    // offered for saving, as on every way out of the sheet. An edit the user chose not to save is
    // dropped: the sheet shows its stored row again. False when the import must not run: a value
    // was refused (the sheet is shown with it) or the save failed.
    bool takeEditForImport();
    // After an import that wrote rows: a sheet without unsaved changes shows its stored row again,
    // so that a later save never writes the values shown before over the imported ones.
    void reloadAfterImport();
    // Busy state of the device operations: the first call disables the eight sheet buttons, the
    // second gives them back the state they had.
    void CanviaEstatBotons();
    // True between the two calls of CanviaEstatBotons.
    bool sheetButtonsHeld() const { return !busySaved_.isEmpty(); }

    QString campoActual() const { return campoActual_; }
    // The print button's action, installed by the reports (an area above this one); the button
    // stays disabled while none is installed.
    static void setPrintHandler(std::function<void(Form2&)> handler);
    std::optional<qint32> cursorSerial() const { return cursor_; }
    void setClock(Clock clock) { clock_ = std::move(clock); }
    SheetRepository& repository() { return repo_; }
    IntervalModel* intervalModel() const { return model_; }

    // Controls, by their historical names.
    QLineEdit* MaskNumeroSerie;
    QLineEdit* MaskVersion;
    QLineEdit* MaskFecha; // "dd/mm/yy", with a calendar to pick from
    QLineEdit* MaskContacto;
    QLineEdit* MaskLocal;
    QLineEdit* MaskDireccion;
    QLineEdit* MaskPoblacion;
    QLineEdit* MaskTelefono;
    QPlainTextEdit* TextNota;

    QTabWidget* SSTab2;
    QLineEdit* TextFecha;
    QLineEdit* TextHora;
    QCheckBox* CheckCambioHora;
    std::array<QLineEdit*, 7> weekdayIni{}; // index by Weekday (Sunday 0)
    std::array<QLineEdit*, 7> weekdayFi{};
    QLineEdit* MaskEmpiezaDia;
    QLineEdit* MaskTerminaDia;
    QLineEdit* MaskDiaLocal;
    QLineEdit* MaskDiaVei;
    QLineEdit* MaskEmpiezaNoche;
    QLineEdit* MaskTerminaNoche;
    QLineEdit* MaskNitLocal;
    QLineEdit* MaskNitVei;
    QRadioButton* OptionLocalLeq125;
    QRadioButton* OptionLocalLeq1s;
    QLineEdit* MaskTempsActLoc;
    QRadioButton* OptionVeiNo;
    QRadioButton* OptionVeiLeq125;
    QRadioButton* OptionVeiLeq1s;
    QLineEdit* MaskTempsActVei;
    QCheckBox* CheckApliCorrecioGlobal;
    QLabel* Picture2;
    QLineEdit* MaskTiempoAtenuacion;
    std::array<QLineEdit*, 9> MaskOctava{};
    QLineEdit* MaskMFast;
    QLineEdit* MaskTLeq;
    QLineEdit* MaskRings;
    IntervalGridView* TDBGrid1;

    QPushButton* SSCommandAnterior;
    QPushButton* SSCommandSiguiente;
    QPushButton* SSCommandBuscar;
    QPushButton* SSCommandGrabar;
    QPushButton* SSCommandBorrar;
    QPushButton* SSCommandImprimir;
    QPushButton* SSCommandIncidencias;
    QPushButton* SSCommandHelp;
    QPushButton* SSCommandExit;
    QPushButton* SSCommandRecibir;
    QPushButton* SSCommandTransmitir;
    QPushButton* SSCommandBorrat;
    QPushButton* CommandCanviClau;
    QPushButton* SSCommandTest;
    QPushButton* SSCommandRealTime;
    QPushButton* SSCommandCalibracio;
    QPushButton* SSCommandSonometro;

    QFrame* SSPanel2;
    QProgressBar* Animation1;
    QTimer* Timer1;

signals:
    // The window was left through Exit (the main window shows itself again).
    void exited();

public slots:
    void SSCommandAnterior_Click();
    void SSCommandSiguiente_Click();
    void SSCommandGrabar_Click();
    void SSCommandBorrar_Click();
    void SSCommandBuscar_Click();
    void SSCommandExit_Click();
    void SSCommandHelp_Click();
    void SSCommandImprimir_Click();
    void Timer1_Timer();
    // The device operations of the sheet.
    void SSCommandRecibir_Click();
    void SSCommandTransmitir_Click();
    void SSCommandBorrat_Click();
    void CommandCanviClau_Click();
    void SSCommandTest_Click();
    // Leaves the sheet (offering to save it) and opens the record window on its device.
    void SSCommandIncidencias_Click();
    // The live windows, modal over the sheet.
    void SSCommandRealTime_Click();
    void SSCommandCalibracio_Click();
    void SSCommandSonometro_Click();

protected:
    // What the live windows take from the sheet.
    QWidget* sheetWindow() override { return this; }
    QString shownSerial() const override;
    QString shownTelephone() const override;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildHeader();
    void buildTabs();
    void buildButtons();
    void layoutWindow();
    void wire();

    // Name of the designed control that `w` belongs to ("SSTab2" for the tab bar); empty when none.
    QString controlName(const QWidget* w) const;
    void onFocusChanged(QWidget* old, QWidget* now);
    // The rule of a box that was left; false when it refused the value (the focus went back).
    bool runRule(QPointer<QWidget> field);
    // Runs the rules of the boxes left since the last run, in order; false at the first refusal.
    bool runPendingRules();
    // Takes the sheet's pending edit before the sheet is closed or its data is used, whatever
    // window is active: the rules of the boxes left, then of the box the sheet's focus is in, and
    // the grid as if it were left (an open cell committed with its rule). False when a value was
    // refused: its message has been shown and the focus is back in the sheet, which stays open.
    bool takePendingEdit();
    void showCalendar();
    void refuse(QWidget* focusTarget, long messageId, int page);
    void leaveGrid();
    // Shows the grid's messages not shown yet; true when one of them came with a refused edit.
    bool showGridMessages();
    void navigate(bool forward);
    bool leaveAllowed();

    SheetRepository repo_;
    Clock clock_ = &QDateTime::currentDateTime;
    IntervalModel* model_;
    QString campoActual_;
    std::optional<qint32> cursor_;     // the stored sheet navigation goes on from
    SheetValues shown_;                 // values without a control of their own (cmiVisible)
    bool refocusing_ = false;           // a rule is putting the focus back
    bool ruleRunning_ = false;
    QList<QPointer<QWidget>> pendingRules_; // boxes left whose rule has not run yet
    // The control (a box, or the grid for its cells) last seen with the focus while the sheet was
    // the active window; while it is not, a click on the sheet moves its focus unseen.
    QPointer<QWidget> lastFocus_;
    QList<long> gridMessages_;          // the grid's messages not shown yet
    bool gridRefused_ = false;          // one of them came with a refused edit
    bool closing_ = false;
    QCalendarWidget* calendar_ = nullptr; // MaskFecha's calendar, a popup made when first opened
    bool showing_ = false;              // controls are being filled from sheet values
    QList<QPair<QPointer<QPushButton>, bool>> busySaved_;
    std::unique_ptr<Form2ExchangeWindow> exchangeWindow_;
    std::unique_ptr<ProgrammingExchange> exchange_;
};

} // namespace nbx
