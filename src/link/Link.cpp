#include "link/Link.h"

#include "common/Prompter.h"
#include "link/QtSerialPort.h"
#include "localisation/Strings.h"

namespace nbx {

bool Link::AbrirPuerto(QString* error)
{
    if (port.lineLost() && !port.isOpen()) {
        // A kept line died while idle and the port closed itself: this operation reports it.
        if (error)
            *error = lineLostText(port.portName());
        port.close();
        state.ModemConectado = false;
        return false;
    }
    if (port.isOpen())
        return port.open(error);
    port.setPortName(state.portName());
    if (!port.open(error))
        return false;
    // Whatever the line held before the port opened is no answer to anything sent now.
    port.clearInput();
    return true;
}

void Link::cerrarPuerto()
{
    if (port.isOpen())
        port.close();
    state.ModemConectado = false;
}

void Link::colgar()
{
    if (port.isOpen()) {
        port.setDtr(false);
        port.close();
    }
    state.ModemConectado = false;
}

void Link::reportLineLost()
{
    if (!port.isOpen() && !port.lineLost())
        return;
    const QString name = port.portName();
    port.close();
    state.ModemConectado = false;
    prompter().message(lineLostText(name), Prompter::Icon::Critical);
}

QString lineLostText(const QString& portName)
{
    return GetS(QStringLiteral("Se ha perdido la conexión con el puerto %s."), {portName});
}

Link& defaultLink()
{
    static QtSerialPort port;
    static SystemLinkClock clock;
    static Link link(port, clock);
    return link;
}

namespace {
bool g_operationRunning = false;
}

DeviceOperationGuard::DeviceOperationGuard()
{
    if (!g_operationRunning) {
        g_operationRunning = true;
        acquired_ = true;
    }
}

DeviceOperationGuard::~DeviceOperationGuard()
{
    if (acquired_)
        g_operationRunning = false;
}

bool DeviceOperationGuard::running() { return g_operationRunning; }

} // namespace nbx
