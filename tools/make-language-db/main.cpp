// make-language-db: writes the table-kind language database from the translation source.
//   make-language-db <strings.tsv> <Language.db>
// The output is rebuilt from scratch (written beside the target, then renamed over it), so the
// database holds exactly the rows of the source file.
#include "StringsTsv.h"
#include "common/Database.h"
#include "localisation/LangDesk.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cstdio>

namespace {

bool writeRows(const QString& path, const QList<nbx::StringRow>& rows, QString* error)
{
    const QString connection = QStringLiteral("make_language_db");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (!db.open()) {
            *error = db.lastError().text();
        } else {
            const QStringList languages = nbx::tsvLanguages();
            QStringList names = {QStringLiteral("Native"), QStringLiteral("bIsUsed"), QStringLiteral("bSkip")};
            QStringList marks = {QStringLiteral("?"), QStringLiteral("-1"), QStringLiteral("0")};
            for (const QString& lang : languages) {
                names << nbx::quoteIdentifier(lang);
                marks << QStringLiteral("?");
            }
            db.transaction();
            QSqlQuery insert(db);
            ok = insert.prepare(QStringLiteral("INSERT INTO LangDesk (%1) VALUES (%2)")
                                    .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
            for (qsizetype r = 0; ok && r < rows.size(); ++r) {
                const nbx::StringRow& row = rows.at(r);
                insert.bindValue(0, row.native);
                for (qsizetype l = 0; l < languages.size(); ++l) {
                    const QString& t = row.translations.at(l);
                    // An empty field is "not translated": NULL, so the Spanish text shows.
                    insert.bindValue(int(l + 1), t.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(t));
                }
                ok = insert.exec();
            }
            if (!ok) {
                *error = insert.lastError().text();
                db.rollback();
            } else if (!db.commit()) {
                *error = db.lastError().text();
                ok = false;
            }
            insert = QSqlQuery();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: make-language-db <strings.tsv> <Language.db>\n");
        return 2;
    }
    const QString source = args.at(1);
    const QString target = args.at(2);

    QString error;
    const auto rows = nbx::readStringsTsv(source, &error);
    if (!rows) {
        std::fprintf(stderr, "make-language-db: %s\n", qPrintable(error));
        return 1;
    }

    const QString temp = target + QStringLiteral(".new");
    QFile::remove(temp);
    if (!nbx::LangDesk::CreateLanguageDatabase(temp, &error) || !writeRows(temp, *rows, &error)) {
        std::fprintf(stderr, "make-language-db: %s: %s\n", qPrintable(temp), qPrintable(error));
        QFile::remove(temp);
        return 1;
    }
    QFile::remove(target);
    if (!QFile::rename(temp, target)) {
        std::fprintf(stderr, "make-language-db: cannot write %s\n", qPrintable(target));
        QFile::remove(temp);
        return 1;
    }
    std::printf("%s: %lld texts\n", qPrintable(target), static_cast<long long>(rows->size()));
    return 0;
}
