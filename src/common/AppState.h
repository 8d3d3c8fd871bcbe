// Program-wide values set at start-up and read by many windows.
#pragma once

#include <QString>

namespace nbx {

struct AppState {
    int codigoIdioma = 0;      // 1000 Spanish ... 7000 Portuguese
    QString languageName;      // the language column, e.g. "Español"
    QString textoUsuario;      // report footer text
    QString lineaComandosTxt;  // the cleaned command line
    QString ficheroImportar;   // file being imported; empty when none
};

AppState& appState();

} // namespace nbx
