#include "common/Database.h"

#include "common/DatabaseLocks.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <cerrno>
#include <map>
#include <sqlite3.h>

namespace nbx {

namespace {

struct Column {
    const char* name;
    const char* type;
};

struct Table {
    const char* name;
    std::initializer_list<Column> columns;
    const char* key; // extra table constraint (primary key), or nullptr
};

// Storage forms: whole numbers and Yes/No as INTEGER, Single as REAL, dates as TEXT yyyy-MM-dd,
// times of day and texts as TEXT. No CHECK constraints: merged and imported rows must not fail.
const Table kTables[] = {
    {"Configuracion",
     {{"ByCom", "INTEGER"}, {"IIdioma", "INTEGER"}, {"ByTono", "INTEGER"}, {"ByModem", "INTEGER"},
      {"TPrefijo", "TEXT"}, {"IModemSpeed", "INTEGER"}, {"TUsuario", "TEXT"}, {"memo", "TEXT"}},
     nullptr},
    {"Programacion",
     {{"LNumeroSerie", "INTEGER NOT NULL"}, {"DFecha", "TEXT"}, {"TContacto", "TEXT"},
      {"TLocal", "TEXT"}, {"TDireccion", "TEXT"}, {"TPoblacion", "TEXT"}, {"TTelefono", "TEXT"},
      {"TNota", "TEXT"}, {"TVersion", "TEXT"}, {"TModelo", "TEXT"}, {"BoCambioHora", "INTEGER"},
      {"TIdioma", "TEXT"}, {"ByTLeq", "INTEGER"}, {"ByMFast", "INTEGER"}, {"BoImpresion", "INTEGER"},
      {"TLunesInicio", "TEXT"}, {"TLunesFin", "TEXT"}, {"TMartesInicio", "TEXT"},
      {"TMartesFin", "TEXT"}, {"TMiercolesInicio", "TEXT"}, {"TMiercolesFin", "TEXT"},
      {"TJuevesInicio", "TEXT"}, {"TJuevesFin", "TEXT"}, {"TViernesInicio", "TEXT"},
      {"TViernesFin", "TEXT"}, {"TSabadoInicio", "TEXT"}, {"TSabadoFin", "TEXT"},
      {"TDomingoInicio", "TEXT"}, {"TDomingoFin", "TEXT"}, {"ByNivelDiaLocal", "INTEGER"},
      {"ByNivelDiaVecino", "INTEGER"}, {"THoraEmpiezaNoche", "TEXT"}, {"THoraTerminaNoche", "TEXT"},
      {"ByNivelNocheLocal", "INTEGER"}, {"ByNivelNocheVecino", "INTEGER"},
      {"ITiempoAtenuacion", "INTEGER"}, {"TTipoActuacionLocal", "TEXT"},
      {"TTipoActuacionVecino", "TEXT"}, {"SOctava31,5Hz", "REAL"}, {"SOctava63Hz", "REAL"},
      {"SOctava125Hz", "REAL"}, {"SOctava250Hz", "REAL"}, {"SOctava500Hz", "REAL"},
      {"SOctava1kHz", "REAL"}, {"SOctava2kHz", "REAL"}, {"SOctava4kHz", "REAL"},
      {"SOctava8kHz", "REAL"}, {"ByRings", "INTEGER"}, {"DFechaTotales", "TEXT"},
      {"THoraTotales", "TEXT"}, {"LPasadasLocal", "INTEGER"}, {"LPasadasVecino", "INTEGER"},
      {"LE3", "INTEGER"}, {"LCB", "INTEGER"}, {"ByVelocidad", "INTEGER"},
      {"CMI", "INTEGER DEFAULT 0"}},
     "PRIMARY KEY (LNumeroSerie)"},
    {"IntervaloInhabil",
     {{"LNumeroSerie", "INTEGER NOT NULL"}, {"ByIntervalo", "INTEGER NOT NULL"},
      {"TDiaEmpiezaInt", "TEXT"}, {"THoraEmpiezaInt", "TEXT"}, {"TDiaTerminaInt", "TEXT"},
      {"THoraTerminaInt", "TEXT"}},
     "PRIMARY KEY (LNumeroSerie, ByIntervalo)"},
    {"Intervalos",
     {{"LNumeroSerie", "INTEGER NOT NULL"}, {"DFechaInicio", "TEXT NOT NULL"},
      {"THoraInicio", "TEXT NOT NULL"}, {"DFechaFinal", "TEXT"}, {"THoraFinal", "TEXT"},
      {"ByTLeq", "INTEGER"}, {"SLeqLocal", "REAL"}, {"SLeqVecino", "REAL"},
      {"TTipoActuacionLocal", "TEXT"}, {"TTipoActuacionVecino", "TEXT"},
      {"ByNivelLeqLocal", "INTEGER"}, {"ByNivelLeqVecino", "INTEGER"}, {"SMaxLeq1min", "REAL"},
      {"TFechaMaxLeq1min", "TEXT"}, {"THoraMaxLeq1min", "TEXT"}, {"SMinLeq1min", "REAL"},
      {"TFechaMinLeq1min", "TEXT"}, {"THoraMinLeq1min", "TEXT"}, {"SMaxFast", "REAL"},
      {"ByNivelMFast", "INTEGER"}, {"IPasMaxFast", "INTEGER"}, {"SL1", "REAL"}, {"SL5", "REAL"},
      {"SL10", "REAL"}, {"SL50", "REAL"}, {"SL90", "REAL"}, {"BoRS232", "INTEGER"},
      {"BoProgramacion", "INTEGER"}, {"IDesco", "INTEGER"}, {"IPasadasLocal", "INTEGER"},
      {"IPasadasVecino", "INTEGER"}, {"IE3", "INTEGER"}, {"ByDNA", "INTEGER"}, {"ByENA", "INTEGER"},
      {"ByLineaInsuficiente", "INTEGER"}},
     "PRIMARY KEY (LNumeroSerie, DFechaInicio, THoraInicio)"},
    {"Sesiones",
     {{"LNumeroSerie", "INTEGER"}, {"DFechaInicio", "TEXT"}, {"THoraInicio", "TEXT"},
      {"DFechaFinal", "TEXT"}, {"THoraFinal", "TEXT"}, {"SLeq", "REAL"},
      {"ByNivelDiaLocal", "INTEGER"}, {"ByNivelDiaVecino", "INTEGER"}, {"THoraInicioNoche", "TEXT"},
      {"THoraFinalNoche", "TEXT"}, {"ByNivelNocheLocal", "INTEGER"},
      {"ByNivelNocheVecino", "INTEGER"}, {"ITiempoAtenuacion", "INTEGER"}, {"LDesco", "INTEGER"},
      {"LPasadasLocal", "INTEGER"}, {"LPasadasVecino", "INTEGER"}, {"LE3", "INTEGER"},
      {"SMaxFast", "REAL"}, {"ByNivelMFast", "INTEGER"}, {"LPasMaxFast", "INTEGER"},
      {"SMaxLeq1min", "REAL"}, {"TFechaMaxLeq1min", "TEXT"}, {"THoraMaxLeq1min", "TEXT"},
      {"SMinLeq1min", "REAL"}, {"TFechaMinLeq1min", "TEXT"}, {"THoraMinLeq1min", "TEXT"},
      {"SL1", "REAL"}, {"SL5", "REAL"}, {"SL10", "REAL"}, {"SL50", "REAL"}, {"SL90", "REAL"}},
     nullptr},
    {"DiaBorrado", {{"LNumeroSerie", "INTEGER"}, {"DFecha", "TEXT"}, {"THora", "TEXT"}}, nullptr},
    {"DiaReprogramado", {{"LNumeroSerie", "INTEGER"}, {"DFecha", "TEXT"}, {"THora", "TEXT"}}, nullptr},
    {"DiaFinalBateria", {{"LNumeroSerie", "INTEGER"}, {"DFecha", "TEXT"}, {"THora", "TEXT"}}, nullptr},
};

// The program's own bookkeeping, apart from the tables of the exchanged data: the moment from which
// a device's records may be missing, so that the next download reaches back to it (version 2).
const Table kOwnTables[] = {
    {"DescargaPendiente", {{"LNumeroSerie", "INTEGER NOT NULL"}, {"DFechaDesde", "TEXT"}, {"THoraDesde", "TEXT"}},
     "PRIMARY KEY (LNumeroSerie)"},
};

const char* const kIndexes[] = {
    "CREATE INDEX IF NOT EXISTS \"Sesiones_Inicio\" ON \"Sesiones\" (LNumeroSerie, DFechaInicio, THoraInicio)",
    "CREATE INDEX IF NOT EXISTS \"DiaBorrado_Momento\" ON \"DiaBorrado\" (LNumeroSerie, DFecha, THora)",
    "CREATE INDEX IF NOT EXISTS \"DiaReprogramado_Momento\" ON \"DiaReprogramado\" (LNumeroSerie, DFecha, THora)",
    "CREATE INDEX IF NOT EXISTS \"DiaFinalBateria_Momento\" ON \"DiaFinalBateria\" (LNumeroSerie, DFecha, THora)",
};

QString createTableSql(const Table& t)
{
    QStringList parts;
    for (const Column& c : t.columns)
        parts << quoteIdentifier(QString::fromUtf8(c.name)) + QLatin1Char(' ') + QLatin1String(c.type);
    if (t.key)
        parts << QLatin1String(t.key);
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)")
        .arg(quoteIdentifier(QString::fromUtf8(t.name)), parts.join(QStringLiteral(", ")));
}

void setFailure(const QSqlDatabase& db, const QSqlError& e, QString* error, int* code)
{
    const QString text = sqlErrorText(e);
    const int refined = sqlErrorCode(db, e);
    noteSqlFailure(text, refined);
    if (error)
        *error = text;
    if (code)
        *code = refined;
}

bool exec(QSqlDatabase& db, const QString& sql, QString* error, int* code = nullptr)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    setFailure(db, q.lastError(), error, code);
    return false;
}

} // namespace

