// The communication settings window's logic: port choice, cable or modem, tone or pulse, prefix.
#pragma once

#include <QString>
#include <QStringList>

namespace nbx {

class Link;
struct LinkState;

struct CommChoice {
    QString port;      // "ttyS0".."ttyS15", a detected port name or a typed device path
    bool modem = false;
    bool tone = true;
    QString prefix;
};

class CommSettings {
public:
    // ttyS0 to ttyS15, then the detected ports not among them.
    static QStringList portItems(const QStringList& detected);
    static QStringList detectedPorts();

    // The port as the window shows it: SerialDevice when set, else ttyS<PuertoCom-1>.
    static QString portText(const LinkState& st);
    static CommChoice load(const LinkState& st);

    // A port text to (port number, device): "ttyS<k>" (k 0-15, with or without "/dev/") and the
    // legacy numbers "1"-"16" give a number and no device; any other name is a device and keeps
    // the number. False for an empty text or one with control characters.
    static bool parsePort(const QString& text, int* number, QString* device);

    // Aceptar: refused (a beep) while a device operation runs; validates the port (GetS(106) and false when unusable, nothing changed), then sets
    // the link state, writes "SerialPort", "SerialDevice", "Modem", "TonePulse", "DialCode" and
    // "ModemSpeed" to the ini (a failed write is reported) and records the port name, which an
    // open port takes at its next open. Control characters are dropped from the prefix.
    static bool accept(Link& link, const CommChoice& choice, const QString& iniFile);
};

} // namespace nbx
