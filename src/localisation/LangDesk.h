// The localisation engine: string lookup by id, translation of native (Spanish) texts through the
// language database, width-test padding, and the single-text side of the string export.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <stdexcept>

namespace nbx {

// An error of the engine's database work (export, transactions). Lookups never throw.
class LangDeskError : public std::runtime_error {
public:
    explicit LangDeskError(const QString& description)
        : std::runtime_error(description.toStdString()), description_(description) {}
    QString description() const { return description_; }

private:
    QString description_;
};

class LangDesk {
public:
    enum DbType : long { AccessLanguageDatabase = 0, TextLanguageDatabase = 1 };

    LangDesk();
    ~LangDesk();
    LangDesk(const LangDesk&) = delete;
    LangDesk& operator=(const LangDesk&) = delete;

    // Properties (getter before setter).
    bool bEnabled() const { return bEnabled_; }
    void setBEnabled(bool v) { bEnabled_ = v; }
    bool bTestStrWidth() const { return bTestStrWidth_; }
    void setBTestStrWidth(bool v) { bTestStrWidth_ = v; }
    long LocaleID() const;
    QString sErrDescription() const { return sErrDescription_; }
    QString sLanguageDB() const { return sLanguageDB_; }
    QString sPadChar() const { return sPadChar_; }
    void setSPadChar(const QString& v);
    QString sProperties() const { return sProperties_; }
    void setSProperties(const QString& v);
    QString sStrWidthFactors() const { return sStrWidthFactors_; }
    void setSStrWidthFactors(const QString& v) { sStrWidthFactors_ = v; }
    QString sTagExclude() const { return sTagExclude_; }
    void setSTagExclude(const QString& v);
    long lTagExcludeLen() const { return lTagExcludeLen_; }
    QString sForeignColumnName() const { return sForeignColumnName_; }
    void setSForeignColumnName(const QString& v) { sForeignColumnName_ = v; }
    QString sUnknownStrID() const { return sUnknownStrID_; }
    void setSUnknownStrID(const QString& v) { sUnknownStrID_ = v; }
    bool bConvertEscapes() const { return bConvertEscapes_; }
    void setBConvertEscapes(bool v) { bConvertEscapes_ = v; }

    bool bDbOpen() const { return bDbOpen_; }
    bool bDbReadOnly() const { return bDbReadOnly_; }
    long lDbType() const { return lDbType_; }
    long lMaxNativeLen() const { return lMaxNativeLen_; }
    long lNumStrings() const { return lNumStrings_; }
    const QStringList& colProperties() const { return colProperties_; }

    // True when window texts are to be translated: width test on, or a database open read-only.
    bool translatesWindows() const { return bTestStrWidth_ || (bDbOpen_ && bDbReadOnly_); }

    // Language database (table kind: SQLite file with the table LangDesk; text kind: profile-style
    // file). Opening first closes whatever is open; a failed open leaves the engine closed with the
    // reason in sErrDescription. A table-kind database opened for writing (bReadOnly false) serves
    // the export only: lookups then return the native text.
    bool OpenLanguageDatabase(const QString& sDatabase, bool bReadOnly, long eDbType);
    void CloseLanguageDatabase();

    // Text of a string id in the current language, "%s" filled by the arguments in turn.
    QString GetS(long id, std::initializer_list<QString> args = {});
    // Translation of a native text (the native text when there is none).
    QString GetTranslation(const QString& native);
    // Next token of `source` (which receives the rest); see the implementation for quoting.
    QString GetToken(QString& source, const QString& separator);
    // "{\r}" becomes CR and "{\n}" LF.
    static QString ConvertCrLf(const QString& text);

    // Export (table kind opened for writing). Errors throw LangDeskError.
    void BeginExportTransaction();
    void CommitExportTransaction();
    void RollbackExportTransaction() noexcept;
    // Marks every row unused, then exports the built-in texts of ids 1..count-1.
    void ExportStrings(long count);
    // Marks the exact-case row of `text` in use, adding it when missing. A text longer than
    // lMaxNativeLen is reported and skipped.
    void ExportOneString(const QString& text);

    // Creates a table-kind language database file with an empty LangDesk table.
    static bool CreateLanguageDatabase(const QString& path, QString* error);
    // The language columns of a new table-kind database, in their order.
    static QStringList languageColumns();

private:
    void ParseProperties();
    QString widthTestPadding(const QString& native);
    QString GetTranslationAccess(const QString& native);
    QString GetTranslationText(const QString& native);
    bool openTable(const QString& path, bool readOnly);
    bool LoadTextColumn(const QString& file, const QString& column, QStringList& array);
    void closeTable() noexcept;
    void requireWritableTable();

    bool bEnabled_ = true;
    bool bTestStrWidth_ = false;
    QString sErrDescription_;
    QString sForeignColumnName_;
    QString sLanguageDB_;
    QString sPadChar_;
    QString sProperties_;
    QString sStrWidthFactors_;
    QString sTagExclude_;
    QString sUnknownStrID_;
    long lTagExcludeLen_ = 1;
    long lMaxNativeLen_ = 255;
    bool bDbOpen_ = false;
    bool bDbReadOnly_ = false;
    bool bConvertEscapes_ = true;
    QStringList colProperties_;
    long lDbType_ = AccessLanguageDatabase;
    long lNumStrings_ = 0;
    QStringList asNative_, asForeign_;

    // Table kind: the connection, and the translation column as named in the table (empty when
    // the table lacks the column in use).
    QString connectionName_;
    QString tableColumn_;
    QSqlQuery lookup_;
    bool inTransaction_ = false;
};

// The program's one engine, created on first use and kept for the program's life.
LangDesk& langDesk();
// Closes the engine's language database; call before the application object goes away.
void shutdownLangDesk();

// SetupLanguage: opens the language database `name` for the language column `language` on
// `engine` (start-up). "<TESTWIDTH>" switches on the width test; an empty name or language closes
// the database. A name containing ".MDB" or ending in ".DB" (any case) is a table-kind database,
// any other a text-kind one. A relative name is looked up in the data folder, then in the
// resources folder; on success `name` becomes the path opened. A failure is reported and
// returns false, leaving the program in Spanish.
bool SetupLanguage(QString& name, const QString& language, LangDesk& engine);
// The same, looking a relative name up in `folders`, in order.
bool SetupLanguage(QString& name, const QString& language, LangDesk& engine, const QStringList& folders);

// The seven languages by language code (1000 Spanish ... 7000 Portuguese): the column names
// handed to SetupLanguage, exactly as the database names them ("English" for any other code);
// the Windows locale id kept in nbx70.ini (empty for any other code); and back from the locale id
// (0 for any other text, compared exactly).
QString languageColumnForCode(int codigoIdioma);
QString localeIdForLanguageCode(int codigoIdioma);
int languageCodeForLocaleId(const QString& localeId);

} // namespace nbx
