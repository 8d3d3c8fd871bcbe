#include "link/Link.h"

#include "link/QtSerialPort.h"

namespace nbx {

bool Link::AbrirPuerto(QString* error)
{
    if (!port.isOpen())
        port.setPortName(state.portName());
    return port.open(error);
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
