// Every box a date is typed in (the download's range, the sheet's date, the interval grid's date
// cells): the keys typed, with or without separators and over whatever the box showed, give the
// date taken, or "Fecha incorrecta" ("Hora incorrecta" for a time) with nothing taken.
#include "common/Database.h"
#include "common/DateText.h"
#include "common/ui/DateBox.h"
#include "link/Link.h"
#include "localisation/Strings.h"
#include "programming/ui/Form2.h"
#include "programming/ui/IntervalGrid.h"
#include "records/RecordsState.h"
#include "records/ui/Form8.h"
#include "support/HomeFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"
#include "support/Windows.h"

#include <QApplication>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

enum class Field { From, To, SheetDate, GridStart, GridEnd };

QString storedDate(qint32 serial)
{
    QSqlQuery q(mainDb());
    q.prepare(QStringLiteral("SELECT DFecha FROM Programacion WHERE LNumeroSerie = ?"));
    q.addBindValue(serial);
    if (!q.exec() || !q.next())
        return QStringLiteral("<none>");
    return formatSheetDate(QDate::fromString(q.value(0).toString().left(10), Qt::ISODate));
}

QString shownMoment(const QDateTime& m) { return formatSheetDate(m.date()) + ' ' + formatSheetTime(m.time()); }

// A person clicks at the start of the box (or double-clicks a cell) and types over what it shows.
void typeInto(QLineEdit* box, const char* keys)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(2, box->height() / 2));
    QTest::keyClicks(box, QString::fromLatin1(keys));
}

