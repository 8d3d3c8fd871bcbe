#include "link/Identification.h"

#include "common/Prompter.h"
#include "common/QuitSignals.h"
#include "link/FrameReceiver.h"
#include "link/Link.h"
#include "localisation/Strings.h"

namespace nbx {

std::optional<Identification> parseIdentification(const FrameBuffer& f)
{
    if (!f.holds(13))
        return std::nullopt;
    qint32 serial = 0;
    for (int k = 7; k <= 12; ++k) {
        const uint8_t c = f.at(k);
        if (c < '0' || c > '9')
            return std::nullopt;
        serial = serial * 10 + (c - '0');
    }
    Identification id;
    id.TipoAparato = f.at(4);
    id.VersionEqp = QStringLiteral("%1.%2").arg(f.at(5)).arg(f.at(6));
    id.NumeroSerieEqp = serial;
    id.ModoProgramacion = f.at(13);
    return id;
}

void DemanaIdentificacion(Link& link)
{
    Espera(link.clock, link.timing, 1);
    if (quitPending())
        return; // the program is ending: the reception that follows stops at once, silently
    link.port.clearInput();
    link.port.write(buildFrame(cmd::ComandoIdentificacion));
}

bool RecibirIdentificacion(Link& link, InactivityTimer& timer)
{
    if (!RecibirTrama(link, timer))
        return false;
    const std::optional<Identification> id = parseIdentification(link.BufferTrama);
    if (!id) {
        showReceiveError(ReceiveResult::BadFrame);
        return false;
    }
    link.state.TipoAparato = id->TipoAparato;
    link.state.VersionEqp = id->VersionEqp;
    link.state.NumeroSerieEqp = id->NumeroSerieEqp;
    link.state.ModoProgramacion = id->ModoProgramacion;
    return true;
}

} // namespace nbx
