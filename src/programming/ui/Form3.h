// Form3: the real-time view, the device's multi-function display shown live.
#pragma once

#include "programming/ui/LiveWindow.h"

class QLabel;
class QProgressBar;

namespace nbx {

class Form3 : public LiveWindow {
    Q_OBJECT
public:
    explicit Form3(LiveSheet* sheet = nullptr, QWidget* parent = nullptr);
    explicit Form3(LiveSheet* sheet, Link& link, QWidget* parent = nullptr);

    // Form_Load: the shared load, then LbAtenuador "0" and LbNivel "---".
    void Form_Load() override;

    QLabel* Label1;
    QLabel* Label2;
    QLabel* LbFecha;
    QLabel* LbHora;
    QLabel* LbSesion;
    QLabel* LbNoche;
    QLabel* LbRed;
    QLabel* LbSensor;
    QLabel* LbInhabil;
    QLabel* LbNivel;
    QLabel* LbAtenuador;
    QProgressBar* ProgressBar1;

protected:
    void showRealTime(const RealTimeDisplay& d) override;
};

} // namespace nbx
