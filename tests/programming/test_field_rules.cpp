// The sheet's field rules, value in and outcome out.
#include "programming/FieldRules.h"

#include <gtest/gtest.h>

namespace nbx::test {

TEST(FieldRules, RangeRules)
{
    using K = RuleOutcome::Kind;
    const struct {
        RuleField field;
        const char* in;
        K kind;
        const char* out;
        long message;
        int page;
    } cases[] = {
        {RuleField::DiaLocal, "", K::Refused, "", 60, PageNormativa},
        {RuleField::DiaLocal, "55", K::Replaced, "60", 0, PageNormativa},
        {RuleField::DiaLocal, "130", K::Replaced, "120", 0, PageNormativa},
        {RuleField::DiaLocal, "90", K::Accepted, "90", 0, PageNone},
        {RuleField::NitLocal, "60", K::Accepted, "60", 0, PageNone},
        {RuleField::NitLocal, "121", K::Replaced, "120", 0, PageNormativa},
        {RuleField::DiaVei, "30", K::Accepted, "30", 0, PageNone},
        {RuleField::DiaVei, "0", K::Accepted, "0", 0, PageNone},
        {RuleField::DiaVei, "125", K::Replaced, "120", 0, PageNormativa},
        {RuleField::NitVei, "", K::Refused, "", 60, PageNormativa},
        {RuleField::MFast, "", K::Replaced, "60", 0, PageNone},
        {RuleField::MFast, "59", K::Replaced, "60", 0, PageNone},
        {RuleField::MFast, "200", K::Replaced, "120", 0, PageNone},
        {RuleField::MFast, "80", K::Accepted, "80", 0, PageNone},
        {RuleField::TempsActLoc, "0", K::Replaced, "01", 0, PageNone},
        {RuleField::TempsActLoc, "12", K::Replaced, "10", 0, PageNone},
        {RuleField::TempsActLoc, "", K::Refused, "", 106, PageNone},
        {RuleField::TempsActVei, "7", K::Accepted, "7", 0, PageNone},
        {RuleField::TiempoAtenuacion, "1", K::Replaced, "0", 0, PageAtenuacion},
        {RuleField::TiempoAtenuacion, "10000", K::Replaced, "0", 0, PageAtenuacion},
        {RuleField::TiempoAtenuacion, "", K::Replaced, "0", 0, PageAtenuacion},
        {RuleField::TiempoAtenuacion, "0", K::Accepted, "0", 0, PageNone},
        {RuleField::TiempoAtenuacion, "2", K::Accepted, "2", 0, PageNone},
        {RuleField::TiempoAtenuacion, "9999", K::Accepted, "9999", 0, PageNone},
        {RuleField::TLeq, "1", K::Replaced, "2", 0, PageTLeq},
        {RuleField::TLeq, "61", K::Replaced, "60", 0, PageTLeq},
        {RuleField::TLeq, "", K::Replaced, "2", 0, PageTLeq},
        {RuleField::TLeq, "15", K::Accepted, "15", 0, PageNone},
        {RuleField::Rings, "0", K::Replaced, "1", 0, PageNone},
        {RuleField::Rings, "", K::Replaced, "1", 0, PageNone},
        {RuleField::Rings, "255", K::Accepted, "255", 0, PageNone},
        {RuleField::Rings, "300", K::Replaced, "255", 0, PageNone},
    };
    for (const auto& tc : cases) {
        const RuleOutcome r = applyFieldRule(tc.field, QString::fromLatin1(tc.in), QLocale::c());
        EXPECT_EQ(r.kind, tc.kind) << int(tc.field) << " " << tc.in;
        EXPECT_EQ(r.text, tc.out) << int(tc.field) << " " << tc.in;
        EXPECT_EQ(r.messageId, tc.message) << int(tc.field) << " " << tc.in;
        EXPECT_EQ(r.page, tc.page) << int(tc.field) << " " << tc.in;
    }
    EXPECT_EQ(actionTimeOnLeq1sClick("0", QLocale::c()), "01");
    EXPECT_EQ(actionTimeOnLeq1sClick("", QLocale::c()), "01");
    EXPECT_EQ(actionTimeOnLeq1sClick("05", QLocale::c()), "05");
}

TEST(FieldRules, NightRules)
{
    NightOutcome ok = applyNightRule(true, "22:00", "08:00");
    EXPECT_TRUE(ok.accepted);
    EXPECT_EQ(ok.empiezaDia, "08:00");
    EXPECT_EQ(ok.terminaDia, "22:00");
    EXPECT_EQ(ok.page, PageNone);
    EXPECT_TRUE(applyNightRule(false, "22:00", "08:00").accepted);

    for (bool leavingStart : {true, false}) {
        const NightOutcome same = applyNightRule(leavingStart, "22:00", "22:00");
        EXPECT_FALSE(same.accepted);
        EXPECT_EQ(same.messageId, 97);
        EXPECT_EQ(same.focus, NightOutcome::Focus::Start); // whichever field was left
        EXPECT_EQ(same.page, PageNormativa);
    }
    const NightOutcome badStart = applyNightRule(true, "25:00", "08:00");
    EXPECT_EQ(badStart.messageId, 25);
    EXPECT_EQ(badStart.focus, NightOutcome::Focus::Start);
    const NightOutcome badEnd = applyNightRule(false, "22:00", "08:61");
    EXPECT_EQ(badEnd.messageId, 26);
    EXPECT_EQ(badEnd.focus, NightOutcome::Focus::End);
    EXPECT_EQ(badEnd.page, PageNormativa);
    EXPECT_EQ(applyNightRule(false, "  :  ", "08:00").accepted, true); // only the field left is checked

    // The box left keeps "hh:mm"; the day period follows the completed text.
    const struct {
        bool leavingStart;
        const char* start;
        const char* end;
        const char* text;
    } completed[] = {{true, "8:00", "22:00", "08:00"}, {false, "22:00", "7:5", "07:05"}, {true, " 9:30 ", "22:00", "09:30"}};
    for (const auto& c : completed) {
        const NightOutcome o = applyNightRule(c.leavingStart, c.start, c.end);
        ASSERT_TRUE(o.accepted) << c.start << " " << c.end;
        EXPECT_EQ(o.text, c.text);
        EXPECT_EQ(c.leavingStart ? o.terminaDia : o.empiezaDia, c.text);
    }
    EXPECT_EQ(applyNightRule(true, "8:00", "08:00").messageId, 97); // the same time once completed
}

TEST(FieldRules, DateRule)
{
    for (const char* bad : {"00/05/06", "15/13/06", "31/02/06", "", "  /  /  ", "//", "1a/02/06"}) {
        const RuleOutcome r = applyDateRule(QString::fromLatin1(bad));
        EXPECT_EQ(r.kind, RuleOutcome::Kind::Refused) << bad;
        EXPECT_EQ(r.messageId, 18) << bad;
        EXPECT_EQ(r.page, PageNone);
    }
    for (const char* good : {"15/03/06", "29/02/08", "31/12/99"})
        EXPECT_EQ(applyDateRule(QString::fromLatin1(good)).kind, RuleOutcome::Kind::Accepted) << good;
}

TEST(FieldRules, KeysAndFocus)
{
    const struct {
        const char* control;
        char key;
        bool accept;
        bool flag;
    } cases[] = {
        {"MaskNumeroSerie", '5', false, true}, {"MaskVersion", '5', false, false},
        {"MaskContacto", 'a', true, true},     {"MaskContacto", ' ', true, true},
        {"MaskContacto", '+', false, false},   {"MaskContacto", '-', false, false},
        {"MaskDiaLocal", ' ', false, true},    {"MaskDiaLocal", '7', true, true},
        {"MaskDiaLocal", '-', false, false},   {"MaskOctava3", '-', true, true},
        {"MaskOctava3", '+', false, false},    {"MaskTempsActVei", ' ', false, true},
        {"MaskOctava1", ' ', true, true},      {"MaskLunesIni", '1', true, false},
        {"CheckApliCorrecioGlobal", ' ', true, false}, {"TextNota", 'x', true, true},
        {"TDBGrid1", '-', false, false},       {"MaskFecha", ' ', false, true},
    };
    for (const auto& tc : cases) {
        const KeyOutcome k = keyPressed(QString::fromLatin1(tc.control), QLatin1Char(tc.key));
        EXPECT_EQ(k.accept, tc.accept) << tc.control << " '" << tc.key << "'";
        EXPECT_EQ(k.setsFlag, tc.flag) << tc.control << " '" << tc.key << "'";
    }
    using C = CampoActualEffect;
    EXPECT_EQ(controlBehaviour("MaskTelefono").campoActual, C::Set);
    EXPECT_EQ(controlBehaviour("MaskDiaLocal").campoActual, C::Clear);
    EXPECT_EQ(controlBehaviour("SSCommandGrabar").campoActual, C::Clear);
    EXPECT_EQ(controlBehaviour("SSCommandBuscar").campoActual, C::Keep);
    EXPECT_EQ(controlBehaviour("SSCommandBorrat").campoActual, C::Keep);
    EXPECT_EQ(controlBehaviour("TextNota").campoActual, C::Keep);
    EXPECT_EQ(controlBehaviour("MaskRings").page, PageModem);
    EXPECT_EQ(controlBehaviour("MaskOctava9").page, PageAislamiento);
}

} // namespace nbx::test
