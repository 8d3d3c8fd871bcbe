#include "common/ConfiguracionRepo.h"

#include "common/Database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace nbx {

namespace {

bool run(QSqlQuery& q, QString* error)
{
    if (q.exec())
        return true;
    if (error)
        *error = q.lastError().text();
    return false;
}

bool updateOne(const char* column, const QVariant& value, QString* error)
{
    QSqlQuery q(mainDb());
    q.prepare(QStringLiteral("UPDATE Configuracion SET %1 = ?").arg(QLatin1String(column)));
    q.addBindValue(value);
    return run(q, error);
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

bool ConfiguracionRepo::saveSettings(const ConfiguracionRow& row, QString* error)
{
    QSqlQuery q(mainDb());
    q.prepare(QStringLiteral("UPDATE Configuracion SET ByCom = ?, IIdioma = ?, ByTono = ?, ByModem = ?, "
                             "TPrefijo = ?, IModemSpeed = ?, TUsuario = ?"));
    q.addBindValue(row.byCom);
    q.addBindValue(row.iIdioma);
    q.addBindValue(row.byTono);
    q.addBindValue(row.byModem);
    q.addBindValue(row.tPrefijo);
    q.addBindValue(row.iModemSpeed);
    q.addBindValue(row.tUsuario);
    return run(q, error);
}

bool ConfiguracionRepo::saveUsuario(const QString& text, QString* error)
{
    return updateOne("TUsuario", text, error);
}

bool ConfiguracionRepo::saveIdioma(int codigoIdioma, QString* error)
{
    return updateOne("IIdioma", codigoIdioma, error);
}

bool ConfiguracionRepo::saveLink(int byCom, int byTono, int byModem, const QString& prefijo, QString* error)
{
    QSqlQuery q(mainDb());
    q.prepare(QStringLiteral("UPDATE Configuracion SET ByCom = ?, ByTono = ?, ByModem = ?, TPrefijo = ?, "
                             "IModemSpeed = 19200"));
    q.addBindValue(byCom);
    q.addBindValue(byTono);
    q.addBindValue(byModem);
    q.addBindValue(prefijo.isEmpty() ? QStringLiteral(" ") : prefijo);
    return run(q, error);
}

bool ConfiguracionRepo::saveMemo(const QString& text, QString* error)
{
    QSqlQuery q(mainDb());
    q.prepare(QStringLiteral("UPDATE Configuracion SET memo = ?"));
    q.addBindValue(text);
    if (!run(q, error))
        return false;
    // The reports read the list back from the row: without one there is nothing to print it from.
    if (q.numRowsAffected() > 0)
        return true;
    noRow(error);
    return false;
}

} // namespace nbx
