// The "Configuration" section of nbx70.ini as the program reads it at start-up.
#pragma once

#include <QString>
#include <optional>

namespace nbx {

struct LanguageChoice {
    int code;        // 1000 ... 7000
    QString column;  // the language database column, e.g. "Français"
};

// Maps the ini "Language" text (a Windows locale id) to the language code and column name.
LanguageChoice mapLanguage(const QString& iniText);

// The language of a language code (1000 ... 7000); English for any other code.
LanguageChoice languageForCode(int code);

// The Windows locale id of the system language when it is one of the seven, else 1033.
int systemLocaleId();

struct Settings {
    int puertoCom = 1;        // "SerialPort", 1-16
    QString serialDevice;     // "SerialDevice": a port name; empty means ttyS<puertoCom-1>
    QString textoUsuario;     // "User"
    QString languageText;     // "Language"
    int conexionModem = 0;    // "Modem": 0 cable, 1 modem
    int marcadoTonos = 1;     // "TonePulse": 1 tone, else pulse
    QString prefijoMarcado;   // "DialCode"
    int velocidadModem = 19200;
};

// Converts a text to a byte as the historical conversion did: blanks trimmed, a number rounded to
// the nearest whole (halves to even), 0-255. Sets `error` to "Type mismatch" or "Overflow".
std::optional<int> toByte(const QString& text, QString* error);

// Writes a first nbx70.ini with the defaults when `file` does not exist. Returns false when it
// cannot be written.
bool createDefaultIni(const QString& file);

// Reads the settings in their historical order. A key that does not convert keeps its default and
// its error is added to `errors` (one line per key). `unreadable`, when given, receives the names of
// those keys and of a missing "Language".
Settings readSettings(const QString& file, QStringList* errors, QStringList* unreadable = nullptr);

// Writes the named keys back with their first-start defaults. False when the file cannot be written.
bool writeDefaultKeys(const QString& file, const QStringList& keys);

} // namespace nbx
