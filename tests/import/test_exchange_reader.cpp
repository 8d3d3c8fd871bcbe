// The exchange-file reader: schema, line rule, sections, fields and cells in storage forms.
#include "import/ExchangeImport.h"
#include "import/ExchangeReader.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <gtest/gtest.h>

using namespace nbx;

namespace {

QList<ExchangeSection> sectionsOf(const QByteArray& bytes, std::optional<FormatError>* error = nullptr)
{
    QList<ExchangeSection> out;
    auto e = splitSections(ExchangeText(bytes), &out);
    if (error)
        *error = e;
    return out;
}

} // namespace

TEST(ExchangeSchema, SevenTablesAndTheDescriptionFile)
{
    const int counts[] = {3, 3, 3, 6, 33, 56, 29};
    ASSERT_EQ(exchangeTables().size(), 7u);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(int(exchangeTables()[i].columns.size()), counts[i]) << exchangeTables()[i].name;

    const QStringList lines = schemaIniText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.filter(QStringLiteral("=")).size(), 160);
    const qsizetype inhabil = lines.indexOf(QStringLiteral("[IntervaloInhabil.csv]"));
    const qsizetype next = lines.indexOf(QStringLiteral("[Intervalos.csv]"));
    EXPECT_TRUE(lines.mid(inhabil, next - inhabil).filter(QStringLiteral("DateTimeFormat")).isEmpty());
    EXPECT_TRUE(lines.contains(QStringLiteral("Col50=THoraTotales Char Width 8")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Col39=SOctava31,5Hz Single")));
    EXPECT_TRUE(lines.contains(QStringLiteral("DateTimeFormat=yyyy-mm-dd hh:nn:ss")));
    // Column keys run in numeric order (Col2 before Col10).
    const qsizetype prog = lines.indexOf(QStringLiteral("[Programacion.csv]"));
    EXPECT_LT(lines.indexOf(QStringLiteral("Col2=DFecha Date"), prog), lines.indexOf(QStringLiteral("Col10=TModelo Char Width 5"), prog));
}

TEST(ExchangeReader, LineRule)
{
    const struct {
        QByteArray bytes;
        QStringList lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},                 // a last line without an end
        {"a\r\nx\ny\r\n", {"a", "x\ny"}},       // a bare LF inside a CR LF file stays in its line
        {"a\r\n\r\nb", {"a", "", "b"}},         // blank lines are lines
        {"", {}},
        {"\xEF\xBB\xBF\xC3\xA1\n", {u"á"_qs}},  // UTF-8 with a byte-order mark
        {"\xE1\xD1\x80\xBA", {u"áÑ€º"_qs}},     // Windows-1252
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitExchangeLines(c.bytes), c.lines) << c.bytes.toHex().toStdString();
}

TEST(ExchangeReader, SectionsAndMarkers)
{
    const auto s = sectionsOf("//DiaBorrado//\r\nh\r\n1\r\n\r\n//Intervalos##\r\nh\r\n//diaborrado//\r\n//../../evil__\r\nh\r\n");
    ASSERT_EQ(s.size(), 4);
    EXPECT_EQ(s[0].name, "DiaBorrado");
    EXPECT_EQ(s[0].table, 0);
    EXPECT_EQ(s[0].endLine - s[0].firstLine, 3); // header, row and the blank line
    EXPECT_EQ(s[1].table, exchangeTableIndex("Intervalos"));
    EXPECT_EQ(s[2].table, 0);                     // names compare in any case
    EXPECT_EQ(s[2].endLine, s[2].firstLine);      // a marker and nothing else
    EXPECT_EQ(s[3].name, "../../evil");
    EXPECT_EQ(s[3].table, -1);                    // unknown: ignored, never a file name

    const struct {
        QByteArray bytes;
        FormatError::Kind kind;
        qsizetype line;
    } bad[] = {
        {"\r\n//DiaBorrado//\r\n", FormatError::Kind::NoMarker, 1},
        {"LNumeroSerie;DFecha\r\n", FormatError::Kind::NoMarker, 1},
        {"//DiaBorrado//\r\nh\r\n//x\r\n", FormatError::Kind::ShortMarker, 3},
        {"", FormatError::Kind::NoTable, 0},
        {"//Hojas//\r\nh\r\n1\r\n", FormatError::Kind::NoTable, 0},
        {QByteArray("//DiaBorrado//\r\nh\r\n//Dia@Reprogramado//\r\n").replace('@', '\0'), FormatError::Kind::Damaged, 3},
    };
    for (const auto& b : bad) {
        std::optional<FormatError> e;
        sectionsOf(b.bytes, &e);
        ASSERT_TRUE(e.has_value()) << b.bytes.toStdString();
        EXPECT_EQ(e->kind, b.kind);
        EXPECT_EQ(e->line, b.line);
    }
}

