#include "reports/DetailRules.h"

#include "localisation/Strings.h"
#include "reports/ValueFormat.h"

#include <QSqlField>

namespace nbx::reports {

DetailRules buildDetailRules(const std::function<QString(long)>& getS)
{
    struct ColumnKind {
        const char* column;
        DetailRule::Kind kind;
    };
    static const ColumnKind kColumns[] = {
        {"SL1", DetailRule::Level},         {"SL5", DetailRule::Level},
        {"SL10", DetailRule::Level},        {"SL50", DetailRule::Level},
        {"SL90", DetailRule::Level},        {"ByENA", DetailRule::Minutes},
        {"ByLineaInsuficiente", DetailRule::Minutes}, {"BoProgramacion", DetailRule::YesNo},
        {"ByDNA", DetailRule::Minutes},     {"SMaxFast", DetailRule::Level},
        {"SMaxLeq1min", DetailRule::Level}, {"SMinLeq1min", DetailRule::Level},
        {"SLeqLocal", DetailRule::Level},   {"SLeqVecino", DetailRule::ZeroOnly},
        {"SLeq", DetailRule::Level},
    };
    DetailRules rules;
    for (const ColumnKind& s : kColumns) {
        DetailRule r;
        r.column = QString::fromLatin1(s.column);
        r.kind = s.kind;
        r.resultField = QLatin1Char('L') + r.column;
        rules.push_back(r);
    }
    // Looked up in the historical order: the three minute counters, then yes and no.
    for (DetailRule& r : rules)
        if (r.kind == DetailRule::Minutes)
            r.t255 = getS(123);
    const QString yes = getS(68);
    const QString no = getS(69);
    for (DetailRule& r : rules)
        if (r.kind == DetailRule::YesNo) {
            r.tTrue = yes;
            r.tFalse = no;
        }
    return rules;
}

DetailRules buildDetailRules()
{
    return buildDetailRules([](long id) { return GetS(id); });
}

QString applyDetailRule(const DetailRule& rule, const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    const double v = value.toDouble();
    switch (rule.kind) {
    case DetailRule::Level:
        if (v == 0)
            return QStringLiteral("---");
        if (v < 60)
            return QStringLiteral("und");
        if (v > 120)
            return QStringLiteral("up");
        return defaultText(value);
    case DetailRule::ZeroOnly:
        return v == 0 ? QStringLiteral("---") : defaultText(value);
    case DetailRule::Minutes:
        return v == 255 ? rule.t255 : defaultText(value) + QStringLiteral("min");
    case DetailRule::YesNo:
        return v != 0 ? rule.tTrue : rule.tFalse;
    }
    return QString();
}

QHash<QString, QString> applyDetailRules(const DetailRules& rules, const QSqlRecord& record)
{
    QHash<QString, QString> out;
    for (const DetailRule& r : rules) {
        const int i = record.indexOf(r.column);
        if (i >= 0)
            out.insert(r.resultField, applyDetailRule(r, record.value(i)));
    }
    return out;
}

QString toScriptText(const DetailRules& rules)
{
    const QString crlf = QStringLiteral("\r\n");
    auto quoted = [](QString t) { return QLatin1Char('"') + t.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"'); };
    QString s;
    for (const DetailRule& r : rules) {
        const QString c = QLatin1Char('[') + r.column + QLatin1Char(']');
        const QString f = QLatin1Char(' ') + r.resultField + QStringLiteral(" = ");
        QStringList lines;
        switch (r.kind) {
        case DetailRule::Level:
            lines = {QStringLiteral("If %1 = 0 Then").arg(c), f + quoted(QStringLiteral("---")),
                     QStringLiteral("ElseIf %1 < 60 Then").arg(c), f + quoted(QStringLiteral("und")),
                     QStringLiteral("ElseIf %1 > 120 Then").arg(c), f + quoted(QStringLiteral("up")),
                     QStringLiteral("Else"), f + c, QStringLiteral("End If")};
            break;
        case DetailRule::ZeroOnly:
            lines = {QStringLiteral("If %1 = 0 Then").arg(c), f + quoted(QStringLiteral("---")),
                     QStringLiteral("Else"), f + c, QStringLiteral("End If")};
            break;
        case DetailRule::Minutes:
            lines = {QStringLiteral("If %1 = 255 Then").arg(c), f + quoted(r.t255), QStringLiteral("Else"),
                     f + c + QLatin1Char('&') + quoted(QStringLiteral("min")), QStringLiteral("End If")};
            break;
        case DetailRule::YesNo:
            lines = {QStringLiteral("If %1 = True Then").arg(c), f + quoted(r.tTrue), QStringLiteral("Else"),
                     f + quoted(r.tFalse), QStringLiteral("End If")};
            break;
        }
        for (const QString& l : lines)
            s += l + crlf;
    }
    return s;
}

} // namespace nbx::reports
