#include "link/CommSettings.h"

#include "common/AppState.h"
#include "common/ConfiguracionRepo.h"
#include "common/Database.h"
#include "common/IniFile.h"
#include "common/Prompter.h"
#include "link/Link.h"
#include "link/Modem.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"

#include <QRegularExpression>
#include <QSerialPortInfo>

namespace nbx {

QStringList CommSettings::portItems(const QStringList& detected)
{
    QStringList items;
    for (int i = 0; i < 16; ++i)
        items << QStringLiteral("ttyS%1").arg(i);
    for (const QString& d : detected)
        if (!items.contains(d))
            items << d;
    return items;
}

QStringList CommSettings::detectedPorts()
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    names.sort();
    return names;
}

QString CommSettings::portText(const LinkState& st) { return st.portName(); }

CommChoice CommSettings::load(const LinkState& st)
{
    CommChoice c;
    c.port = portText(st);
    c.modem = st.ConexionModem != 0;
    c.tone = st.MarcadoTonos == 1;
    c.prefix = st.PrefijoMarcado;
    return c;
}

bool CommSettings::parsePort(const QString& text, int* number, QString* device)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || withoutControls(t) != t)
        return false;
    static const QRegularExpression ttyS(QStringLiteral("^(?:/dev/)?ttyS(\\d{1,2})$"));
    static const QRegularExpression legacy(QStringLiteral("^\\d{1,2}$"));
    if (const auto m = ttyS.match(t); m.hasMatch() && m.captured(1).toInt() <= 15) {
        *number = m.captured(1).toInt() + 1;
        device->clear();
        return true;
    }
    if (legacy.match(t).hasMatch()) {
        const int n = t.toInt();
        if (n < 1 || n > 16)
            return false;
        *number = n;
        device->clear();
        return true;
    }
    *device = t;
    return true;
}

bool CommSettings::accept(Link& link, const CommChoice& choice, const QString& iniFile)
{
    if (DeviceOperationGuard::running()) { // the port is in use by a device operation
        prompter().beep();
        return false;
    }
    LinkState& st = link.state;
    int number = st.PuertoCom;
    QString device;
    if (!parsePort(choice.port, &number, &device)) {
        prompter().message(GetS(106), Prompter::Icon::Critical);
        return false;
    }
    st.PuertoCom = number;
    st.SerialDevice = device;
    st.PrefijoMarcado = withoutControls(choice.prefix);
    st.ConexionModem = choice.modem ? 1 : 0;
    st.MarcadoTonos = choice.tone ? 1 : 0;
    st.VelocidadModem = 19200;

    const QString section = QStringLiteral("Configuration");
    const std::pair<const char*, QString> keys[] = {
        {"SerialPort", QString::number(st.PuertoCom)},
        {"SerialDevice", st.SerialDevice},
        {"Modem", QString::number(st.ConexionModem)},
        {"TonePulse", QString::number(st.MarcadoTonos)},
        {"DialCode", st.PrefijoMarcado},
        {"ModemSpeed", QStringLiteral("19200")},
    };
    bool written = true;
    for (const auto& [key, value] : keys)
        written = EscribirIni(section, QString::fromLatin1(key), value, iniFile) && written;
    if (!written)
        prompter().message(settingsWriteFailedText(iniFile), Prompter::Icon::Critical);
    // The reports read the settings from the database's copy: it follows at once.
    QString error;
    int code = 0;
    if (Database::isOpen()
        && !ConfiguracionRepo::saveLink(st.PuertoCom, st.MarcadoTonos, st.ConexionModem, st.PrefijoMarcado, &error,
                                        &code))
        reportDatabaseFailure(DatabaseTask::Save, {}, code, error);

    link.port.setPortName(st.portName());
    return true;
}

} // namespace nbx
