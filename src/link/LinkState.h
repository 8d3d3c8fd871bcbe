// The link settings and state shared by every device operation, and the device identification.
#pragma once

#include <QString>

namespace nbx {

inline constexpr int kModeloNbx70 = 5;
inline const QString kCancelarPassword = QStringLiteral("CancelarPassword");

struct LinkState {
    // Settings (loaded from nbx70.ini at start-up, changed by the communication settings).
    int PuertoCom = 1;          // port number 1-16
    QString SerialDevice;       // explicit device name; empty: ttyS<PuertoCom-1>
    int ConexionModem = 0;      // 0 cable, 1 modem
    int MarcadoTonos = 1;       // 1 tone, anything else pulse
    QString PrefijoMarcado;     // dial prefix
    int VelocidadModem = 19200; // saved, never applied

    // Line and stop flags.
    bool ModemConectado = false; // true only while the port is open on a call
    bool PararMarcado = false;
    bool PararRecepcion = false;

    // Identification of the device last seen.
    int TipoAparato = 0;
    QString VersionEqp;
    qint32 NumeroSerieEqp = 0;
    int ModoProgramacion = 0;

    // Password dialogs' results.
    QString PasswordActual;      // padded to 4; offered again at the next dialog
    bool PasswordCancelada = false;
    QString NuevaPassword;       // padded, empty, or kCancelarPassword

    QString portName() const;
};

} // namespace nbx
