#include "link/Modem.h"

#include "common/Prompter.h"
#include "link/Link.h"
#include "localisation/Strings.h"

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

int MarcarModem(Link& link, const QString& phone)
{
    LinkState& st = link.state;
    st.PararMarcado = false;
    for (int i = 0; i < 3; ++i) {
        Espera(link.clock, link.timing, 1);
        link.port.write("+");
    }
    Espera(link.clock, link.timing, 1);
    link.port.write(dialCommand(st.MarcadoTonos, st.PrefijoMarcado, phone));
    Espera(link.clock, link.timing, 1);
    link.port.clearInput(); // the modem's echo

    int result = kMarcadoFallido;
    Waiter w = link.waiter();
    const Waiter::Result r = w.waitForData(link.timing.dialAnswerMs, &st.PararMarcado);
    if (r == Waiter::Result::LineLost) {
        link.reportLineLost();
        return kMarcadoFallido;
    }
    if (r == Waiter::Result::Data) {
        const QByteArray reply = link.port.read(100);
        if (!reply.isEmpty() && reply.at(0) == '1')
            result = kMarcadoConectado;
    }
    if (result == kMarcadoFallido)
        prompter().message(GetS(35), Prompter::Icon::Critical);
    Espera(link.clock, link.timing, 1);
    link.port.clearOutput();
    link.port.clearInput();
    return result;
}

} // namespace nbx
