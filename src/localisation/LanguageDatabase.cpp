// The language database of the engine: opening and closing, the table-kind (SQLite) and
// text-kind lookups, and the single-text writes of the export.
#include "localisation/LangDesk.h"

#include "common/AppPaths.h"
#include "common/Cp1252.h"
#include "common/Database.h"
#include "common/IniFile.h"
#include "common/Prompter.h"
#include "localisation/Strings.h"

#include <QDir>
#include <algorithm>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlRecord>

namespace nbx {

long roundVal(const QString& text);

namespace {

int connectionCounter = 0;

// Access stores Yes as -1; anything non-zero or "true" reads as Yes.
bool readYesNo(const QVariant& v)
{
    if (v.isNull())
        return false;
    const QString s = v.toString().trimmed();
    if (s.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
        return true;
    bool ok = false;
    const double d = s.toDouble(&ok);
    return ok && d != 0.0;
}

// A genuine Access (Jet or ACE) file: "Standard Jet DB" / "Standard ACE DB" at byte 4.
bool isAccessFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(20);
    return head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB";
}

// Lines of a text file held in memory, with any line end (CR LF, LF, CR). Positions are bytes.
class ByteLines {
public:
    explicit ByteLines(QByteArray bytes) : bytes_(std::move(bytes)), utf8_(isValidUtf8(bytes_)) {}

    bool atEnd() const { return pos_ >= bytes_.size(); }
    void rewind() { pos_ = 0; }
    // Moves to the 1-based byte position; false when it lies outside the file.
    bool seek(qint64 position)
    {
        if (position < 1 || position > bytes_.size())
            return false;
        pos_ = position - 1;
        return true;
    }
    QString readLine()
    {
        const qint64 start = pos_;
        qint64 end = start;
        while (end < bytes_.size() && bytes_.at(end) != '\r' && bytes_.at(end) != '\n')
            ++end;
        pos_ = end;
        if (pos_ < bytes_.size()) {
            if (bytes_.at(pos_) == '\r' && pos_ + 1 < bytes_.size() && bytes_.at(pos_ + 1) == '\n')
                pos_ += 2;
            else
                pos_ += 1;
        }
        const QByteArray raw = bytes_.mid(start, end - start);
        QString line = utf8_ ? QString::fromUtf8(raw) : cp1252ToUnicode(raw);
        if (start == 0 && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        return line;
    }

private:
    QByteArray bytes_;
    bool utf8_;
    qint64 pos_ = 0;
};

const QString kNotValidText = QStringLiteral("Not a valid Text Language Database");
const QString kHeaderSection = QStringLiteral("Language Desk");

} // namespace

bool LangDesk::OpenLanguageDatabase(const QString& sDatabase, bool bReadOnly, long eDbType)
{
    CloseLanguageDatabase();
    lDbType_ = eDbType;
    bool result = true;
    try {
        if (eDbType != TextLanguageDatabase) {
            result = openTable(sDatabase, bReadOnly);
        } else {
            bReadOnly = true; // a text database is never written
            result = LoadTextColumn(sDatabase, QStringLiteral("Native"), asNative_);
            if (result)
                result = LoadTextColumn(sDatabase, sForeignColumnName_, asForeign_);
        }
    } catch (const std::exception& e) {
        sErrDescription_ = QString::fromLocal8Bit(e.what());
        result = false;
    }
    if (result) {
        bDbReadOnly_ = bReadOnly;
        sLanguageDB_ = sDatabase;
        bDbOpen_ = true;
    } else {
        CloseLanguageDatabase();
    }
    return result;
}

void LangDesk::CloseLanguageDatabase()
{
    closeTable();
    asNative_ = QStringList{QString()};
    asForeign_ = QStringList{QString()};
    sLanguageDB_.clear();
    bDbOpen_ = false;
    bDbReadOnly_ = false;
}

void LangDesk::closeTable() noexcept
{
    if (connectionName_.isEmpty())
        return;
    if (inTransaction_)
        RollbackExportTransaction();
    lookup_ = QSqlQuery();
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
    connectionName_.clear();
    tableColumn_.clear();
}

// Opens the SQLite file and checks the table at once, so that a bad file fails the open. The file
// is never created here. Opened for writing (the export), a missing table is created.
bool LangDesk::openTable(const QString& path, bool readOnly)
{
    if (!QFileInfo(path).isFile()) {
        sErrDescription_ = QStringLiteral("Language database not found: %1").arg(path);
        return false;
    }
    if (isAccessFile(path)) {
        sErrDescription_ = QStringLiteral(
            "%1 is an Access database; Access language databases are not supported, convert it "
            "to a SQLite language database").arg(path);
        return false;
    }
    connectionName_ = QStringLiteral("nbx_langdesk_%1").arg(++connectionCounter);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db.setDatabaseName(path);
    if (readOnly)
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open()) {
        sErrDescription_ = sqlErrorText(db.lastError());
        return false;
    }
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("SELECT Native, bIsUsed, bSkip FROM LangDesk LIMIT 1"))) {
        const QSqlError err = check.lastError();
        check = QSqlQuery();
        const bool missingTable = err.text().contains(QStringLiteral("no such table"));
        if (readOnly || !missingTable) {
            sErrDescription_ = err.text();
            return false;
        }
        QString createError;
        QStringList columns = {QStringLiteral("Native TEXT NOT NULL"),
                               QStringLiteral("bIsUsed INTEGER NOT NULL DEFAULT 0"),
                               QStringLiteral("bSkip INTEGER NOT NULL DEFAULT 0")};
        for (const QString& lang : languageColumns())
            columns << quoteIdentifier(lang) + QStringLiteral(" TEXT");
        QSqlQuery create(db);
        if (!create.exec(QStringLiteral("CREATE TABLE LangDesk (%1)").arg(columns.join(QStringLiteral(", "))))
            || !create.exec(QStringLiteral("CREATE INDEX LangDesk_Native ON LangDesk(Native)"))) {
            sErrDescription_ = sqlErrorText(create.lastError());
            return false;
        }
    }
    check = QSqlQuery();

    // The translation column, matched case-insensitively as Jet did. A missing column is not an
    // open failure: each lookup then falls back to the native text.
    QSqlQuery info(db);
    if (info.exec(QStringLiteral("PRAGMA table_info(LangDesk)"))) {
        while (info.next()) {
            const QString name = info.value(1).toString();
            if (name.compare(sForeignColumnName_, Qt::CaseInsensitive) == 0) {
                tableColumn_ = name;
                break;
            }
        }
    }
    info = QSqlQuery();
    if (!tableColumn_.isEmpty()) {
        lookup_ = QSqlQuery(db);
        // Only rows whose Native has exactly the text's case match; the first row decides.
        if (!lookup_.prepare(QStringLiteral("SELECT bSkip, %1 FROM LangDesk WHERE Native = ?1 "
                                            "COLLATE BINARY ORDER BY rowid LIMIT 1")
                                 .arg(quoteIdentifier(tableColumn_)))) {
            sErrDescription_ = sqlErrorText(lookup_.lastError());
            return false;
        }
    }
    lMaxNativeLen_ = 255; // SQLite has no column size: the Access text maximum
    return true;
}

