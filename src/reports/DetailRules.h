// Display rules of the record bands: stored codes of a record turned into the texts of its
// result fields ("L" + column), applied by the engine to each record before its band is laid out.
#pragma once

#include <QHash>
#include <QSqlRecord>
#include <QString>
#include <functional>
#include <vector>

namespace nbx::reports {

struct DetailRule {
    enum Kind { Level, ZeroOnly, Minutes, YesNo };
    QString column;
    Kind kind = Level;
    QString resultField;
    QString t255;   // Minutes: the text of 255
    QString tTrue;  // YesNo
    QString tFalse; // YesNo
};

using DetailRules = std::vector<DetailRule>;

// The fifteen rules of the record bands, in their order; the texts come from `getS` now, so a
// change of language shows at the next print (123 three times, then 68 and 69).
DetailRules buildDetailRules(const std::function<QString(long)>& getS);
// The same with the current language.
DetailRules buildDetailRules();

// The text one rule gives for a stored value; a NULL value gives "".
QString applyDetailRule(const DetailRule& rule, const QVariant& value);
// Result field name -> text for every rule whose column the record has.
QHash<QString, QString> applyDetailRules(const DetailRules& rules, const QSqlRecord& record);

// The rules written as the historical band script (lines ended by CR LF; quotes in texts doubled).
QString toScriptText(const DetailRules& rules);

} // namespace nbx::reports