TEST(ExchangeReader, Fields)
{
    const struct {
        QString line;
        QStringList fields;
        bool closed = true;
    } cases[] = {
        {"a;b;c", {"a", "b", "c"}},
        {"\"x;y\";\"say \"\"hi\"\"\";z", {"x;y", "say \"hi\"", "z"}},
        {"a;;c;", {"a", "", "c", ""}},
        {"d'Òdena;1", {u"d'Òdena"_qs, "1"}},
        {"", {""}},
        {"\"ab\"c;\"\"", {"abc", ""}},
        {"1;\"ab;c", {"1", "ab;c"}, false},   // the line ends inside a quoted field
        {"1;\"ab\"\"", {"1", "ab\""}, false},
    };
    for (const auto& c : cases) {
        FieldViews views;
        QStringList unescaped;
        EXPECT_EQ(splitFieldViews(c.line, &views, &unescaped), c.closed) << c.line.toStdString();
        QStringList copied;
        for (QStringView v : views)
            copied << v.toString();
        EXPECT_EQ(copied, c.fields) << c.line.toStdString();
    }
}

TEST(ExchangeReader, CellsInStorageForms)
{
    // A row with its key cells filled and `text` in `column`; the values that column gives.
    auto convert = [](const char* tableName, const char* column, const QString& text, QVariantList* out) {
        const int t = exchangeTableIndex(QString::fromLatin1(tableName));
        const auto columns = exchangeTables()[t].columns;
        QStringList cells = t == exchangeTableIndex("Sesiones") ? QStringList{"123456", "2005-03-21", "2005-03-21"}
            : t == exchangeTableIndex("IntervaloInhabil")     ? QStringList{"123456", "1"}
                                                              : QStringList{"123456"};
        const bool split = exchangeTables()[t].dateTimeColumns(); // a date-time gives a date and a time
        qsizetype c = 0, at = 0;
        for (; qstrcmp(columns[c].name, column) != 0; ++c)
            at += split && columns[c].type == ExchangeType::Date ? 2 : 1;
        while (cells.size() <= c)
            cells << QString();
        cells[c] = text;
        StorageRow row;
        if (convertLine(t, cells.join(QLatin1Char(';')), 1, &row))
            return false;
        const QVector<QVariant> values = row.values();
        const int width = split && columns[c].type == ExchangeType::Date ? 2 : 1;
        *out = QVariantList(values.begin() + at, values.begin() + at + width);
        return true;
    };
    const struct {
        const char* table;
        const char* column;
        QString text;
        QVariantList expected; // empty with ok=false: an error
        bool ok;
    } cases[] = {
        {"Programacion", "LNumeroSerie", "123456", {123456}, true},
        {"Programacion", "LNumeroSerie", "999999", {999999}, true},
        {"Programacion", "LNumeroSerie", "1234567", {}, false},
        {"Programacion", "LNumeroSerie", "12x", {}, false},
        {"Programacion", "ITiempoAtenuacion", "40000", {}, false},
        {"Programacion", "ITiempoAtenuacion", "-32768", {-32768}, true},
        {"Programacion", "ByRings", "256", {}, false},
        {"Programacion", "ByRings", " 3 ", {3}, true},
        {"Programacion", "SOctava31,5Hz", "65.3", {65.3}, true},
        {"Programacion", "SOctava31,5Hz", "\"65,3\"", {65.3}, true},
        {"Programacion", "SOctava31,5Hz", "1.000,5", {}, false},
        {"Programacion", "SOctava31,5Hz", "nan", {}, false},
        {"Programacion", "CMI", "-1", {-1}, true},
        {"Programacion", "CMI", "True", {-1}, true},
        {"Programacion", "CMI", "no", {0}, true},
        {"Programacion", "CMI", "2", {}, false},
        {"Programacion", "TNota", " keep  it ", {" keep  it "}, true},
        {"Programacion", "TContacto", "", {QVariant()}, true}, // empty: NULL
        {"Programacion", "DFecha", "2005-03-21", {"2005-03-21"}, true},
        {"Programacion", "DFecha", "21/03", {}, false},
        {"Programacion", "DFecha", "2005-02-30", {}, false},
        {"Sesiones", "DFechaInicio", "2005-03-21 14:15:00", {"2005-03-21", "14:15"}, true},
        {"Sesiones", "DFechaInicio", "2005-03-21 14:15", {"2005-03-21", "14:15"}, true},
        {"Sesiones", "DFechaInicio", "2005-03-21", {"2005-03-21", "00:00"}, true},
        {"Sesiones", "DFechaInicio", "2005-03-21 24:00:00", {}, false},
        {"Sesiones", "DFechaInicio", "", {}, false}, // a key cell
        {"IntervaloInhabil", "ByIntervalo", "31", {}, false},
        {"IntervaloInhabil", "THoraEmpiezaInt", "20:00", {"20:00"}, true},
        {"IntervaloInhabil", "THoraEmpiezaInt", "08:00:30", {"08:00"}, true},
        {"IntervaloInhabil", "THoraEmpiezaInt", "2005-12-24 20:00:00", {"20:00"}, true},
    };
    for (const auto& c : cases) {
        QVariantList v;
        const bool ok = convert(c.table, c.column, c.text, &v);
        EXPECT_EQ(ok, c.ok) << c.column << " " << c.text.toStdString();
        if (ok && c.ok) {
            EXPECT_EQ(v, c.expected) << c.column << " " << c.text.toStdString();
        }
    }
}

