// The rules of the sheet's fields: what a field does when it gets the focus, when a key is typed
// into it and when it loses the focus. Plain functions; the window applies the outcomes.
#pragma once

#include <QChar>
#include <QLocale>
#include <QString>

namespace nbx {

// Tab pages of the sheet (SSTab2).
enum SheetPage {
    PageNone = -1,
    PageReloj = 0,
    PageHorarios = 1,
    PageNormativa = 2,
    PageActuacion = 3,
    PageAtenuacion = 4,
    PageAislamiento = 5,
    PageLFmax = 6,
    PageTLeq = 7,
    PageModem = 8,
};

// Fields with a range rule on losing the focus.
enum class RuleField { DiaLocal, NitLocal, DiaVei, NitVei, MFast, TempsActLoc, TempsActVei, TiempoAtenuacion, TLeq, Rings };

struct RuleOutcome {
    enum class Kind {
        Accepted, // the text stays
        Replaced, // the text becomes `text` (a bound or fixed value), no message
        Refused,  // message `messageId` (critical icon), the text stays as typed, the focus goes back
    };
    Kind kind = Kind::Accepted;
    QString text;            // the field's text after the rule
    long messageId = 0;      // string id, when refused
    int page = PageNone;     // the tab page to bring to the front, PageNone when untouched

    bool operator==(const RuleOutcome&) const = default;
};

// The range rule of a field for the text it holds when it loses the focus. A text that is not a
// number counts as empty.
RuleOutcome applyFieldRule(RuleField field, const QString& text, const QLocale& locale = QLocale::system());

// A click on OptionLocalLeq1s / OptionVeiLeq1s: the action time box becomes "01" when below 1.
QString actionTimeOnLeq1sClick(const QString& timeText, const QLocale& locale = QLocale::system());

// The night rules (MaskEmpiezaNoche, MaskTerminaNoche losing the focus).
struct NightOutcome {
    enum class Focus { None, Start, End };
    bool accepted = true;
    long messageId = 0;       // 25, 26 or 97 when refused
    Focus focus = Focus::None; // where the focus goes after a refusal
    int page = PageNone;
    QString empiezaDia;       // when accepted: the day period, complement of the night
    QString terminaDia;
    QString text;             // when accepted: the box left, as "hh:mm" ("8:00" -> "08:00")
};
NightOutcome applyNightRule(bool leavingStart, const QString& empiezaNoche, const QString& terminaNoche);

// The date rule of MaskFecha, for the text "d/m/y" as typed: Refused with GetS(18) "Fecha
// incorrecta" when it is not a date that exists (day 0, month 13, 29/02 of a common year); else
// the text as "dd/mm/yy" ("5/6/7" is Replaced by "05/06/07"). No page.
RuleOutcome applyDateRule(const QString& text);

// What each control does with the focus and with keys.
enum class CampoActualEffect { Set, Clear, Keep };
enum class KeyEffect {
    None,              // keys are not handled (weekday boxes, the CMI box)
    DiscardAll,        // the key is dropped, the flag stays (MaskVersion)
    DiscardAllSetFlag, // the key is dropped and the flag is set (MaskNumeroSerie)
    SetFlag,           // the key goes in and the flag is set
    DropBlankSetFlag,  // a blank is dropped, any key sets the flag
};
struct ControlBehaviour {
    CampoActualEffect campoActual = CampoActualEffect::Keep;
    KeyEffect key = KeyEffect::None;
    bool acceptsMinus = false; // "-" reaches only fields whose range includes negative values
    int page = PageNone;       // the page that holds the control
};
// By the control's historical name ("MaskDiaLocal", "OptionVeiNo", "SSCommandGrabar", ...).
// Unknown names keep CampoActual and handle no key.
ControlBehaviour controlBehaviour(const QString& controlName);

struct KeyOutcome {
    bool accept = true;   // the key reaches the field
    bool setsFlag = false;
};
// A typed character (text key: characters, Backspace, Enter) in a control, after the window-wide
// filter that drops "+" everywhere and "-" where the field takes no negative values.
KeyOutcome keyPressed(const QString& controlName, QChar key);

} // namespace nbx