QString LangDesk::GetTranslationAccess(const QString& native)
{
    if (native.isEmpty() || !bEnabled_ || !bDbOpen_ || !bDbReadOnly_)
        return native;
    if (tableColumn_.isEmpty()) {
        sErrDescription_ = QStringLiteral("Language column '%1' not found in the language database")
                               .arg(sForeignColumnName_);
        return native;
    }
    lookup_.bindValue(0, native);
    if (!lookup_.exec()) {
        sErrDescription_ = sqlErrorText(lookup_.lastError());
        return native;
    }
    QString result = native;
    if (lookup_.next() && !readYesNo(lookup_.value(0))) {
        const QVariant value = lookup_.value(1);
        // NULL means "not translated"; an empty text is an empty translation.
        if (!value.isNull())
            result = value.toString();
    }
    lookup_.finish();
    return result;
}

QString LangDesk::GetTranslationText(const QString& native)
{
    if (native.isEmpty() || !bEnabled_ || !bDbOpen_ || !bDbReadOnly_)
        return native;
    long low = 1, high = lNumStrings_;
    const long available = std::min<long>(asNative_.size(), asForeign_.size());
    while (low <= high) {
        const long middle = low + (high - low) / 2;
        if (middle > available)
            break;
        const int cmp = asNative_.at(middle - 1).compare(native, Qt::CaseSensitive);
        if (cmp == 0)
            return asForeign_.at(middle - 1);
        if (cmp < 0)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return native;
}

// Reads one column (section) of a text database into `array` (element i = line i of the section).
bool LangDesk::LoadTextColumn(const QString& file, const QString& column, QStringList& array)
{
    // Header: counts, the column's index among the languages, and where its section starts. The
    // header's keys are read once, the first of equal names (in any case) kept; the counts it
    // states cannot make the search outgrow the file itself.
    const IniFile ini(file);
    QHash<QString, QString> headerKeys;
    for (const auto& [key, value] : ini.entries(kHeaderSection)) {
        const QString name = key.toCaseFolded();
        if (!headerKeys.contains(name))
            headerKeys.insert(name, value.left(254));
    }
    auto headerValue = [&](const QString& key, const QString& defaultValue) {
        return headerKeys.value(key.toCaseFolded(), defaultValue.left(254));
    };
    const long numLanguages = std::min<long>(roundVal(headerValue(QStringLiteral("NumberOfLanguages"), QStringLiteral("0"))),
                                             QFileInfo(file).size());
    lNumStrings_ = roundVal(headerValue(QStringLiteral("NumberOfStrings"), QStringLiteral("0")));
    if (numLanguages < 1 || lNumStrings_ < 1) {
        sErrDescription_ = kNotValidText;
        CloseLanguageDatabase();
        return false;
    }
    // The column is the lowest n of 1..NumberOfLanguages whose "Language<n>" names it.
    long index = -1;
    if (column.compare(QStringLiteral("Native"), Qt::CaseInsensitive) == 0) {
        index = 0;
    } else {
        const QString prefix = QStringLiteral("Language").toCaseFolded();
        for (auto it = headerKeys.cbegin(); it != headerKeys.cend(); ++it) {
            if (!it.key().startsWith(prefix) || it.value().compare(column, Qt::CaseInsensitive) != 0)
                continue;
            bool isNumber = false;
            const QString digits = it.key().mid(prefix.size());
            const long n = digits.toLong(&isNumber);
            if (isNumber && n >= 1 && n <= numLanguages && digits == QString::number(n) && (index < 0 || n < index))
                index = n;
        }
    }
    if (index < 0) {
        sErrDescription_ = QStringLiteral("Language column '%1' not found in text language database").arg(column);
        CloseLanguageDatabase();
        return false;
    }
    const long offset = roundVal(headerValue(QStringLiteral("Language%1_Offset").arg(index), QStringLiteral("0")));

    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        sErrDescription_ = QStringLiteral("%1: %2").arg(file, f.errorString());
        CloseLanguageDatabase();
        return false;
    }
    ByteLines lines(f.readAll());
    f.close();

    // The section header: at the offset when it is right there, else searched from the start.
    const QString header = (QLatin1Char('[') + column + QLatin1Char(']')).toUpper();
    bool found = lines.seek(offset) && !lines.atEnd() && lines.readLine().toUpper() == header;
    if (!found) {
        lines.rewind();
        while (!found && !lines.atEnd())
            found = lines.readLine().toUpper() == header;
    }
    if (!found) {
        sErrDescription_ = QStringLiteral("Section [%1] not found in text language database").arg(column);
        CloseLanguageDatabase();
        return false;
    }

    array.clear();
    while (array.size() < lNumStrings_ && !lines.atEnd()) {
        const QString line = lines.readLine();
        // The text follows the first "=" from the third character on; without one, the whole line.
        // Keys therefore need two characters or more: "1=Idioma" is read whole.
        const qsizetype eq = line.indexOf(QLatin1Char('='), 2);
        array.append(eq >= 0 ? line.mid(eq + 1) : line);
    }
    if (array.size() < lNumStrings_) {
        sErrDescription_ = kNotValidText;
        CloseLanguageDatabase();
        return false;
    }
    return true;
}

