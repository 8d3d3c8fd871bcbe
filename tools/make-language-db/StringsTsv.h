// The translation source of the shipped language database: a UTF-8 file with one line per
// Spanish text, tab-separated: the Spanish text, then one column per language of kTsvLanguages.
// Inside a field CR is written "\r", LF "\n", tab "\t" and a backslash "\\". An empty field is a
// text not yet translated (NULL in the database). Header-only: the tool and its test share it.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace nbx {

// The translation columns of the file, in order, named as in the language database.
inline QStringList tsvLanguages()
{
    return {QStringLiteral("Catal\u00e0"), QStringLiteral("English"), QStringLiteral("Deutsch"),
            QStringLiteral("Fran\u00e7ais"), QStringLiteral("Italiano"),
            QStringLiteral("Portugu\u00eas")};
}

struct StringRow {
    QString native;
    QStringList translations; // one per tsvLanguages(); empty = untranslated
    int line = 0;
};

inline QString escapeTsvField(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default: out += c;
        }
    }
    return out;
}

// The text of an escaped field; nullopt for an unknown escape or a lone trailing backslash.
inline std::optional<QString> unescapeTsvField(const QString& field)
{
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++i >= field.size())
            return std::nullopt;
        switch (field.at(i).unicode()) {
        case '\\': out += QLatin1Char('\\'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        default: return std::nullopt;
        }
    }
    return out;
}

// Parses the whole file. Every line must have exactly 1 + tsvLanguages().size() fields, a
// non-empty Spanish text that no earlier line has, and valid escapes; the file must be valid
// UTF-8. Blank lines are ignored; the last line may lack its line end. On failure returns
// nullopt with the line number and reason in `error`.
inline std::optional<QList<StringRow>> parseStringsTsv(const QByteArray& bytes, QString* error)
{
    auto fail = [error](int line, const QString& why) -> std::optional<QList<StringRow>> {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return std::nullopt;
    };
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        return fail(0, QStringLiteral("not valid UTF-8"));
    const qsizetype columns = tsvLanguages().size() + 1;
    QList<StringRow> rows;
    QSet<QString> seen;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const int lineNo = int(n + 1);
        QString line = lines.at(n);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() != columns)
            return fail(lineNo, QStringLiteral("%1 fields, expected %2").arg(fields.size()).arg(columns));
        StringRow row;
        row.line = lineNo;
        for (qsizetype f = 0; f < fields.size(); ++f) {
            const std::optional<QString> value = unescapeTsvField(fields.at(f));
            if (!value)
                return fail(lineNo, QStringLiteral("bad escape in field %1").arg(f + 1));
            if (f == 0)
                row.native = *value;
            else
                row.translations << *value;
        }
        if (row.native.isEmpty())
            return fail(lineNo, QStringLiteral("empty Spanish text"));
        if (seen.contains(row.native))
            return fail(lineNo, QStringLiteral("Spanish text repeated: %1").arg(escapeTsvField(row.native)));
        seen.insert(row.native);
        rows << row;
    }
    return rows;
}

inline std::optional<QList<StringRow>> readStringsTsv(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    QString why;
    auto rows = parseStringsTsv(f.readAll(), &why);
    if (!rows && error)
        *error = QStringLiteral("%1: %2").arg(path, why);
    return rows;
}

} // namespace nbx
