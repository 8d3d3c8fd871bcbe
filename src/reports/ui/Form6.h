// Form6: the listing window; picks the first and last interval and the kind of report to print.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;
class QTableView;

namespace nbx {

namespace reports { class ListingModel; }

class Form6 : public QDialog {
    Q_OBJECT
public:
    // Builds the window with its designed Spanish texts; nothing is read until Form_Load.
    explicit Form6(QWidget* parent = nullptr);

    // Translates the window, reads the device's intervals (oldest first) into both grids, sets the
    // headings and colours, and puts the upper grid on the oldest interval and the lower on the
    // newest. A database failure is shown (critical icon); a device without intervals gets empty grids.
    void Form_Load(qint32 serial);

    reports::ListingModel* model() const { return model_; }

    QLabel* SplitCaption;
    QTableView* TDBGridInici;
    QTableView* TDBGridFi;
    QRadioButton* OptionIntervalos;
    QRadioButton* OptionSesiones;
    QPushButton* SSCommandImprimir;
    QPushButton* SSCommandExit;
    QPushButton* SSCommandHelp;

public slots:
    void SSCommandImprimir_Click();
    void SSCommandExit_Click();
    void SSCommandHelp_Click();

private:
    reports::ListingModel* model_;
    qint32 serial_ = 0;
};

} // namespace nbx