QSqlDatabase mainDb() { return QSqlDatabase::database(QLatin1String(kMainConnection), false); }

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(v.constData());
    return nullptr;
}

int sqlErrorCode(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code : 0;
}

int systemFaultCode(sqlite3* handle, int code)
{
    const int primary = code & 0xff;
    if (!handle || (primary != SQLITE_IOERR && primary != SQLITE_CANTOPEN))
        return code;
    switch (sqlite3_system_errno(handle)) {
    case ENOSPC:
    case EDQUOT: return SQLITE_FULL;
    case EROFS: return SQLITE_READONLY;
    default: return code;
    }
}

int sqlErrorCode(const QSqlDatabase& db, const QSqlError& error)
{
    return systemFaultCode(sqliteHandle(db), sqlErrorCode(error));
}

namespace {

struct NotedFailure {
    QString text;
    int code = 0;
};

NotedFailure& notedFailure()
{
    static NotedFailure noted;
    return noted;
}

} // namespace

void noteSqlFailure(const QString& text, int code) { notedFailure() = {text, code}; }

bool sqlFailureNoted(const QString& text) { return !text.isEmpty() && notedFailure().text == text; }

int sqlFailureCodeOf(const QString& text) { return sqlFailureNoted(text) ? notedFailure().code : 0; }

