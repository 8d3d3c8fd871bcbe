// The one row of the Configuracion table: a mirror of the settings, read by the reports.
#pragma once

#include <QString>

namespace nbx {

struct ConfiguracionRow {
    int byCom = 1;
    int iIdioma = 3000;
    int byTono = 1;
    int byModem = 0;
    QString tPrefijo;
    int iModemSpeed = 19200;
    QString tUsuario;
    QString memo;
};

class ConfiguracionRepo {
public:
    // Reads the row of the main database; NULLs read as 0 or "".
    static bool load(ConfiguracionRow* row, QString* error);
    // Each save is one write transaction of its own. `code` receives SQLite's result code of a failure.
    // Writes the settings columns (all but memo) in one statement.
    static bool saveSettings(const ConfiguracionRow& row, QString* error, int* code = nullptr);
    static bool saveUsuario(const QString& text, QString* error, int* code = nullptr);
    static bool saveIdioma(int codigoIdioma, QString* error, int* code = nullptr);
    // The communication settings (an empty prefix is stored as one blank, the speed 19200).
    static bool saveLink(int byCom, int byTono, int byModem, const QString& prefijo, QString* error,
                         int* code = nullptr);
    // Fails as load does when the table has no row.
    static bool saveMemo(const QString& text, QString* error);
};

} // namespace nbx
