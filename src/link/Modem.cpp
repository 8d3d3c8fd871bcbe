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

// The modem's reply to the dial, read line by line. In the numeric mode the dial line sets (V0) a
// result is its code and a CR. Until E0 is carried out the modem echoes the command line (behind
// the echo of the '+' bytes when it was in command mode), and the echo may reach us late, cut in
// pieces, after other lines: the "0" (OK) a modem still online answers the escape with, noise,
// part of an echo. A modem whose echo is already off sends the result alone.
class DialReply {
public:
    explicit DialReply(const QByteArray& command)
    {
        for (char c : command)
            if (partOfALine(c))
                echo_.append(c);
    }

    // Takes received bytes; true once the result has been read (then connected()).
    bool take(const QByteArray& bytes)
    {
        for (char c : bytes) {
            if (c == '\r') {
                if (lineDone())
                    return true;
            } else if (partOfALine(c)) {
                line_.append(c);
                if (line_.size() > echo_.size() + kSpare) // a line of noise that never ends
                    line_.remove(0, line_.size() - echo_.size() - kSpare);
            }
        }
        return false;
    }
    bool connected() const { return connected_; }

private:
    // Printable ASCII; LF, NUL and other noise bytes are dropped.
    static bool partOfALine(char c) { return c >= 0x20 && c < 0x7F; }

    bool lineDone()
    {
        const QByteArray line = line_.trimmed();
        line_.clear();
        if (line.contains(echo_)) {
            echoSeen_ = true;
            return false;
        }
        if (line.isEmpty())
            return false;
        // After the echo the next line is the answer: a code, or a verbal reply (a modem that
        // refused the line before its V0) that is no connection. Before it, or with no echo,
        // only a code is: the rest is noise or part of an echo, and a dial is never answered
        // with the OK a modem still online gave the escape.
        const auto digit = [](char c) { return c >= '0' && c <= '9'; };
        const bool isCode = std::all_of(line.begin(), line.end(), digit);
        if (!echoSeen_ && (!isCode || line == "0"))
            return false;
        connected_ = isCode && line.startsWith('1'); // 1 CONNECT, and 10-19 for its speeds
        return true;
    }

    static constexpr qsizetype kSpare = 64; // what a line may hold beyond an echo
    QByteArray echo_;     // the command line as the modem echoes it, without its CR
    QByteArray line_;     // the line being received
    bool echoSeen_ = false;
    bool connected_ = false;
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
    // What came before is no reply to the dial; everything from here on is read, the echo and
    // whatever came within the pause included, so that no part of the reply is thrown away.
    link.port.clearInput();
    link.port.write(command);
    Espera(link.clock, link.timing, 1);

    // No result read by the deadline (silence, noise, only the echo) is a failed call.
    int result = kMarcadoFallido;
    DialReply reply(command);
    Waiter w = link.waiter();
    const qint64 deadline = link.clock.nowMs() + link.timing.dialAnswerMs;
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
        if (reply.take(got)) {
            if (reply.connected())
                result = kMarcadoConectado;
            break;
        }
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