TEST(ExchangeReader, RowsArePaddedAndCutAndErrorsNameTheCell)
{
    const QByteArray file = "//DiaBorrado//\r\nh\r\n123456;2005-03-21;10:00;extra\r\n;;\r\n\r\n"
                            "//Programacion//\r\nh\r\n123456\r\n123456;21/03\r\n";
    const ExchangeText text(file);
    const auto sections = sectionsOf(file);
    QList<QVector<QVariant>> rows;
    auto keep = [&](const StorageRow& values) {
        rows << values.values();
        return true;
    };
    ASSERT_FALSE(readTableRows(text, sections, 0, keep).has_value());
    ASSERT_EQ(rows.size(), 1); // the all-empty and blank lines are skipped
    EXPECT_EQ(rows[0], QVector<QVariant>({123456, "2005-03-21", "10:00"}));
    EXPECT_EQ(countRows(text, sections, 0), 1);

    rows.clear();
    const auto e = readTableRows(text, sections, exchangeTableIndex("Programacion"), keep);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].size(), 56);
    EXPECT_TRUE(rows[0][55].isNull());
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->table, "Programacion");
    EXPECT_EQ(e->line, 9);
    EXPECT_EQ(e->column, 2);
    EXPECT_EQ(e->columnName, "DFecha");
    EXPECT_EQ(e->value, "21/03");
}

TEST(ExchangeReader, AnExcerptOfABadCell)
{
    EXPECT_EQ(cellExcerpt(u"21/03"), "21/03");
    EXPECT_EQ(cellExcerpt(u"a\tb\r\u0085c"), u"a\ufffdb\ufffd\ufffdc"_qs);
    EXPECT_EQ(cellExcerpt(QString(1000000, QLatin1Char('7'))), QString(60, QLatin1Char('7')) + u"\u2026"_qs);
}
