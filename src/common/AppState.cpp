#include "common/AppState.h"

namespace nbx {

AppState& appState()
{
    static AppState state;
    return state;
}

QString settingsWriteFailedText(const QString& file)
{
    return QStringLiteral("No se ha podido guardar la configuración en el fichero %1").arg(file);
}

} // namespace nbx
