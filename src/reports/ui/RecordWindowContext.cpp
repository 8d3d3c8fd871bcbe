// What the record window shows of its device and the reports print.
#include "reports/ui/RecordWindowContext.h"

#include "common/Database.h"
#include "programming/SheetRepository.h"
#include "records/ui/Form5.h"

#include <QApplication>
#include <QDate>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>

#include <optional>

namespace nbx {

namespace {

RecordWindowContextSource& contextSource()
{
    static RecordWindowContextSource source;
    return source;
}

// What the record window showing `serial` shows; none when no record window shows it.
std::optional<RecordWindowContext> shownByRecordWindow(qint32 serial)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* form = qobject_cast<Form5*>(w);
        if (!form || form->serial() != serial)
            continue;
        RecordWindowContext c;
        c.fechaTotales = form->MaskFechaTotales->text();
        c.horaTotales = form->MaskHoraTotales->text();
        c.intervals = form->inhibitedIntervals();
        return c;
    }
    return std::nullopt;
}

} // namespace

void setRecordWindowContextSource(RecordWindowContextSource source) { contextSource() = std::move(source); }

RecordWindowContext recordWindowContext(qint32 serial)
{
    if (contextSource())
        return contextSource()(serial);
    if (std::optional<RecordWindowContext> shown = shownByRecordWindow(serial))
        return *shown;
    // The record window shows the stored totals stamp and the stored intervals of its device.
    RecordWindowContext c;
    QSqlQuery q(mainDb());
    const bool prepared = q.prepare(QStringLiteral("SELECT DFechaTotales, THoraTotales FROM Programacion WHERE LNumeroSerie = ?"));
    q.addBindValue(serial);
    if (!prepared || !q.exec()) {
        c.error = sqlErrorText(q.lastError());
        return c;
    }
    if (!q.next())
        return c; // no sheet: the report says so itself
    const QDate d = QDate::fromString(q.value(0).toString(), Qt::ISODate);
    c.fechaTotales = d.isValid() ? d.toString(QStringLiteral("dd/MM/")) + QString::number(d.year() % 100).rightJustified(2, QLatin1Char('0'))
                                 : q.value(0).toString();
    c.horaTotales = q.value(1).toString();
    SheetValues sheet;
    if (SheetRepository().load(serial, sheet, &c.error))
        c.intervals = sheet.intervals;
    return c;
}

} // namespace nbx