QString sqlErrorText(const QSqlError& error)
{
    const QString library = error.databaseText();
    const QString text = library.isEmpty() ? error.text() : library;
    noteSqlFailure(text, sqlErrorCode(error));
    return text;
}

QString quoteIdentifier(const QString& name)
{
    QString n = name;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

QStringList schemaTables()
{
    QStringList out;
    for (const Table& t : kTables)
        out << QString::fromUtf8(t.name);
    return out;
}

QStringList schemaColumns(const QString& table)
{
    QStringList out;
    for (const Table& t : kTables)
        if (table == QLatin1String(t.name))
            for (const Column& c : t.columns)
                out << QString::fromUtf8(c.name);
    return out;
}

namespace {

int schemaVersionOf(QSqlDatabase& db, QString* error, int* code)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        setFailure(db, q.lastError(), error, code);
        return -1;
    }
    return q.value(0).toInt();
}

} // namespace

int Database::schemaVersion(QSqlDatabase& db, QString* error) { return schemaVersionOf(db, error, nullptr); }

namespace {

// Adds the columns of `t` that the stored table lacks (a file from an older program, or one
// damaged by hand). A column added later cannot be NOT NULL; its rows read as empty.
bool addMissingColumns(QSqlDatabase& db, const Table& t, QString* error, int* code)
{
    const QString table = quoteIdentifier(QString::fromUtf8(t.name));
    QSqlQuery info(db);
    if (!info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table))) {
        setFailure(db, info.lastError(), error, code);
        return false;
    }
    QStringList present;
    while (info.next())
        present << info.value(1).toString().toLower();
    info.finish();
    for (const Column& c : t.columns) {
        const QString name = QString::fromUtf8(c.name);
        if (present.contains(name.toLower()))
            continue;
        QString type = QString::fromLatin1(c.type);
        type.remove(QStringLiteral(" NOT NULL"));
        if (!exec(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(table, quoteIdentifier(name), type),
                  error, code))
            return false;
    }
    return true;
}

// Exactly one settings row: adds it when missing, drops surplus rows a merge may have left.
bool fixSettingsRow(QSqlDatabase& db, QString* error, int* code)
{
    QSqlQuery count(db);
    if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM Configuracion")) || !count.next()) {
        setFailure(db, count.lastError(), error, code);
        return false;
    }
    const int rows = count.value(0).toInt();
    count.finish();
    if (rows == 0)
        return exec(db,
                    QStringLiteral("INSERT INTO Configuracion (ByCom, IIdioma, ByTono, ByModem, TPrefijo, "
                                   "IModemSpeed, TUsuario, memo) VALUES (1, 3000, 1, 0, ' ', 19200, '', '')"),
                    error, code);
    if (rows > 1)
        return exec(db,
                    QStringLiteral("DELETE FROM Configuracion WHERE rowid <> (SELECT MIN(rowid) FROM Configuracion)"),
                    error, code);
    return true;
}

} // namespace

