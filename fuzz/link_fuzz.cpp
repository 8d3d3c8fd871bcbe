// Feeds arbitrary bytes from the line to the frame receiver and the identification parser.
#include "link/LinkClock.h"
#include "link/FrameReceiver.h"
#include "link/Identification.h"
#include "link/SerialPort.h"

#include <cstddef>
#include <cstdint>

namespace {

// Time moves only when the receiver waits, so a starved receiver times out at once.
class StepClock : public nbx::LinkClock {
public:
    qint64 nowMs() const override { return now_; }
    double secondsOfDay() const override { return 0; }
    void sleepMs(qint64 ms) override { now_ += ms; }
    void yieldMs(qint64 ms) override { now_ += ms > 0 ? ms : 1; }
    qint64 now_ = 0;
};

class BufferPort : public nbx::ISerialPort {
public:
    BufferPort(StepClock& clock, const uint8_t* data, size_t size)
        : clock_(clock), data_(data), size_(size)
    {
    }
    void setPortName(const QString&) override {}
    QString portName() const override { return {}; }
    bool open(QString*) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    qint64 bytesAvailable() override { return qint64(size_ - pos_); }
    int readByte() override { return pos_ < size_ ? data_[pos_++] : -1; }
    QByteArray read(qint64 max) override
    {
        QByteArray out;
        while (out.size() < max && pos_ < size_)
            out.append(char(data_[pos_++]));
        return out;
    }
    bool write(const QByteArray&) override { return true; }
    void clearInput() override { pos_ = size_; }
    void clearOutput() override {}
    bool setDtr(bool) override { return false; }
    void waitForInput(int maxMs) override { clock_.yieldMs(maxMs); }
    bool exhausted() const { return pos_ >= size_; }

private:
    StepClock& clock_;
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StepClock clock;
    BufferPort port(clock, data, size);
    nbx::LinkTiming timing;
    nbx::Waiter waiter(port, clock, timing);
    nbx::InactivityTimer timer(clock, timing.frameTimeoutMs);
    nbx::FrameBuffer buffer;
    bool stop = false;
    while (!port.exhausted()) {
        const nbx::ReceiveResult r =
            nbx::receiveFrame(port, waiter, timer, buffer, &stop, timing.stxHuntLimit);
        if (r == nbx::ReceiveResult::Ok) {
            if (buffer.length() < nbx::kMinFrame || buffer.length() > nbx::kMaxFrame)
                __builtin_trap();
            if (auto id = nbx::parseIdentification(buffer))
                (void)id->VersionEqp.size();
            (void)buffer.readI32BE(buffer.length() - 4);
        } else if (buffer.length() != 0) {
            __builtin_trap();
        }
    }
    return 0;
}