// ---- Export side ----

void LangDesk::requireWritableTable()
{
    if (lDbType_ == TextLanguageDatabase) {
        sErrDescription_ = QStringLiteral("Text can only be exported to an Access Language Database");
        throw LangDeskError(sErrDescription_);
    }
    if (!bDbOpen_ || connectionName_.isEmpty() || bDbReadOnly_) {
        sErrDescription_ = QStringLiteral("No language database is open for writing");
        throw LangDeskError(sErrDescription_);
    }
}

void LangDesk::BeginExportTransaction()
{
    requireWritableTable();
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (!beginWrite(db, &sErrDescription_))
        throw LangDeskError(sErrDescription_);
    inTransaction_ = true;
}

void LangDesk::CommitExportTransaction()
{
    requireWritableTable();
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (!commitWrite(db, &sErrDescription_)) {
        inTransaction_ = false;
        throw LangDeskError(sErrDescription_);
    }
    inTransaction_ = false;
}

void LangDesk::RollbackExportTransaction() noexcept
{
    if (!inTransaction_ || connectionName_.isEmpty())
        return;
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    rollbackWrite(db);
    inTransaction_ = false;
}

void LangDesk::ExportStrings(long count)
{
    requireWritableTable();
    {
        QSqlQuery q(QSqlDatabase::database(connectionName_, false));
        if (!q.exec(QStringLiteral("UPDATE LangDesk SET bIsUsed = 0"))) {
            sErrDescription_ = sqlErrorText(q.lastError());
            throw LangDeskError(sErrDescription_);
        }
    }
    // The built-in texts themselves, never a translation or a width-test padding, with their
    // escapes as written.
    struct EscapesOff {
        LangDesk& d;
        explicit EscapesOff(LangDesk& e) : d(e) { d.bConvertEscapes_ = false; }
        ~EscapesOff() { d.bConvertEscapes_ = true; }
    } guard(*this);
    for (long id = 1; id < count; ++id) {
        const QString text = GetNativeString(id, sUnknownStrID_);
        if (!text.startsWith(sUnknownStrID_))
            ExportOneString(text);
    }
}

