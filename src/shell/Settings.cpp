#include "shell/Settings.h"

#include "common/IniFile.h"

#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <cmath>

namespace nbx {

namespace {
const QString kSection = QStringLiteral("Configuration");
}

namespace {

const struct {
    const char* id;
    int code;
    const char* column;
} kLanguages[] = {
    {"1027", 2000, "Català"},  {"1034", 1000, "Español"},  {"1040", 6000, "Italiano"},
    {"1031", 4000, "Deutsch"}, {"1036", 5000, "Français"}, {"1033", 3000, "English"},
    {"2070", 7000, "Português"},
};

} // namespace

LanguageChoice mapLanguage(const QString& iniText)
{
    for (const auto& m : kLanguages)
        if (iniText == QLatin1String(m.id))
            return {m.code, QString::fromUtf8(m.column)};
    return {3000, QStringLiteral("English")};
}

LanguageChoice languageForCode(int code)
{
    for (const auto& m : kLanguages)
        if (code == m.code)
            return {m.code, QString::fromUtf8(m.column)};
    return {3000, QStringLiteral("English")};
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