TEST(DateBoxFields, WhatIsTypedIsTakenWholeOrRefused)
{
    TempDatabase db;
    ScriptedPrompter prompts;
    programmingState() = ProgrammingState{};
    linkState().NumeroSerieEqp = 0;
    ASSERT_NO_FATAL_FAILURE(storeSheet(100));

    const struct {
        Field field;
        const char* shown;
        const char* keys;
        const char* taken; // as the field shows it; nullptr: refused with `message`
        long message;
    } cases[] = {
        // FROM and TO of the download, over a February date.
        {Field::From, "15/02/24 10:30", "3103241000", "31/03/24 10:00", 0},
        {Field::From, "15/02/24 10:30", "31/03/24 10:00", "31/03/24 10:00", 0},
        {Field::From, "15/02/24 10:30", "3112241000", "31/12/24 10:00", 0},
        {Field::From, "15/02/24 10:30", "30/04/24 10:00", "30/04/24 10:00", 0},
        {Field::From, "11/02/24 10:30", "2/1/24 8:5", "02/01/24 08:05", 0},
        {Field::From, "15/02/24 10:30", "3112492358", "31/12/49 23:58", 0},
        {Field::From, "15/02/24 10:30", "2902231000", nullptr, 18},
        {Field::From, "15/02/24 10:30", "31/04/24 10:00", nullptr, 18},
        {Field::From, "15/02/24 10:30", "0101751000", nullptr, 18}, // 1975: out of the range
        {Field::From, "15/02/24 10:30", "3103242500", nullptr, 19},
        {Field::From, "15/02/24 10:30", "31/03/24 10:60", nullptr, 19},
        {Field::To, "29/02/24 23:59", "31/03/24 10:00", "31/03/24 10:00", 0},
        {Field::To, "29/02/24 23:59", "3004240000", "30/04/24 00:00", 0},
        {Field::To, "29/02/24 23:59", "5/3/24", "05/03/24 23:59", 0}, // the time stays
        {Field::To, "29/02/24 23:59", "31/03/24 24:00", nullptr, 19},
        {Field::To, "30/04/24 12:00", "310524 1200", "31/05/24 12:00", 0},
        {Field::To, "30/04/24 12:00", "3106241200", nullptr, 18},
        // The sheet's date, saved with Grabar.
        {Field::SheetDate, "15/02/26", "310324", "31/03/24", 0},
        {Field::SheetDate, "15/02/26", "31/03/24", "31/03/24", 0},
        {Field::SheetDate, "11/02/24", "2/1/24", "02/01/24", 0},
        {Field::SheetDate, "11/02/24", "2/1/4", "02/01/04", 0},
        {Field::SheetDate, "15/02/26", "290223", nullptr, 18},
        // The interval grid's date cells, left with Enter.
        {Field::GridStart, "15/02/24", "310324", "31/03/24", 0},
        {Field::GridStart, "15/02/24", "3/4/24", "03/04/24", 0},
        {Field::GridStart, "15/02/24", "310424", nullptr, 18},
        {Field::GridStart, "15/02/24", "1503", nullptr, 18},
        {Field::GridEnd, "15/02/24", "31/12/24", "31/12/24", 0},
        {Field::GridEnd, "15/02/24", "300624", "30/06/24", 0},
        {Field::GridEnd, "15/02/24", "29/02/25", nullptr, 18},
    };

    Form2 sheet;
    sheet.show();
    sheet.load();
    settle();
    IntervalModel* model = sheet.intervalModel();
    RecordsState& rs = recordsState();
    int gridRow = 0;
    for (const auto& c : cases) {
        const std::string row = std::string(c.shown) + " <- " + c.keys;
        prompts.shown.clear();
        QString taken;
        if (c.field == Field::From || c.field == Field::To) {
            Form8 d;
            d.Form_Load(QDateTime(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC), std::nullopt);
            d.show();
            d.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
            DateBox* box = c.field == Field::From ? d.MaskFechaIni : d.MaskFechaFi;
            (c.field == Field::From ? d.MaskFechaFi : d.MaskFechaIni)
                ->setText(c.field == Field::From ? "31/12/49 23:59" : "01/01/00 00:00");
            box->setText(QString::fromLatin1(c.shown));
            const RangoFechas before = RangoFechas::fromMoments(QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC),
                                                                QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC));
            rs.rangoFechas = before;
            typeInto(box, c.keys);
            QTest::mouseClick(d.CommandVolver, Qt::LeftButton);
            settle();
            if (c.taken) {
                EXPECT_TRUE(prompts.shown.isEmpty()) << row << (prompts.shown.isEmpty() ? "" : prompts.shown[0].text.toStdString()) << box->text().toStdString();
                EXPECT_EQ(d.result(), QDialog::Accepted) << row;
                taken = shownMoment(c.field == Field::From ? rs.rangoFechas.from() : rs.rangoFechas.to());
            } else {
                EXPECT_EQ(d.result(), 0) << row;
                EXPECT_TRUE(d.isVisible()) << row;
                EXPECT_EQ(rs.rangoFechas, before) << row;
                EXPECT_EQ(QApplication::focusWidget(), box) << row;
            }
        } else if (c.field == Field::SheetDate) {
            SheetValues v = sheet.sheet();
            v.fecha = QString::fromLatin1(c.shown);
            sheet.showSheet(v);
            const QString before = storedDate(100);
            sheet.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
            typeInto(sheet.MaskFecha, c.keys);
            QTest::mouseClick(sheet.SSCommandGrabar, Qt::LeftButton); // the save question gets OK
            settle();
            if (c.taken) {
                taken = storedDate(100);
            } else {
                EXPECT_EQ(storedDate(100), before) << row;
                EXPECT_EQ(QApplication::focusWidget(), sheet.MaskFecha) << row;
            }
        } else {
            // Each row in an interval of its own, not selected before.
            const int r = gridRow++;
            SheetValues v = sheet.sheet();
            v.fecha = QStringLiteral("15/02/26"); // not the date refused above
            v.intervals.fechaIni[r] = v.intervals.fechaFi[r] = QString::fromLatin1(c.shown);
            v.intervals.horaIni[r] = QStringLiteral("10:30");
            v.intervals.horaFi[r] = QStringLiteral("11:30");
            sheet.showSheet(v);
            sheet.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
            const QModelIndex cell = model->index(r, c.field == Field::GridStart ? 1 : 3);
            const QPoint at = sheet.TDBGrid1->visualRect(cell).center();
            QTest::mouseClick(sheet.TDBGrid1->viewport(), Qt::LeftButton, {}, at); // a double click
            QTest::mouseDClick(sheet.TDBGrid1->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseRelease(sheet.TDBGrid1->viewport(), Qt::LeftButton, {}, at);
            auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
            ASSERT_NE(editor, nullptr) << row << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none");
            QTest::keyClicks(editor, QString::fromLatin1(c.keys));
            QTest::keyClick(editor, Qt::Key_Return);
            settle();
            if (c.taken)
                taken = cell.data().toString();
            else
                EXPECT_EQ(cell.data().toString(), QString::fromLatin1(c.shown)) << row;
        }
        if (c.taken) {
            EXPECT_EQ(taken.toStdString(), c.taken) << row;
            continue;
        }
        ASSERT_EQ(prompts.shown.size(), 1) << row;
        EXPECT_EQ(prompts.shown[0].text, GetS(c.message)) << row;
    }
    programmingState().fichaModificada = false;
}

} // namespace
} // namespace nbx::test
