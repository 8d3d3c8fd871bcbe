// nbx70-sim: plays one NBX-70 on a pseudo-terminal; prints the terminal's path and runs until
// SIGINT or SIGTERM.
#include "nbx70-sim/Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <mutex>

#include <pthread.h>

namespace {

int usageError(const QString& text)
{
    std::fprintf(stderr, "nbx70-sim: %s\n", qPrintable(text));
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    // Signals are taken by sigwait below; block them before the simulator's thread starts so
    // that it inherits the mask.
    // A shell starts background jobs with SIGINT ignored; an ignored signal never reaches sigwait.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nbx70-sim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays one NBX-70 on a pseudo-terminal and prints its path."));
    parser.addHelpOption();
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("Six-digit serial number."),
                                    QStringLiteral("digits"), QStringLiteral("123456"));
    const QCommandLineOption firmware(QStringLiteral("firmware"), QStringLiteral("Firmware major.minor."),
                                      QStringLiteral("version"), QStringLiteral("2.0"));
    const QCommandLineOption model(QStringLiteral("model"), QStringLiteral("Model code (5 is the NBX-70)."),
                                   QStringLiteral("code"), QStringLiteral("5"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Device password, up to 4 characters."),
                                      QStringLiteral("text"), QStringLiteral("1234"));
    const QCommandLineOption noProg(QStringLiteral("no-programming-mode"),
                                    QStringLiteral("The device is not in programming mode."));
    const QCommandLineOption antiTest(QStringLiteral("anti-test"),
                                      QStringLiteral("The anti-test protection is on (the test is refused)."));
    const QCommandLineOption modem(QStringLiteral("modem"),
                                   QStringLiteral("Answer through a modem: connect, busy or silent."),
                                   QStringLiteral("answer"));
    const QCommandLineOption modemDelay(QStringLiteral("modem-delay-ms"),
                                        QStringLiteral("Time the modem takes to answer a dial."),
                                        QStringLiteral("ms"), QStringLiteral("2000"));
    const QCommandLineOption testDelay(QStringLiteral("test-delay-ms"),
                                       QStringLiteral("Time the factory test takes before its answer."),
                                       QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption block(QStringLiteral("block"),
                                   QStringLiteral("File with the programming block to answer with (364 or 365 bytes)."),
                                   QStringLiteral("file"));
    const QCommandLineOption logFile(QStringLiteral("log"), QStringLiteral("Write every byte and event to this file."),
                                     QStringLiteral("file"));
    const QCommandLineOption streamScript(QStringLiteral("stream-script"),
                                          QStringLiteral("File with the frames of the live streams (see SimStreams.h)."),
                                          QStringLiteral("file"));
    const QCommandLineOption meterPeriod(QStringLiteral("meter-period-ms"),
                                         QStringLiteral("Pause before each meter frame; 0: as fast as the line takes them."),
                                         QStringLiteral("ms"));
    const QCommandLineOption calibrationResult(QStringLiteral("calibration-result"),
                                               QStringLiteral("Result code of the calibration's end frame."),
                                               QStringLiteral("code"));
    const QCommandLineOption afterCan(QStringLiteral("frames-after-can"),
                                      QStringLiteral("Stream frames still sent after a CAN."), QStringLiteral("n"));
    parser.addOptions({serial, firmware, model, password, noProg, antiTest, modem, modemDelay, testDelay,
                       block, logFile, streamScript, meterPeriod, calibrationResult, afterCan});
    parser.process(app);

    nbx::sim::DeviceConfig cfg;
    cfg.serial = parser.value(serial);
    if (!QRegularExpression(QStringLiteral("^\\d{6}$")).match(cfg.serial).hasMatch())
        return usageError(QStringLiteral("--serial needs six digits"));
    cfg.firmware = parser.value(firmware);
    if (!QRegularExpression(QStringLiteral("^\\d{1,3}\\.\\d{1,3}$")).match(cfg.firmware).hasMatch())
        return usageError(QStringLiteral("--firmware needs major.minor, e.g. 2.0"));
    bool ok = false;
    cfg.model = parser.value(model).toInt(&ok);
    if (!ok || cfg.model < 0 || cfg.model > 255)
        return usageError(QStringLiteral("--model needs a number from 0 to 255"));
    cfg.password = parser.value(password).toLatin1();
    if (cfg.password.size() > 4)
        return usageError(QStringLiteral("--password takes at most 4 characters"));
    cfg.password = cfg.password.leftJustified(4, ' ');
    cfg.programmingMode = !parser.isSet(noProg);
    cfg.antiTestProtection = parser.isSet(antiTest);
    if (parser.isSet(block)) {
        QFile f(parser.value(block));
        if (!f.open(QIODevice::ReadOnly))
            return usageError(QStringLiteral("cannot read %1").arg(f.fileName()));
        cfg.programmingBlock = f.readAll();
    }

    nbx::sim::StreamScript streams = nbx::sim::defaultStreamScript();
    if (parser.isSet(streamScript)) {
        QFile f(parser.value(streamScript));
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
            return usageError(QStringLiteral("cannot read %1").arg(f.fileName()));
        QString why;
        const auto parsed = nbx::sim::parseStreamScript(QString::fromUtf8(f.readAll()), &why);
        if (!parsed)
            return usageError(QStringLiteral("%1: %2").arg(f.fileName(), why));
        streams = *parsed;
    }
    auto number = [&parser](const QCommandLineOption& o, int* into) {
        if (!parser.isSet(o))
            return true;
        bool ok = false;
        const int v = parser.value(o).toInt(&ok);
        if (ok && v >= 0)
            *into = v;
        return ok && v >= 0;
    };
    if (!number(meterPeriod, &streams.meterPeriodMs) || !number(calibrationResult, &streams.calibrationResult)
        || !number(afterCan, &streams.framesAfterCan))
        return usageError(QStringLiteral("--meter-period-ms, --calibration-result and --frames-after-can take a number"));

    nbx::sim::Simulator sim(cfg);
    sim.setStreamScript(streams);
    if (parser.isSet(modem)) {
        const QString answer = parser.value(modem).toLower();
        nbx::sim::ModemAnswer a = nbx::sim::ModemAnswer::Connect;
        if (answer == QLatin1String("busy"))
            a = nbx::sim::ModemAnswer::Busy;
        else if (answer == QLatin1String("silent"))
            a = nbx::sim::ModemAnswer::Silent;
        else if (answer != QLatin1String("connect"))
            return usageError(QStringLiteral("--modem takes connect, busy or silent"));
        sim.setModemMode(true, a, parser.value(modemDelay).toInt());
    }
    sim.setAnswerDelayMs(0x0D, parser.value(testDelay).toInt());

    QFile log;
    std::mutex logMutex;
    if (parser.isSet(logFile)) {
        log.setFileName(parser.value(logFile));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
            return usageError(QStringLiteral("cannot write %1").arg(log.fileName()));
        sim.setEventSink([&log, &logMutex](const QString& line) {
            std::lock_guard<std::mutex> lock(logMutex);
            log.write(line.toUtf8() + '\n');
            log.flush();
        });
    }

    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "nbx70-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(sim.portPath()));
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stopSignals, &sig);
    sim.stop();
    return 0;
}
