// Form14: the sound level meter window, the device's LF, LFmax, LeqT, Leq1s and nine octave bands live.
#pragma once

#include "programming/ui/LiveWindow.h"

#include <array>

class QLabel;

namespace nbx {

class Form14 : public LiveWindow {
    Q_OBJECT
public:
    explicit Form14(LiveSheet* sheet = nullptr, QWidget* parent = nullptr);
    explicit Form14(LiveSheet* sheet, Link& link, QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Lb1;      // "LF:"
    QLabel* Label2;   // "LFmax:"
    QLabel* Label3;   // "LeqT:", rewritten with T by every frame
    QLabel* Label4;   // "Leq1s (global):"
    QLabel* LbLF;
    QLabel* LbLFmax;
    QLabel* LbLeqT;
    QLabel* LbLeq1s;
    std::array<QLabel*, 9> LbOct{};
    std::array<QLabel*, 9> bandNames{}; // Label5 .. Label13

protected:
    void showMeter(const MeterDisplay& d) override;
};

} // namespace nbx
