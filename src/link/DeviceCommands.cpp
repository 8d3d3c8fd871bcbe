#include "link/DeviceCommands.h"

#include "common/Cp1252.h"
#include "common/Prompter.h"
#include "common/QuitSignals.h"
#include "link/Link.h"

namespace nbx {

int EnvioPausado(Link& link, const QByteArray& frameToEtx, int waitMs)
{
    Waiter w = link.waiter();
    // A late or repeated byte of an earlier exchange must not be taken for this answer.
    link.port.clearInput();
    // Each byte up to ETX is followed by a pause, the XOR by none. After the program's end was
    // asked for, no further byte goes out.
    const QByteArray frame = frameToEtx + char(xorOf(frameToEtx));
    for (qsizetype i = 0; i < frame.size(); ++i) {
        if (quitPending())
            return kResultadoParado;
        link.port.write(QByteArray(1, frame.at(i)));
        if (i + 1 < frame.size())
            w.pause(link.timing.paceMs);
    }
    // The factory test's answer may take most of an hour: the program's end does not wait for it.
    const Waiter::Result r = w.waitForData(waitMs, nullptr);
    if (r == Waiter::Result::Stopped)
        return kResultadoParado;
    if (r == Waiter::Result::LineLost) {
        link.reportLineLost();
        return kResultadoPerdido;
    }
    if (r != Waiter::Result::Data)
        return kResultadoNada;
    const int b = link.port.readByte();
    if (b < 0)
        return kResultadoNada;
    return b == ctl::ACK ? kResultadoAck : kResultadoOtro;
}

namespace {
QByteArray withoutXor(const QByteArray& frame) { return frame.left(frame.size() - 1); }
} // namespace

QByteArray passwordBytes(const QString& password)
{
    QByteArray b = unicodeToCp1252(password.left(4));
    while (b.size() < 4)
        b.append(' ');
    return b;
}

std::optional<QByteArray> testDigits(const QString& typed)
{
    if (typed.isEmpty())
        return QByteArray();
    const int n = static_cast<int>(typed.size());
    QByteArray d;
    for (int i = 0; i < 6; ++i) {
        const QChar c = i < 5 ? typed.at(std::min(i, n - 1)) : typed.at(n - 1);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        d.append(char(c.unicode() - '0'));
    }
    return d;
}

int EnviarPassword(Link& link)
{
    const QByteArray f = buildFrame(cmd::ComandoPassword, passwordBytes(link.state.PasswordActual));
    return EnvioPausado(link, withoutXor(f), link.timing.answerWaitMs);
}

int EnviarNewPassword(Link& link)
{
    const QByteArray f =
        buildFrame(cmd::ComandoNuevaPassword, passwordBytes(link.state.NuevaPassword));
    return EnvioPausado(link, withoutXor(f), link.timing.answerWaitMs);
}

int EnviarBorrat(Link& link)
{
    return EnvioPausado(link, withoutXor(buildFrame(cmd::ComandoBorrado)),
                        link.timing.answerWaitMs);
}

int EnviarTest(Link& link)
{
    const std::optional<QString> typed = prompter().inputText(
        QStringLiteral("Entrar el numero de serie:"), QString::fromLatin1(kAppTitle), QString());
    if (!typed || typed->isEmpty())
        return kTestCancelado;
    const std::optional<QByteArray> digits = testDigits(*typed);
    if (!digits)
        return kTestInvalido;
    const QByteArray f = buildFrame(cmd::ComandoTest, *digits);
    return EnvioPausado(link, withoutXor(f), link.timing.testAnswerWaitMs);
}

} // namespace nbx
