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
    void waitForBytes(int maxMs, int count, bool started) override;
    bool lineLost() override;

    // Builds the message for a failed open; "permission denied" adds the dialout hint.
    static QString openErrorText(const QString& portName, QSerialPort::SerialPortError error,
                                 const QString& reason);

private:
    bool worthWaiting(int maxMs);
    void waitLoop(int maxMs);
    int driverBytes() const; // received, not yet read from the descriptor
    qint64 buffered() const; // read from the descriptor, not yet taken
    void pull();
    void readDescriptor();
    void runEvents();
    void forgetPace();

    QSerialPort port_;
    QString name_;
    bool lost_ = false;
    QTimer waitTimer_;               // ends the wait in progress
    QEventLoop* waitLoop_ = nullptr; // the wait in progress, if any
    QElapsedTimer eventsRan_;        // since the events last ran in a wait
    QElapsedTimer lookedAt_;         // since a write or an events round (which read the descriptor)
    QElapsedTimer polledAt_;         // since the descriptor was last polled for a hang-up
    bool paced_ = false;             // the line brings bytes at its pace, not at once
    int paceSamples_ = 0;            // waits that told the pace since the port opened
    bool stalled_ = false;           // the last sleep for due bytes brought none
    QByteArray in_;                  // read from the descriptor before Qt's buffer; taken from inPos_
    qsizetype inPos_ = 0;
};

} // namespace nbx
