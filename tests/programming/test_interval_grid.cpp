// Validation of the inhibited-interval grid.
#include "programming/IntervalGrid.h"

#include <gtest/gtest.h>

namespace nbx::test {

namespace {
IntervalRow row(const char* fi, const char* hi, const char* ff, const char* hf)
{
    return {QString::fromLatin1(fi), QString::fromLatin1(hi), QString::fromLatin1(ff), QString::fromLatin1(hf)};
}
const IntervalRow kEmpty = row("00/00/00", "00:00", "00/00/00", "00:00");
const IntervalRow kSet = row("15/03/06", "10:00", "16/03/06", "12:00");
} // namespace

TEST(IntervalGrid, CellEdits)
{
    using M = GridMessage;
    const struct {
        const char* what;
        IntervalRow before;
        int column;
        const char* value;
        bool accepted;
        IntervalRow after;
        M message;
    } cases[] = {
        {"start date on an empty row", kEmpty, GridFechaIni, "15/03/06", true,
         row("15/03/06", "00:00", "15/03/06", "00:01"), M::None},
        {"start date padded", kSet, GridFechaIni, "1/3/06", true, row("01/03/06", "10:00", "16/03/06", "12:00"), M::None},
        {"start date cleared", kSet, GridFechaIni, "00/00/00", true, kEmpty, M::None},
        {"end date cleared", kSet, GridFechaFi, "00/00/0000", true, kEmpty, M::None},
        {"start date after the end moves the end", kSet, GridFechaIni, "20/03/06", true,
         row("20/03/06", "10:00", "20/03/06", "10:01"), M::None},
        {"day 32", kSet, GridFechaIni, "32/03/06", false, kSet, M::DateWrong},
        {"month 13", kSet, GridFechaFi, "15/13/06", false, kSet, M::DateWrong},
        {"start time after the end moves it", row("15/03/06", "10:00", "15/03/06", "12:00"), GridHoraIni, "13:30",
         true, row("15/03/06", "13:30", "15/03/06", "13:31"), M::None},
        {"start time on an empty row", kEmpty, GridHoraIni, "10:00", false, kEmpty, M::DateWrong},
        {"hour 25", kSet, GridHoraIni, "25:00", false, kSet, M::TimeWrong},
        {"minute 60", kSet, GridHoraFi, "10:60", false, kSet, M::TimeWrong},
        {"end time not after the start", row("15/03/06", "10:00", "15/03/06", "12:00"), GridHoraFi, "10:00", false,
         row("15/03/06", "10:00", "15/03/06", "12:00"), M::EndNotAfterStart},
        {"end time accepted", kSet, GridHoraFi, "9:5", true, row("15/03/06", "10:00", "16/03/06", "09:05"), M::None},
        {"end date before the start: moved, message, kept", kSet, GridFechaFi, "14/03/06", true,
         row("15/03/06", "10:00", "15/03/06", "10:01"), M::EndNotAfterStart},
        {"across a year end", row("31/12/06", "23:58", "01/01/07", "00:00"), GridHoraIni, "23:59", true,
         row("31/12/06", "23:59", "01/01/07", "00:00"), M::None},
        {"move across a year end", row("31/12/06", "20:00", "31/12/06", "21:00"), GridHoraIni, "23:59", true,
         row("31/12/06", "23:59", "01/01/07", "00:00"), M::None},
        {"end date on an empty row", kEmpty, GridFechaFi, "15/03/06", true,
         row("15/03/06", "00:00", "15/03/06", "00:01"), M::EndNotAfterStart},
        // Stored rows with one date missing compare as the same day.
        {"end time with the end date missing", row("15/03/06", "10:00", "00/00/00", "00:00"), GridHoraFi, "11:00",
         true, row("15/03/06", "10:00", "15/03/06", "11:00"), M::None},
        {"start time with the end date missing", row("15/03/06", "10:00", "00/00/00", "12:00"), GridHoraIni, "11:00",
         true, row("15/03/06", "11:00", "00/00/00", "12:00"), M::None},
        {"number column", kSet, GridNumber, "7", true, kSet, M::None},
        {"two-digit year 49 is 2049", row("31/12/48", "23:59", "00/00/00", "00:00"), GridFechaFi, "01/01/49", true,
         row("31/12/48", "23:59", "01/01/49", "00:00"), M::None},
    };
    for (const auto& tc : cases) {
        const GridEditResult r = validateIntervalEdit(tc.before, tc.column, QString::fromLatin1(tc.value));
        EXPECT_EQ(r.accepted, tc.accepted) << tc.what;
        EXPECT_EQ(r.row, tc.after) << tc.what << ": " << r.row.fechaIni.toStdString() << " "
                                   << r.row.horaIni.toStdString() << " " << r.row.fechaFi.toStdString() << " "
                                   << r.row.horaFi.toStdString();
        EXPECT_EQ(r.message, tc.message) << tc.what;
    }
    EXPECT_EQ(gridMessageId(GridMessage::DateWrong), 18);
    EXPECT_EQ(gridMessageId(GridMessage::EndNotAfterStart), 24);
    EXPECT_EQ(gridMessageId(GridMessage::TimeWrong), 19);
    EXPECT_EQ(gridMessageId(GridMessage::None), 0);
}

TEST(IntervalGrid, CopyToTheArrays)
{
    InhibitedIntervals iv;
    iv.fechaIni[4] = QStringLiteral("15/03/06");
    IntervalRows rows = gridRowsFromIntervals(iv);
    EXPECT_EQ(rows[4].fechaIni, "15/03/06");
    EXPECT_EQ(rows[0], IntervalRow{});
    rows[2] = row("1/2/2006", "08:00:00", "garbage", "9:30");
    const InhibitedIntervals back = intervalsFromGridRows(rows);
    EXPECT_EQ(back.fechaIni[2], "01/02/06");
    EXPECT_EQ(back.horaIni[2], "08:00");
    EXPECT_EQ(back.fechaFi[2], "garbage");
    EXPECT_EQ(back.horaFi[2], "9:30");
    EXPECT_EQ(back.fechaIni[0], "00/00/00");
    EXPECT_EQ(back.fechaIni[4], "15/03/06");
    EXPECT_EQ(back.fechaIni[30], "00/00/00");
}

} // namespace nbx::test
