#include "ExchangeFileWriter.h"

#include "common/Cp1252.h"
#include "common/Database.h"
#include "import/ExchangeImport.h"
#include "import/ExchangeSchema.h"

#include <QDate>
#include <QSqlQuery>
#include <QTime>
#include <QSqlRecord>
#include <QStringList>
#include <cmath>

namespace nbx::test {

namespace {

QString quoted(const QString& text)
{
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

// The exchange cell of a storage-form row.
QString cell(const ExchangeTable& t, const ExchangeColumn& c, const QVariantMap& row, const ExchangeWriterOptions& o)
{
    const QString name = QString::fromLatin1(c.name);
    const QVariant v = row.value(name);
    if (t.dateTimeColumns() && c.type == ExchangeType::Date) {
        if (v.isNull())
            return {};
        const QString time = row.value(name == u"DFechaInicio" ? QStringLiteral("THoraInicio") : QStringLiteral("THoraFinal")).toString();
        return v.toString() + QLatin1Char(' ') + time + QStringLiteral(":00");
    }
    if (v.isNull())
        return {};
    if (name.startsWith(QLatin1String("TDia")) && name.endsWith(QLatin1String("Int"))) {
        const QString s = v.toString(); // "dd/mm/yy"
        if (s == u"00/00/00")
            return QStringLiteral("0000-00-00");
        return QStringLiteral("20") + s.mid(6, 2) + QLatin1Char('-') + s.mid(3, 2) + QLatin1Char('-') + s.mid(0, 2);
    }
    switch (c.type) {
    case ExchangeType::Bit: return v.toInt() != 0 ? o.bitTrue : QStringLiteral("0");
    case ExchangeType::Single: {
        QString s = QString::number(v.toDouble(), 'f', 1);
        if (o.decimalComma)
            s.replace(QLatin1Char('.'), QLatin1Char(','));
        return s;
    }
    case ExchangeType::Date:
        return t.dateTimeFormat ? v.toString() : v.toString() + QStringLiteral(":00");
    default: return quoted(v.toString());
    }
}

} // namespace

QByteArray writeExchangeFile(const QList<ExchangeSectionRows>& sections, const ExchangeWriterOptions& o)
{
    QByteArray out;
    for (const ExchangeSectionRows& s : sections) {
        out += unicodeToCp1252(QStringLiteral("//") + s.table + o.markerTail) + o.lineEnd;
        const int index = exchangeTableIndex(s.table);
        if (index < 0) {
            out += "A;B" + o.lineEnd + "1;2" + o.lineEnd;
            continue;
        }
        const ExchangeTable& t = exchangeTables()[index];
        QStringList header;
        for (const ExchangeColumn& c : t.columns)
            header << QString::fromLatin1(c.name);
        out += unicodeToCp1252(header.join(QLatin1Char(';'))) + o.lineEnd;
        for (const QVariantMap& row : s.rows) {
            QStringList cells;
            for (const ExchangeColumn& c : t.columns)
                cells << cell(t, c, row, o);
            out += unicodeToCp1252(cells.join(QLatin1Char(';'))) + o.lineEnd;
        }
    }
    return out;
}

QVariantMap sampleRow(const QString& table, int i)
{
    QVariantMap row;
    const int index = exchangeTableIndex(table);
    const QStringList columns = importColumns(index);
    const QDate day = QDate(2005, 3, 1).addDays(i / 96);
    const QString hhmm = QTime(0, 0).addSecs((i % 96) * 900).toString(QStringLiteral("HH:mm"));
    for (const QString& c : columns) {
        QVariant v;
        if (c == u"LNumeroSerie")
            v = 100000 + (index == 5 ? i : i % 7);
        else if (c == u"ByIntervalo")
            v = 1 + i % 30;
        else if (c.startsWith(QLatin1String("TDia")))
            v = i % 5 == 0 ? QStringLiteral("00/00/00") : day.toString(QStringLiteral("dd/MM/")) + QStringLiteral("05");
        else if (c.startsWith(QLatin1String("THora")) && c.endsWith(QLatin1String("Int")))
            v = hhmm;
        else if (c == u"DFechaFinal")
            v = day.addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
        else if (c.startsWith(QLatin1Char('D')))
            v = day.toString(QStringLiteral("yyyy-MM-dd"));
        else if (c == u"THoraTotales")
            v = QStringLiteral("14:35:12");
        else if (c.startsWith(QLatin1String("TFecha")))
            v = i % 3 == 0 ? QStringLiteral("00/00/1900") : day.toString(QStringLiteral("dd/MM/yyyy"));
        else if (c.startsWith(QLatin1String("THora")) || c.endsWith(QLatin1String("Inicio")) || c.endsWith(QLatin1String("Fin")))
            v = hhmm;
        else if (c == u"TNota")
            v = QStringLiteral("Nota; con \"comillas\" y acentos: á Ñ € º");
        else if (c == u"TContacto")
            v = QStringLiteral("Joan d'Òdena");
        else if (c.startsWith(QLatin1Char('T')))
            v = i % 4 == 0 ? QVariant() : QVariant(QStringLiteral("T%1").arg(i % 100));
        else if (c.startsWith(QLatin1String("Bo")) || c == u"CMI")
            v = i % 2 == 0 ? -1 : 0;
        else if (c.startsWith(QLatin1Char('S')))
            v = (600 + (i * 7) % 600) / 10.0;
        else if (c.startsWith(QLatin1String("By")))
            v = (i * 13) % 256;
        else if (c.startsWith(QLatin1Char('I')))
            v = (i * 31) % 32000;
        else
            v = i * 1001;
        row.insert(c, v);
    }
    return row;
}

QList<QVariantMap> tableRows(const QString& table, const QString& connection)
{
    QList<QVariantMap> out;
    QSqlQuery q(connection.isEmpty() ? mainDb() : QSqlDatabase::database(connection));
    q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(quoteIdentifier(table)));
    while (q.next()) {
        QVariantMap row;
        const QSqlRecord r = q.record();
        for (int i = 0; i < r.count(); ++i)
            row.insert(r.fieldName(i), r.value(i));
        out << row;
    }
    return out;
}

bool sameValues(const QVariantMap& expected, const QVariantMap& stored, QString* why)
{
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const QVariant s = stored.value(it.key());
        const QVariant& e = it.value();
        bool same;
        if (e.isNull() || s.isNull())
            same = e.isNull() && s.isNull();
        else if (e.typeId() == QMetaType::Double || e.typeId() == QMetaType::Int || e.typeId() == QMetaType::LongLong)
            same = std::abs(e.toDouble() - s.toDouble()) < 1e-9;
        else
            same = e.toString() == s.toString();
        if (!same) {
            *why = QStringLiteral("%1: expected %2, stored %3").arg(it.key(), e.toString(), s.toString());
            return false;
        }
    }
    return true;
}

} // namespace nbx::test
