// Form16: the exchange-file import window; shows the file and the progress, and can be cancelled.
#pragma once

#include "import/ExchangeImport.h"

#include <QDialog>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace nbx {

class Form16 : public QDialog {
    Q_OBJECT
public:
    explicit Form16(QWidget* parent = nullptr);

    // Translates the window's texts.
    void Form_Load();
    // The file to import (FicheroImportar). The import starts once, after the window is first shown.
    void setFile(const QString& path) { path_ = path; }

    QFrame* fraPrincipal;
    QLabel* lblFitxer;
    QLabel* lblText;
    QPushButton* sscmdCancel;

    // How the last import ended.
    ExchangeImportResult::Status outcome() const { return outcome_; }
    // The rows the last import wrote (added or rewritten); 0 unless it ended Imported.
    int rowsImported() const { return rowsImported_; }
    // Called with every progress text (the label itself is refreshed a few times a second).
    std::function<void(const QString&)> progressHook;

public Q_SLOTS:
    void ImportaFitxer();
    void sscmdCancel_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void showProgress(const QString& text);

    QString path_;
    QString sTextImportant;
    bool bCancelat = false;
    bool started_ = false;
    bool running_ = false;
    qint64 lastPaint_ = -1;
    ExchangeImportResult::Status outcome_ = ExchangeImportResult::Status::Imported;
    int rowsImported_ = 0;
};

} // namespace nbx
