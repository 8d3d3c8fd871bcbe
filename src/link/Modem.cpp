#include "link/Modem.h"

#include "common/Prompter.h"
#include "common/QuitSignals.h"
#include "link/Link.h"
#include "localisation/Strings.h"

#include <algorithm>

namespace nbx {

QString withoutControls(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s)
        if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
            out.append(c);
    return out;
}

QByteArray dialCommand(int marcadoTonos, const QString& prefix, const QString& phone)
{
    const QString text = QStringLiteral("ATE0V0X0") +
                         (marcadoTonos == 1 ? QStringLiteral("DT") : QStringLiteral("DP")) +
                         withoutControls(prefix).trimmed() + QLatin1Char(',') +
                         withoutControls(phone);
    return text.toLatin1() + '\r';
}

namespace {

// The modem echoes what it is sent in command mode ("+" bytes, then the command line) until an
// E0 is carried out. This drops that echo from the front of what comes, however late it comes.
class EchoSkipper {
public:
    explicit EchoSkipper(const QByteArray& command) : left_(command) {}
    QByteArray skip(const QByteArray& bytes)
    {
        qsizetype i = 0;
        while (!other_ && !left_.isEmpty() && i < bytes.size()) {
            const char c = bytes.at(i);
            if (c == left_.at(0)) {
                left_.remove(0, 1);
                started_ = true;
                ++i;
            } else if (!started_ && c == '+') {
                ++i;
            } else {
                other_ = true; // not an echo: no echo on, or it ended
            }
        }
        return bytes.mid(i);
    }

private:
    QByteArray left_;     // the part of the command line whose echo is still to come
    bool started_ = false;
    bool other_ = false;
};

} // namespace

int MarcarModem(Link& link, const QString& phone)
{
    LinkState& st = link.state;
    // The user's Stop of an earlier run is forgotten; the program's end, asked for before or during
    // the dial, stops it before the next byte and is reported by nobody.
    st.PararMarcado = false;
    for (int i = 0; i < 3; ++i) {
        Espera(link.clock, link.timing, 1);
        if (quitPending())
            return kMarcadoFallido;
        link.port.write("+");
    }
    Espera(link.clock, link.timing, 1);
    if (quitPending())
        return kMarcadoFallido;
    const QByteArray command = dialCommand(st.MarcadoTonos, st.PrefijoMarcado, phone);
    link.port.write(command);
    Espera(link.clock, link.timing, 1);
    // The echo is read away with anything after it within the pause; a rest of the echo arriving
    // later is skipped too, so it is not taken for the answer.
    EchoSkipper echo(command);
    echo.skip(link.port.read(4096));
    link.port.clearInput();

    int result = kMarcadoFallido;
    Waiter w = link.waiter();
    const qint64 deadline = link.clock.nowMs() + link.timing.dialAnswerMs;
    QByteArray reply;
    for (;;) {
        const Waiter::Result r = w.waitForData(std::max<qint64>(deadline - link.clock.nowMs(), 0), &st.PararMarcado);
        if (r == Waiter::Result::LineLost) {
            link.reportLineLost();
            return kMarcadoFallido;
        }
        if (r != Waiter::Result::Data)
            break;
        const QByteArray got = link.port.read(100);
        if (got.isEmpty())
            break;
        reply += echo.skip(got);
        if (reply.isEmpty())
            continue; // only the late echo so far
        if (reply.at(0) == '1')
            result = kMarcadoConectado;
        break;
    }
    if (quitPending())
        return kMarcadoFallido; // the caller hangs up what the modem may be bringing up
    if (result == kMarcadoFallido)
        prompter().message(GetS(35), Prompter::Icon::Critical);
    Espera(link.clock, link.timing, 1);
    link.port.clearOutput();
    link.port.clearInput();
    return result;
}

} // namespace nbx
