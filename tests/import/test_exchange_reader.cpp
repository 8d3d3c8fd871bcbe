// The exchange-file reader: schema, line rule, sections, fields and typed cells.
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

const ExchangeTable& table(const char* name) { return exchangeTables()[exchangeTableIndex(QString::fromLatin1(name))]; }

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
    };
    for (const auto& b : bad) {
        std::optional<FormatError> e;
        sectionsOf(b.bytes, &e);
        ASSERT_TRUE(e.has_value()) << b.bytes.toStdString();
        EXPECT_EQ(e->kind, b.kind);
        EXPECT_EQ(e->line, b.line);
    }
    std::optional<FormatError> none;
    EXPECT_TRUE(sectionsOf("", &none).isEmpty());
    EXPECT_FALSE(none.has_value());
}

TEST(ExchangeReader, Fields)
{
    const struct {
        QString line;
        QStringList fields;
    } cases[] = {
        {"a;b;c", {"a", "b", "c"}},
        {"\"x;y\";\"say \"\"hi\"\"\";z", {"x;y", "say \"hi\"", "z"}},
        {"a;;c;", {"a", "", "c", ""}},
        {"d'Òdena;1", {u"d'Òdena"_qs, "1"}},
        {"", {""}},
        {"\"ab\"c;\"\"", {"abc", ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitFields(c.line), c.fields) << c.line.toStdString();
        QList<QStringView> views;
        QStringList unescaped;
        splitFieldViews(c.line, &views, &unescaped);
        QStringList copied;
        for (QStringView v : views)
            copied << v.toString();
        EXPECT_EQ(copied, c.fields) << c.line.toStdString();
    }
}

TEST(ExchangeReader, TypedCells)
{
    const ExchangeTable& prog = table("Programacion");
    const ExchangeTable& ses = table("Sesiones");
    const ExchangeTable& inh = table("IntervaloInhabil");
    auto col = [](const ExchangeTable& t, const char* name) -> const ExchangeColumn& {
        for (const ExchangeColumn& c : t.columns)
            if (qstrcmp(c.name, name) == 0)
                return c;
        return t.columns[0];
    };
    const struct {
        const ExchangeTable& t;
        const char* column;
        QString text;
        QVariant expected; // invalid QVariant with ok=false: an error
        bool ok;
    } cases[] = {
        {prog, "LNumeroSerie", "123456", qlonglong(123456), true},
        {prog, "LNumeroSerie", "999999", qlonglong(999999), true},
        {prog, "LNumeroSerie", "12x", {}, false},
        {prog, "ITiempoAtenuacion", "40000", {}, false},
        {prog, "ITiempoAtenuacion", "-32768", qlonglong(-32768), true},
        {prog, "ByRings", "256", {}, false},
        {prog, "ByRings", " 3 ", qlonglong(3), true},
        {prog, "SOctava31,5Hz", "65.3", 65.3, true},
        {prog, "SOctava31,5Hz", "65,3", 65.3, true},
        {prog, "SOctava31,5Hz", "1.000,5", {}, false},
        {prog, "SOctava31,5Hz", "nan", {}, false},
        {prog, "CMI", "-1", true, true},
        {prog, "CMI", "True", true, true},
        {prog, "CMI", "no", false, true},
        {prog, "CMI", "2", {}, false},
        {prog, "TNota", " keep  it ", QString(" keep  it "), true},
        {prog, "TContacto", "", {}, true},                  // empty: NULL
        {prog, "DFecha", "2005-03-21", QDate(2005, 3, 21), true},
        {prog, "DFecha", "21/03", {}, false},
        {prog, "DFecha", "2005-02-30", {}, false},
        {ses, "DFechaInicio", "2005-03-21 14:15:00", QDateTime(QDate(2005, 3, 21), QTime(14, 15), Qt::UTC), true},
        {ses, "DFechaInicio", "2005-03-21 14:15", QDateTime(QDate(2005, 3, 21), QTime(14, 15), Qt::UTC), true},
        {ses, "DFechaInicio", "2005-03-21", QDateTime(QDate(2005, 3, 21), QTime(0, 0), Qt::UTC), true},
        {ses, "DFechaInicio", "2005-03-21 24:00:00", {}, false},
        {inh, "THoraEmpiezaInt", "20:00", QTime(20, 0), true},
        {inh, "THoraEmpiezaInt", "08:00:30", QTime(8, 0, 30), true},
        {inh, "THoraEmpiezaInt", "2005-12-24 20:00:00", QTime(20, 0), true},
    };
    for (const auto& c : cases) {
        QVariant v;
        const bool ok = readCell(c.t, col(c.t, c.column), c.text, &v);
        EXPECT_EQ(ok, c.ok) << c.column << " " << c.text.toStdString();
        if (ok && c.ok) {
            EXPECT_EQ(v, c.expected) << c.column << " " << c.text.toStdString();
        }
    }
}

TEST(ExchangeReader, RowsArePaddedAndCutAndErrorsNameTheCell)
{
    const QByteArray file = "//DiaBorrado//\r\nh\r\n123456;2005-03-21\r\n123456;2005-03-22;10:00;extra\r\n;;\r\n\r\n"
                            "//Programacion//\r\nh\r\n123456;21/03\r\n";
    const ExchangeText text(file);
    const auto sections = sectionsOf(file);
    QList<TypedRow> rows;
    ASSERT_FALSE(readSection(text, sections[0], table("DiaBorrado"), &rows).has_value());
    ASSERT_EQ(rows.size(), 2); // the all-empty and blank lines are skipped
    EXPECT_TRUE(rows[0].cells[2].isNull());
    EXPECT_EQ(rows[1].cells.size(), 3);
    EXPECT_EQ(rows[1].line, 4);

    const auto e = readSection(text, sections[1], table("Programacion"), &rows);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->table, "Programacion");
    EXPECT_EQ(e->line, 9);
    EXPECT_EQ(e->column, 2);
    EXPECT_EQ(e->columnName, "DFecha");
    EXPECT_EQ(e->value, "21/03");
}
