#include "SimStreams.h"

#include "SimFrame.h"
#include "Simulator.h"

#include <QRegularExpression>
#include <QStringList>

namespace nbx::sim {

namespace {

constexpr quint8 kRealTime = 0x09;
constexpr quint8 kCalibration = 0x0E;
constexpr quint8 kCalibrationLevel = 0x0F;
constexpr quint8 kMeter = 0x11;

void putLE(QByteArray& b, int v)
{
    b.append(char(quint8(v & 0xFF)));
    b.append(char(quint8((v >> 8) & 0xFF)));
}

std::optional<Fault> faultByName(const QString& name)
{
    static const QList<QPair<QString, Fault>> names = {
        {QStringLiteral("stall"), Fault::StallMidFrame},   {QStringLiteral("bad-check"), Fault::BadCheckByte},
        {QStringLiteral("noise"), Fault::NoiseBeforeStx},  {QStringLiteral("bad-length"), Fault::BadLength},
        {QStringLiteral("too-long"), Fault::LengthTooLong}, {QStringLiteral("short"), Fault::ShortLength},
        {QStringLiteral("silence"), Fault::Silence},
    };
    for (const auto& [n, f] : names)
        if (n == name)
            return f;
    return std::nullopt;
}

QString commandName(int command)
{
    return QStringLiteral("0x") + QString::number(command, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

} // namespace

QByteArray realTimeData(int day, int month, int year, int hour, int minute, int second, int session,
                        int night, int mainsCut, int sensorFault, int inhibited, int level, int attenuation)
{
    QByteArray b;
    for (int v : {day, month, year, hour, minute, second, session, night, mainsCut, sensorFault, inhibited})
        b.append(char(quint8(v)));
    b.append(char(quint8((level >> 8) & 0xFF)));
    b.append(char(quint8(level & 0xFF)));
    b.append(char(quint8(attenuation)));
    return b;
}

QByteArray calibrationLevelData(int level)
{
    QByteArray b;
    putLE(b, level);
    return b;
}

QByteArray meterData(const std::array<int, 14>& words)
{
    QByteArray b;
    for (int w : words)
        putLE(b, w);
    return b;
}

StreamScript defaultStreamScript()
{
    StreamScript s;
    s.realTime = {
        {realTimeData(31, 12, 124, 23, 59, 58, 1, 1, 0, 0, 0, 600, 5), Fault::None},
        {realTimeData(31, 12, 124, 23, 59, 59, 1, 1, 0, 0, 1, 1200, 55), Fault::None},
        {realTimeData(1, 1, 125, 0, 0, 0, 0, 0, 1, 0, 0, 1201, 0), Fault::None},
    };
    s.calibration = {{calibrationLevelData(600), Fault::None}, {calibrationLevelData(941), Fault::None}};
    s.meter = {
        {meterData({600, 600, 600, 600, 60, 600, 600, 600, 600, 600, 600, 600, 600, 600}), Fault::None},
        {meterData({752, 901, 748, 750, 60, 599, 650, 700, 720, 731, 745, 700, 655, 1201}), Fault::None},
        {meterData({1200, 1201, 803, -1, 1, 1200, 1201, -1, 0, 600, 601, 1199, 1000, 1100}), Fault::None},
    };
    return s;
}

std::optional<StreamScript> parseStreamScript(const QString& text, QString* error)
{
    StreamScript s = defaultStreamScript();
    bool realTime = false, calibration = false, meter = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        auto fail = [&](const QString& why) {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(n + 1).arg(why);
            return std::nullopt;
        };
        QString line = lines[n];
        if (const int hash = line.indexOf(QLatin1Char('#')); hash >= 0)
            line.truncate(hash);
        QStringList w = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (w.isEmpty())
            continue;
        const QString key = w.takeFirst().toLower();
        Fault fault = Fault::None;
        if (!w.isEmpty() && (key == QLatin1String("realtime") || key == QLatin1String("calibration")
                             || key == QLatin1String("meter"))) {
            bool isNumber = false;
            w.last().toInt(&isNumber);
            if (!isNumber) {
                const auto f = faultByName(w.takeLast().toLower());
                if (!f)
                    return fail(QStringLiteral("unknown fault"));
                fault = *f;
            }
        }
        QList<int> v;
        for (const QString& x : w) {
            bool ok = false;
            v << x.toInt(&ok);
            if (!ok && key != QLatin1String("period"))
                return fail(QStringLiteral("\"%1\" is not a number").arg(x));
        }
        if (key == QLatin1String("realtime")) {
            if (v.size() != 13)
                return fail(QStringLiteral("realtime takes 13 numbers"));
            if (!realTime)
                s.realTime.clear();
            realTime = true;
            s.realTime.append({realTimeData(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9],
                                            v[10], v[11], v[12]), fault});
        } else if (key == QLatin1String("calibration")) {
            if (v.size() != 1)
                return fail(QStringLiteral("calibration takes one level"));
            if (!calibration)
                s.calibration.clear();
            calibration = true;
            s.calibration.append({calibrationLevelData(v[0]), fault});
        } else if (key == QLatin1String("meter")) {
            if (v.size() != 14)
                return fail(QStringLiteral("meter takes 14 numbers"));
            if (!meter)
                s.meter.clear();
            meter = true;
            std::array<int, 14> words{};
            std::copy(v.begin(), v.end(), words.begin());
            s.meter.append({meterData(words), fault});
        } else if (key == QLatin1String("result") && v.size() == 1) {
            s.calibrationResult = v[0];
        } else if (key == QLatin1String("period") && w.size() == 2 && v[1] >= 0) {
            const QString which = w[0].toLower();
            if (which == QLatin1String("realtime"))
                s.realTimePeriodMs = v[1];
            else if (which == QLatin1String("calibration"))
                s.calibrationPeriodMs = v[1];
            else if (which == QLatin1String("meter"))
                s.meterPeriodMs = v[1];
            else
                return fail(QStringLiteral("period of realtime, calibration or meter"));
        } else if (key == QLatin1String("free-running") && v.isEmpty()) {
            s.realTimeFreeRunning = true;
        } else if (key == QLatin1String("after-can") && v.size() == 1 && v[0] >= 0) {
            s.framesAfterCan = v[0];
        } else {
            return fail(QStringLiteral("not understood"));
        }
    }
    return s;
}

bool StreamEngine::isStreamCommand(int command)
{
    return command == kRealTime || command == kCalibration || command == kMeter;
}

void StreamEngine::start(int command, qint64 nowUs)
{
    command_ = command;
    next_ = 0;
    afterCan_ = 0;
    const int period = command == kRealTime ? script_.realTimePeriodMs
        : command == kCalibration           ? script_.calibrationPeriodMs
                                            : script_.meterPeriodMs;
    wait_ = Wait::Time;
    due_ = nowUs + qint64(period) * 1000;
    io_.event(QStringLiteral("%1: stream started").arg(commandName(command)));
}

void StreamEngine::end(const QString& why)
{
    io_.event(QStringLiteral("%1: stream ended (%2)").arg(commandName(command_), why));
    command_ = 0;
    wait_ = Wait::Nothing;
}

void StreamEngine::can(qint64 nowUs)
{
    if (!active())
        return;
    if (script_.framesAfterCan > 0 && wait_ != Wait::Can) {
        afterCan_ = script_.framesAfterCan;
        wait_ = Wait::Time;
        due_ = nowUs;
        io_.event(QStringLiteral("CAN: %1 more frame(s) already on their way").arg(afterCan_));
        return;
    }
    end(QStringLiteral("CAN"));
}

bool StreamEngine::ack(qint64 nowUs)
{
    if (command_ != kRealTime || wait_ != Wait::Ack)
        return false;
    wait_ = Wait::Time;
    due_ = nowUs + qint64(script_.realTimePeriodMs) * 1000;
    return true;
}

qint64 StreamEngine::nextDueUs() const
{
    if (!active() || wait_ != Wait::Time)
        return -1;
    // A meter without a period follows the line: the next frame once the last has gone.
    if (command_ == kMeter && script_.meterPeriodMs == 0 && io_.lineIdle && !io_.lineIdle())
        return -1;
    return due_;
}

void StreamEngine::sendFrame(quint8 command, const StreamFrame& frame)
{
    Fault f = io_.takeFault(command_);
    if (f == Fault::None)
        f = frame.fault;
    QByteArray bytes = encodeFrame(command, frame.data);
    if (f == Fault::Silence) {
        end(QStringLiteral("fault: silence"));
        return;
    }
    if (f != Fault::None) {
        bytes = io_.damage(bytes, f);
        io_.event(QStringLiteral("%1: stream frame with a fault").arg(commandName(command_)));
    }
    io_.send(bytes);
    if (f == Fault::StallMidFrame) {
        // Half a frame, then nothing until CAN.
        wait_ = Wait::Can;
    }
}

void StreamEngine::tick(qint64 nowUs)
{
    while (active()) {
        const qint64 due = nextDueUs();
        if (due < 0 || due > nowUs)
            return;
        if (afterCan_ > 0) {
            const QList<StreamFrame>& list = command_ == kMeter ? script_.meter : script_.realTime;
            if (command_ == kCalibration || list.isEmpty()) {
                end(QStringLiteral("CAN"));
                return;
            }
            sendFrame(quint8(command_), list[next_++ % list.size()]);
            if (--afterCan_ == 0 && active())
                end(QStringLiteral("CAN"));
            continue;
        }
        switch (command_) {
        case kRealTime:
            if (script_.realTime.isEmpty()) {
                wait_ = Wait::Can;
                return;
            }
            sendFrame(kRealTime, script_.realTime[next_++ % script_.realTime.size()]);
            if (wait_ == Wait::Time) {
                if (script_.realTimeFreeRunning) {
                    due_ = nowUs + qint64(std::max(1, script_.realTimePeriodMs)) * 1000;
                } else {
                    wait_ = Wait::Ack;
                }
            }
            break;
        case kCalibration:
            if (next_ < script_.calibration.size()) {
                sendFrame(kCalibrationLevel, script_.calibration[next_++]);
                if (wait_ == Wait::Time)
                    due_ = nowUs + qint64(script_.calibrationPeriodMs) * 1000;
            } else {
                io_.send(encodeFrame(kCalibration, QByteArray(1, char(quint8(script_.calibrationResult)))));
                io_.event(QStringLiteral("0x0E: calibration ended, result %1").arg(script_.calibrationResult));
                wait_ = Wait::Can;
            }
            break;
        case kMeter:
            if (script_.meter.isEmpty()) {
                wait_ = Wait::Can;
                return;
            }
            sendFrame(kMeter, script_.meter[next_++ % script_.meter.size()]);
            if (wait_ == Wait::Time)
                due_ = nowUs + qint64(script_.meterPeriodMs) * 1000;
            if (script_.meterPeriodMs == 0)
                return; // the next one once the line has taken this one
            break;
        default:
            return;
        }
    }
}

} // namespace nbx::sim
