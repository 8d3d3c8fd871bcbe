// Writes KM70 exchange files from rows in the main database's storage forms, for tests and benches.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

namespace nbx::test {

struct ExchangeWriterOptions {
    QByteArray lineEnd = "\r\n";
    QString markerTail = QStringLiteral("//"); // the two characters after the table name
    bool decimalComma = false;
    QString bitTrue = QStringLiteral("1");
};

struct ExchangeSectionRows {
    QString table;             // written after "//" as given
    QList<QVariantMap> rows;   // main-database columns and storage forms
};

// One exchange file (Windows-1252) holding the sections in order.
QByteArray writeExchangeFile(const QList<ExchangeSectionRows>& sections, const ExchangeWriterOptions& options = {});

// A plausible row of `table` in storage forms, varied by `i` (serials 100000 + i % 7).
QVariantMap sampleRow(const QString& table, int i);

// Every row of a main-database table, ordered by rowid, as column -> value.
QList<QVariantMap> tableRows(const QString& table, const QString& connection = {});

// True when `stored` holds the values of `expected` (numbers compared as numbers, NULL as NULL).
bool sameValues(const QVariantMap& expected, const QVariantMap& stored, QString* why);

} // namespace nbx::test
