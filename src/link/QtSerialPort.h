// ISerialPort on top of QSerialPort.
#pragma once

#include "link/SerialPort.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>

class QEventLoop;

namespace nbx {

class QtSerialPort : public ISerialPort {
public:
    QtSerialPort();
    ~QtSerialPort() override;

    void setPortName(const QString& name) override { name_ = name; }
    QString portName() const override { return name_; }
    bool open(QString* error) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    qint64 bytesAvailable() override;
    int readByte() override;
    QByteArray read(qint64 maxBytes) override;
    bool write(const QByteArray& bytes) override;
    void clearInput() override;
    void clearOutput() override;
    bool setDtr(bool on) override;
    void waitForInput(int maxMs) override;
    void waitForBytes(int maxMs, int count) override;
    bool lineLost() override;

    // Builds the message for a failed open; "permission denied" adds the dialout hint.
    static QString openErrorText(const QString& portName, QSerialPort::SerialPortError error,
                                 const QString& reason);

private:
    bool worthWaiting(int maxMs);
    void waitLoop(int maxMs);

    QSerialPort port_;
    QString name_;
    bool lost_ = false;
    QTimer waitTimer_;               // ends the wait in progress
    QEventLoop* waitLoop_ = nullptr; // the wait in progress, if any
    QElapsedTimer eventsRan_;        // since the events last ran in a wait
    bool paced_ = false;             // the frame being received comes at the line's pace
};

} // namespace nbx
