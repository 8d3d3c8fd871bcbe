#include "common/ConfiguracionRepo.h"

#include "common/Database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace nbx {

namespace {

bool run(QSqlQuery& q, QString* error, int* code = nullptr)
{
    if (q.exec())
        return true;
    if (error)
        *error = sqlErrorText(q.lastError());
    if (code)
        *code = sqlErrorCode(q.lastError());
    return false;
}

// Runs one UPDATE of the row in a write transaction of its own, so that it never joins a group of
// writes left open (a download's) and is never rolled back with it. `rows` receives the rows changed.
bool update(const QString& sql, const QVariantList& values, QString* error, int* code, int* rows = nullptr)
{
    WriteTransaction write;
    if (!write.begin(error, code))
        return false;
    QSqlQuery q(mainDb());
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!run(q, error, code))
        return false;
    if (rows)
        *rows = q.numRowsAffected();
    q.finish();
    return write.commit(error, code);
}

void noRow(QString* error)
{
    if (error)
        *error = QStringLiteral("Configuracion has no row");
}

} // namespace

bool ConfiguracionRepo::load(ConfiguracionRow* row, QString* error)
{
    QSqlQuery q(mainDb());
    q.prepare(QStringLiteral("SELECT ByCom, IIdioma, ByTono, ByModem, TPrefijo, IModemSpeed, TUsuario, memo "
                             "FROM Configuracion ORDER BY rowid LIMIT 1"));
    if (!run(q, error))
        return false;
    if (!q.next()) {
        noRow(error);
        return false;
    }
    row->byCom = q.value(0).toInt();
    row->iIdioma = q.value(1).toInt();
    row->byTono = q.value(2).toInt();
    row->byModem = q.value(3).toInt();
    row->tPrefijo = q.value(4).toString();
    row->iModemSpeed = q.value(5).toInt();
    row->tUsuario = q.value(6).toString();
    row->memo = q.value(7).toString();
    return true;
}

bool ConfiguracionRepo::saveSettings(const ConfiguracionRow& row, QString* error, int* code)
{
    return update(QStringLiteral("UPDATE Configuracion SET ByCom = ?, IIdioma = ?, ByTono = ?, ByModem = ?, "
                                 "TPrefijo = ?, IModemSpeed = ?, TUsuario = ?"),
                  {row.byCom, row.iIdioma, row.byTono, row.byModem, row.tPrefijo, row.iModemSpeed, row.tUsuario},
                  error, code);
}

bool ConfiguracionRepo::saveUsuario(const QString& text, QString* error, int* code)
{
    return update(QStringLiteral("UPDATE Configuracion SET TUsuario = ?"), {text}, error, code);
}

bool ConfiguracionRepo::saveIdioma(int codigoIdioma, QString* error, int* code)
{
    return update(QStringLiteral("UPDATE Configuracion SET IIdioma = ?"), {codigoIdioma}, error, code);
}

bool ConfiguracionRepo::saveLink(int byCom, int byTono, int byModem, const QString& prefijo, QString* error, int* code)
{
    return update(QStringLiteral("UPDATE Configuracion SET ByCom = ?, ByTono = ?, ByModem = ?, TPrefijo = ?, "
                                 "IModemSpeed = 19200"),
                  {byCom, byTono, byModem, prefijo.isEmpty() ? QStringLiteral(" ") : prefijo}, error, code);
}

bool ConfiguracionRepo::saveMemo(const QString& text, QString* error)
{
    int rows = 0;
    if (!update(QStringLiteral("UPDATE Configuracion SET memo = ?"), {text}, error, nullptr, &rows))
        return false;
    // The reports read the list back from the row: without one there is nothing to print it from.
    if (rows > 0)
        return true;
    noRow(error);
    return false;
}

} // namespace nbx
