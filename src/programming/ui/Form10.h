// Form10: the weekly session-hours editor (seven days confirmed in turn, with a chart of the week).
#pragma once

#include "programming/WeekHours.h"

#include <QDialog>
#include <array>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace nbx {

class ChartView;
class TimeBox;

// What the editor reads from and writes to the programming sheet.
class WeekSheet {
public:
    virtual ~WeekSheet() = default;
    virtual WeekTexts weekTexts() const = 0;       // Monday first
    virtual void setWeekTexts(const WeekTexts& texts) = 0;
    virtual QString nightStart() const = 0;        // MaskEmpiezaNoche
    virtual QString nightEnd() const = 0;          // MaskTerminaNoche
    virtual void setModified() = 0;                // FichaModificada = True
};

class Form10 : public QDialog {
    Q_OBJECT
public:
    // Builds the controls with their designed Spanish texts and the chart's design; no data.
    explicit Form10(QWidget* parent = nullptr);

    // Form_Load: translates, sets the Monday step, copies the sheet's 14 texts, chooses each
    // day's kind and draws the chart.
    void load(WeekSheet& sheet);

    // The 14 box texts, Monday start first.
    WeekTexts texts() const;

    struct Day {
        QGroupBox* frame;
        QRadioButton* option24;
        QRadioButton* optionTancat;
        QRadioButton* optionHorario;
        TimeBox* ini;
        TimeBox* fi;
        QPushButton* step;
    };
    std::array<Day, 7> days{};  // Monday first
    QPushButton* SSCommandRetry;
    QPushButton* SSCommandAceptar;
    QPushButton* SSCommandExit;
    ChartView* Chart2D1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Image1;

    // The editor's current step: 0..6 a day, 7 the accept state.
    int currentStep() const { return step_; }

public slots:
    void stepClicked(int day);
    void SSCommandRetry_Click();
    void SSCommandAceptar_Click();
    void SSCommandExit_Click();
    void reject() override;

private:
    void optionClicked(int day, DayKind kind);
    void selectKind(int day, DayKind kind);
    void setStep(int step);
    void boxFocusIn(TimeBox* box);
    void boxFocusOut(TimeBox* box);
    void checkBox(TimeBox* box);
    void focusBox(TimeBox* box);
    int dayOf(const TimeBox* box) const;

    WeekSheet* sheet_ = nullptr;
    int step_ = 0;
    bool leaving_ = false;     // closing: no box is checked any more
    bool refocusing_ = false;  // the editor itself is moving the focus
};

// Opens the editor, modal over `parent`, on `sheet` (a click on one of the sheet's weekday boxes).
void openWeekEditor(WeekSheet& sheet, QWidget* parent);

} // namespace nbx
