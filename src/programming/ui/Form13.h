// Form13: the calibration window, the levels the device measures while it calibrates and its result.
#pragma once

#include "programming/ui/LiveWindow.h"

class QLabel;

namespace nbx {

class Form13 : public LiveWindow {
    Q_OBJECT
public:
    explicit Form13(LiveSheet* sheet = nullptr, QWidget* parent = nullptr);
    explicit Form13(LiveSheet* sheet, Link& link, QWidget* parent = nullptr);

    // Form_Load: the shared load, then LbNivel "---".
    void Form_Load() override;

    QLabel* Label1;
    QLabel* LbNivel;
    QLabel* Label4;

protected:
    void showCalibrationLevel(const QString& text) override;
};

} // namespace nbx
