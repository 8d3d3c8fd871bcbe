// Built-in string table: special entries, unknown ids, encoding and completeness.
#include "localisation/Strings.h"

#include <gtest/gtest.h>

#include <QSet>
#include <algorithm>

namespace nbx::test {
namespace {

const QString kPrefix = QStringLiteral("GetS: Unknown String ID ");

TEST(NativeStrings, UnknownIdsYieldPrefixAndDecimalId)
{
    for (long id : {110L, 0L, 193L, -1L, -25L, 100000L}) {
        EXPECT_EQ(GetNativeString(id, kPrefix), kPrefix + QString::number(id)) << id;
        EXPECT_FALSE(HasNativeString(id)) << id;
    }
    EXPECT_EQ(GetNativeString(110, QString()), QStringLiteral("110"));
}

TEST(NativeStrings, SpecialEntriesAreExact)
{
    struct Case {
        long id;
        QString text;
    };
    const Case cases[] = {
        {1, u"Idioma"_qs},
        {3, u"Versi\u00f3n:"_qs},
        {12, u"Leq1'max"_qs},
        {13, u"Leq1'min"_qs},
        {22, u"Texto para el pie de p\u00e1gina (m\u00e1ximo 50 car\u00e1cteres): "_qs},
        {23, u"\u00bfDesea guardar los cambios?"_qs},
        {24, u"Fecha empieza intervalo mayor o igual que  fecha termina intervalo."_qs},
        {30, u"El aparato conectado  no corresponde a un NBX-70."_qs},
        {37, u"Error\rimpresora"_qs},
        {38, u"Conexi\u00f3n\rRS-232"_qs},
        {93, u"Error con miercoles"_qs},
        {115, u"Parametro de correlacion grabado"_qs},
        {136, u"\u00daLTIMOS CONTADORES TOTALES:"_qs},
        {145, u"Rings antes de que el modem decuelgue:"_qs},
        {161, u"Octava 31.5Hz: "_qs},
        {170, u"Rings: "_qs},
        {191, u"ATENCI\u00d3N!: El sistema tiene configurada la opci\u00f3n de \"fuentes grandes\".\r\n"
              u"Debe escoger la opci\u00f3n \"fuentes peque\u00f1as\" dentro de \"Propiedades de Pantalla\".\r\n"
              u"Ver el manual de instalaci\u00f3n en el CD."_qs},
        {192, u"Error importanfo datos"_qs},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetNativeString(c.id, kPrefix), c.text) << c.id;
}

TEST(NativeStrings, LineBreaksAndBlanks)
{
    // Two-line entries carry a bare CR; only 191 has CR LF.
    for (long id = kFirstStringId; id <= kLastStringId; ++id) {
        const QString t = GetNativeString(id, kPrefix);
        if (id == 191)
            EXPECT_EQ(t.count(u"\r\n"_qs), 2);
        else
            EXPECT_FALSE(t.contains(QLatin1Char('\n'))) << id;
        const bool twoLines = (id >= 37 && id <= 49) || id == 56 || id == 57 || id == 67
                              || id == 101 || id == 160 || id == 171;
        EXPECT_EQ(t.count(QLatin1Char('\r')), twoLines ? 1 : (id == 191 ? 2 : 0)) << id;
        const bool trailingBlank = id == 22 || (id >= 161 && id <= 170);
        EXPECT_EQ(t.endsWith(QLatin1Char(' ')), trailingBlank) << id;
    }
}

TEST(NativeStrings, EncodingIsComposedUnicode)
{
    // A source file read in the wrong encoding would show up as mojibake or decomposed accents.
    for (long id = kFirstStringId; id <= kLastStringId; ++id) {
        const QString t = GetNativeString(id, kPrefix);
        EXPECT_EQ(t, t.normalized(QString::NormalizationForm_C)) << id;
        EXPECT_FALSE(t.contains(QChar(0x00C3))) << id; // "Ã": UTF-8 read as Latin-1
        EXPECT_FALSE(t.contains(QChar::ReplacementCharacter)) << id;
    }
    EXPECT_EQ(GetNativeString(72, kPrefix).size(), 9); // "Miércoles"
    EXPECT_EQ(GetNativeString(72, kPrefix).at(2), QChar(0x00E9));
}

TEST(NativeStrings, CompletenessAndSharedEntries)
{
    QSet<QString> distinct;
    int withText = 0;
    for (long id = kFirstStringId; id <= kLastStringId; ++id) {
        if (!HasNativeString(id))
            continue;
        ++withText;
        const QString t = GetNativeString(id, kPrefix);
        EXPECT_FALSE(t.isEmpty()) << id;
        EXPECT_FALSE(t.startsWith(kPrefix)) << id;
        distinct.insert(t);
    }
    EXPECT_EQ(withText, 191);
    EXPECT_EQ(distinct.size(), 187);
    for (auto [a, b] : {std::pair{80L, 132L}, {98L, 128L}, {99L, 129L}, {107L, 111L}})
        EXPECT_EQ(GetNativeString(a, kPrefix), GetNativeString(b, kPrefix)) << a << "/" << b;
    EXPECT_EQ(GetNativeString(98, kPrefix), u"D\u00eda"_qs);
}

TEST(NativeStrings, LengthsAndNonAsciiCount)
{
    int nonAscii = 0;
    for (long id = kFirstStringId; id <= kLastStringId; ++id) {
        const QString t = GetNativeString(id, kPrefix);
        if (HasNativeString(id) && std::any_of(t.begin(), t.end(), [](QChar c) { return c.unicode() > 127; }))
            ++nonAscii;
        if (HasNativeString(id)) {
            EXPECT_LE(t.size(), 255) << id;
        }
        EXPECT_FALSE(t.contains(u"%s"_qs)) << id;
    }
    EXPECT_EQ(nonAscii, 84);
    EXPECT_EQ(GetNativeString(191, kPrefix).size(), 191);
    EXPECT_EQ(GetNativeString(171, kPrefix).size(), 170);
    EXPECT_EQ(GetNativeString(160, kPrefix).size(), 137);
    EXPECT_EQ(GetNativeString(191, kPrefix).count(QLatin1Char('"')), 6);
    EXPECT_EQ(GetNativeString(68, kPrefix), u"S\u00ed"_qs);
}

} // namespace
} // namespace nbx::test
