// Form4: the communication settings window (port, cable or modem, tone or pulse, dial prefix).
#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace nbx {

class Link;

class Form4 : public QDialog {
    Q_OBJECT
public:
    // iniFile empty: AppPaths::configFile().
    explicit Form4(QWidget* parent = nullptr);
    Form4(Link& link, const QString& iniFile, QWidget* parent = nullptr);

    // Loads the current settings (translating the window first), then runs modal.
    int exec() override;
    void Form_Load();

    QComboBox* ComboPort;
    QLabel* LabelPort;
    QRadioButton* OptionRs;
    QRadioButton* OptionModem;
    QRadioButton* OptionTonos;
    QRadioButton* OptionPulsos;
    QLabel* LabelPrefijo;
    QLineEdit* MaskPrefijo;
    QPushButton* SSCommandAceptar;
    QPushButton* SSCommandExit;

public slots:
    void SSCommandAceptar_Click();
    void SSCommandExit_Click();

private:
    void build();

    Link& link_;
    QString iniFile_;
};

} // namespace nbx
