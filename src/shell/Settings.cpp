#include "shell/Settings.h"

#include "common/IniFile.h"
#include "localisation/LangDesk.h"

#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <cmath>

namespace nbx {

namespace {
const QString kSection = QStringLiteral("Configuration");
}

LanguageChoice mapLanguage(const QString& iniText)
{
    return languageForCode(languageCodeForLocaleId(iniText));
}

LanguageChoice languageForCode(int code)
{
    const int known = localeIdForLanguageCode(code).isEmpty() ? 3000 : code;
    return {known, languageColumnForCode(known)};
}

int systemLocaleId()
{
    switch (QLocale::system().language()) {
    case QLocale::Spanish: return 1034;
    case QLocale::Catalan: return 1027;
    case QLocale::German: return 1031;
    case QLocale::French: return 1036;
    case QLocale::Italian: return 1040;
    case QLocale::Portuguese: return 2070;
    default: return 1033;
    }
}

std::optional<int> toByte(const QString& text, QString* error)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        *error = QStringLiteral("Type mismatch");
        return std::nullopt;
    }
    const double r = std::nearbyint(v); // default rounding: halves to even
    if (r < 0 || r > 255) {
        *error = QStringLiteral("Overflow");
        return std::nullopt;
    }
    return static_cast<int>(r);
}

bool createDefaultIni(const QString& file)
{
    if (QFileInfo::exists(file))
        return true;
    IniFile ini(file);
    ini.set(kSection, QStringLiteral("SerialPort"), QStringLiteral("1"));
    ini.set(kSection, QStringLiteral("SerialDevice"), QString());
    ini.set(kSection, QStringLiteral("User"), QString());
    ini.set(kSection, QStringLiteral("Language"), QString::number(systemLocaleId()));
    ini.set(kSection, QStringLiteral("Modem"), QStringLiteral("0"));
    ini.set(kSection, QStringLiteral("TonePulse"), QStringLiteral("1"));
    ini.set(kSection, QStringLiteral("DialCode"), QString());
    ini.set(kSection, QStringLiteral("ModemSpeed"), QStringLiteral("19200"));
    return ini.save();
}

Settings readSettings(const QString& file, QStringList* errors)
{
    Settings s;
    auto byteKey = [&](const char* key, int* target) {
        QString why;
        const auto v = toByte(LeerIni(kSection, QLatin1String(key), QString(), file), &why);
        if (v)
            *target = *v;
        else
            errors->append(QStringLiteral("%1 (%2: \"%3\")").arg(why, QFileInfo(file).fileName(), QLatin1String(key)));
    };
    byteKey("SerialPort", &s.puertoCom);
    s.textoUsuario = LeerIni(kSection, QStringLiteral("User"), QString(), file);
    s.languageText = LeerIni(kSection, QStringLiteral("Language"), QString(), file);
    byteKey("Modem", &s.conexionModem);
    byteKey("TonePulse", &s.marcadoTonos);
    s.prefijoMarcado = LeerIni(kSection, QStringLiteral("DialCode"), QString(), file);
    s.serialDevice = LeerIni(kSection, QStringLiteral("SerialDevice"), QString(), file);
    return s;
}

} // namespace nbx
