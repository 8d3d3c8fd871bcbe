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

namespace {
// The keys of a first start, in their order, with their default values.
QList<std::pair<QString, QString>> defaultKeys()
{
    return {{QStringLiteral("SerialPort"), QStringLiteral("1")},
            {QStringLiteral("SerialDevice"), QString()},
            {QStringLiteral("User"), QString()},
            {QStringLiteral("Language"), QString::number(systemLocaleId())},
            {QStringLiteral("Modem"), QStringLiteral("0")},
            {QStringLiteral("TonePulse"), QStringLiteral("1")},
            {QStringLiteral("DialCode"), QString()},
            {QStringLiteral("ModemSpeed"), QStringLiteral("19200")}};
}
} // namespace

bool createDefaultIni(const QString& file)
{
    if (QFileInfo::exists(file))
        return true;
    IniFile ini(file);
    for (const auto& [key, value] : defaultKeys())
        ini.set(kSection, key, value);
    return ini.save();
}

bool writeDefaultKeys(const QString& file, const QStringList& keys)
{
    IniFile ini(file);
    for (const auto& [key, value] : defaultKeys())
        if (keys.contains(key, Qt::CaseInsensitive))
            ini.set(kSection, key, value);
    return ini.save();
}

Settings readSettings(const QString& file, QStringList* errors, QStringList* unreadable)
{
    Settings s;
    auto byteKey = [&](const char* key, int* target) {
        QString why;
        const auto v = toByte(LeerIni(kSection, QLatin1String(key), QString(), file), &why);
        if (v) {
            *target = *v;
        } else {
            errors->append(QStringLiteral("%1 (%2: \"%3\")").arg(why, QFileInfo(file).fileName(), QLatin1String(key)));
            if (unreadable)
                unreadable->append(QLatin1String(key));
        }
    };
    byteKey("SerialPort", &s.puertoCom);
    s.textoUsuario = LeerIni(kSection, QStringLiteral("User"), QString(), file);
    s.languageText = LeerIni(kSection, QStringLiteral("Language"), QString(), file);
    if (unreadable && !IniFile(file).contains(kSection, QStringLiteral("Language"))) {
        unreadable->append(QStringLiteral("Language"));
        s.languageText = QString::number(systemLocaleId());
    }
    byteKey("Modem", &s.conexionModem);
    byteKey("TonePulse", &s.marcadoTonos);
    s.prefijoMarcado = LeerIni(kSection, QStringLiteral("DialCode"), QString(), file);
    s.serialDevice = LeerIni(kSection, QStringLiteral("SerialDevice"), QString(), file);
    return s;
}

} // namespace nbx
