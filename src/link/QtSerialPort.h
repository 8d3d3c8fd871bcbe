// ISerialPort on top of QSerialPort.
#pragma once

#include "link/SerialPort.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/types.h>

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
    void waitForBytes(int maxMs, int count, bool started, const bool* stop) override;
    bool lineLost() override;

    // Builds the message for a failed open; "permission denied" adds the dialout hint.
    static QString openErrorText(const QString& portName, QSerialPort::SerialPortError error,
                                 const QString& reason);

protected:
    // The calls the port makes on its descriptor itself, answered as the system answers them:
    // read(2) (errno set on -1) and the events a poll for input finds without waiting (0 when
    // the poll fails). A test stands in for the system here.
    virtual ssize_t readFd(int fd, char* into, size_t max);
    virtual short pollFd(int fd);
    QSerialPort& qtPort() { return port_; }
    // Qt's notifier reading the port's descriptor, looked for among QSerialPort's children
    // (null when the port is closed, or when Qt keeps it elsewhere: the frame waits then cannot
    // turn it off and wake for every byte).
    QSocketNotifier* qtReadNotifier();

private:
    bool worthWaiting(int maxMs);
    void waitLoop(int maxMs);
    void runEventsFor(qint64 ns, const bool* stop);
    void pacedWait(int maxMs, int count, bool started, const bool* stop);
    void watchedWait(int maxMs, int count, bool started, const bool* stop);
    void watchDescriptor(bool on);
    qint64 buffered() const; // read from the descriptor, not yet taken
    void pull();
    void readDescriptor();
    bool descriptorGone();
    void setMinBytes(int n);
    void forgetLine();

    QSerialPort port_;
    QString name_;
    bool lost_ = false;
    QTimer waitTimer_;               // ends the wait in progress
    QEventLoop* waitLoop_ = nullptr; // the wait in progress, if any
    QTimer frameTimer_;              // wakes a frame's wait at its end
    quint64 wakes_ = 0;              // input or errors Qt reported since the port was built
    QElapsedTimer writtenAt_;        // since the last write
    QElapsedTimer polledAt_;         // since the descriptor was last polled for a hang-up
    int minBytes_ = 0;               // VMIN set for a frame; 0 while the line is as opened
    QPointer<QSocketNotifier> notifier_; // Qt's, reading the descriptor as the events run
    bool paced_ = false;             // the line brings its bytes at its pace, not at once
    int pacedVotes_ = 0;             // frames in a row that came at the line's pace
    int pacedWaits_ = 0;             // frame waits at the pace since it was last checked
    bool stalled_ = false;           // the last wait at the pace brought no byte
    unsigned char openMin_ = 0, openTime_ = 0; // VMIN and VTIME as the port was opened
    QByteArray in_;                  // read from the descriptor before Qt's buffer; taken from inPos_
    qsizetype inPos_ = 0;
};

} // namespace nbx