bool Database::ensureSchema(QSqlDatabase& db, QString* error, int* code)
{
    const int version = schemaVersionOf(db, error, code);
    if (version < 0)
        return false;
    if (version > kSchemaVersion) {
        if (error)
            *error = QStringLiteral("user_version %1 > %2").arg(version).arg(kSchemaVersion);
        return false;
    }
    // Every open checks the schema: missing tables, columns and indexes are added, rows kept; the
    // settings row is fixed in the same transaction.
    if (!beginWrite(db, error, code))
        return false;
    bool ok = true;
    for (const Table& t : kTables)
        ok = ok && exec(db, createTableSql(t), error, code) && addMissingColumns(db, t, error, code);
    for (const Table& t : kOwnTables)
        ok = ok && exec(db, createTableSql(t), error, code) && addMissingColumns(db, t, error, code);
    for (const char* sql : kIndexes)
        ok = ok && exec(db, QLatin1String(sql), error, code);
    if (ok && version != kSchemaVersion)
        ok = exec(db, QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion), error, code);
    ok = ok && fixSettingsRow(db, error, code);
    if (!ok) {
        rollbackWrite(db);
        return false;
    }
    return commitWrite(db, error, code);
}

bool Database::open(const QString& path, QString* error, bool* newer, int* code)
{
    // Already done before main; the call keeps it linked into every program that opens the database.
    shareDatabaseLocks();
    close();
    if (newer)
        *newer = false;
    if (code)
        *code = 0;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kMainConnection));
        db.setDatabaseName(path);
        // The merge attaches its sources through "file:" URIs (read-only, immutable).
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        QString why;
        if (!db.open()) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(path, sqlErrorText(db.lastError()));
            if (code)
                *code = sqlErrorCode(db, db.lastError());
        } else if (schemaVersionOf(db, &why, code) > kSchemaVersion) {
            // Made by a newer program: nothing is written to it (not even the journal mode).
            if (newer)
                *newer = true;
            if (error)
                *error = QStringLiteral("%1: user_version > %2").arg(path).arg(kSchemaVersion);
        } else {
            ok = exec(db, QStringLiteral("PRAGMA journal_mode=WAL"), &why, code)
                && exec(db, QStringLiteral("PRAGMA synchronous=FULL"), &why, code)
                && ensureSchema(db, &why, code);
            if (!ok && error)
                *error = QStringLiteral("%1: %2").arg(path, why);
        }
    }
    if (!ok)
        close();
    return ok;
}

bool Database::isOpen() { return mainDb().isOpen(); }

void Database::close()
{
    if (!QSqlDatabase::contains(QLatin1String(kMainConnection)))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(QLatin1String(kMainConnection), false);
        db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(kMainConnection));
}

namespace {

// Open groups by connection name; everything runs on the UI thread.
std::map<QString, std::function<void()>>& openGroups()
{
    static std::map<QString, std::function<void()>> groups;
    return groups;
}

bool execWrite(QSqlDatabase& db, const char* sql, QString* error, int* code)
{
    QSqlQuery q(db);
    if (q.exec(QLatin1String(sql)))
        return true;
    setFailure(db, q.lastError(), error, code);
    return false;
}

} // namespace

OpenGroup::OpenGroup(const QSqlDatabase& db, std::function<void()> commitNow) : connection_(db.connectionName())
{
    openGroups()[connection_] = std::move(commitNow);
}

OpenGroup::~OpenGroup() { openGroups().erase(connection_); }

bool beginWrite(QSqlDatabase& db, QString* error, int* code)
{
    const auto group = openGroups().find(db.connectionName());
    if (group != openGroups().end()) {
        const std::function<void()> commitNow = group->second; // the group unregisters itself
        commitNow();
    }
    return execWrite(db, "BEGIN IMMEDIATE", error, code);
}

bool commitWrite(QSqlDatabase& db, QString* error, int* code)
{
    if (execWrite(db, "COMMIT", error, code))
        return true;
    rollbackWrite(db);
    return false;
}

void rollbackWrite(QSqlDatabase& db)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("ROLLBACK"));
}

bool WriteTransaction::begin(QString* error, int* code)
{
    active_ = beginWrite(db_, error, code);
    return active_;
}

bool WriteTransaction::commit(QString* error, int* code)
{
    if (!active_)
        return false;
    active_ = false;
    return commitWrite(db_, error, code);
}

void WriteTransaction::rollback()
{
    if (active_)
        rollbackWrite(db_);
    active_ = false;
}

} // namespace nbx