void LangDesk::ExportOneString(const QString& text)
{
    if (text.isEmpty())
        return;
    if (text.size() > lMaxNativeLen_) {
        prompter().message(QStringLiteral("The following string of %1 characters is longer than the "
                                          "maximum of %2 characters that can be stored in the "
                                          "language database:\r\r%3")
                               .arg(text.size()).arg(lMaxNativeLen_).arg(text),
                           Prompter::Icon::None, Prompter::Buttons::Ok);
        return;
    }
    if (!bDbOpen_)
        return;
    requireWritableTable();
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE LangDesk SET bIsUsed = 1 WHERE rowid = (SELECT rowid FROM "
                             "LangDesk WHERE Native = ?1 COLLATE BINARY ORDER BY rowid LIMIT 1)"));
    q.bindValue(0, text);
    if (!q.exec()) {
        sErrDescription_ = sqlErrorText(q.lastError());
        throw LangDeskError(sErrDescription_);
    }
    if (q.numRowsAffected() > 0)
        return;
    q.prepare(QStringLiteral("INSERT INTO LangDesk (Native, bIsUsed, bSkip) VALUES (?1, 1, 0)"));
    q.bindValue(0, text);
    if (!q.exec()) {
        sErrDescription_ = sqlErrorText(q.lastError());
        throw LangDeskError(sErrDescription_);
    }
}

bool LangDesk::CreateLanguageDatabase(const QString& path, QString* error)
{
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("%1 already exists").arg(path);
        return false;
    }
    LangDesk engine;
    // Opening an existing empty file for writing creates the table.
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    f.close();
    if (!engine.OpenLanguageDatabase(path, false, AccessLanguageDatabase)) {
        if (error)
            *error = engine.sErrDescription();
        QFile::remove(path);
        return false;
    }
    engine.CloseLanguageDatabase();
    return true;
}

// ---- SetupLanguage ----

bool SetupLanguage(QString& name, const QString& language, LangDesk& engine)
{
    return SetupLanguage(name, language, engine, {AppPaths::dataDir(), AppPaths::resourceDir()});
}

bool SetupLanguage(QString& name, const QString& language, LangDesk& engine, const QStringList& folders)
{
    try {
        engine.setBTestStrWidth(false);
        const QString trimmed = name.trimmed();
        if (trimmed.toUpper() == QStringLiteral("<TESTWIDTH>")) {
            engine.setBTestStrWidth(true);
            return true;
        }
        if (trimmed.isEmpty() || language.trimmed().isEmpty()) {
            engine.CloseLanguageDatabase();
            return true;
        }
        const QString upper = trimmed.toUpper();
        const long type = (upper.contains(QStringLiteral(".MDB")) || upper.endsWith(QStringLiteral(".DB")))
                              ? LangDesk::AccessLanguageDatabase
                              : LangDesk::TextLanguageDatabase;
        engine.setSForeignColumnName(language);

        QStringList candidates;
        if (QDir::isAbsolutePath(name)) {
            candidates << name;
        } else {
            for (const QString& folder : folders)
                candidates << AppPaths::resolve(folder, name);
        }
        // The reason shown is that of the first file found; "not found" only when none exists.
        QString reason;
        bool reasonOfExistingFile = false;
        for (const QString& path : candidates) {
            if (engine.OpenLanguageDatabase(path, true, type)) {
                name = path;
                return true;
            }
            const bool exists = QFileInfo(path).isFile();
            if (reason.isEmpty() || (exists && !reasonOfExistingFile)) {
                reason = engine.sErrDescription();
                reasonOfExistingFile = exists;
            }
        }
        prompter().message(QStringLiteral("While opening Language Database (") + name
                               + QStringLiteral(") the following error occurred:\r\r") + reason,
                           Prompter::Icon::Exclamation);
        return false;
    } catch (const std::exception& e) {
        prompter().message(QStringLiteral("SetupLanguage() Error: ") + QString::fromLocal8Bit(e.what()),
                           Prompter::Icon::Exclamation);
        return false;
    }
}

} // namespace nbx
