#include "shell/CommandLine.h"

namespace nbx {

QString joinArguments(const QStringList& args) { return args.join(QLatin1Char(' ')); }

QString LineaComandos(const QString& rawLine)
{
    QString line = rawLine.trimmed();
    for (int i = 0; i < 2; ++i) {
        const int q = line.indexOf(QLatin1Char('"'));
        if (q < 0)
            break;
        line.remove(q, 1);
    }
    return line;
}

bool isExchangeFile(const QString& line) { return line.right(5).toUpper() == QLatin1String(".KM70"); }

std::optional<long> parseSerial(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 9)
        return std::nullopt;
    for (QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return t.toLong();
}

} // namespace nbx
