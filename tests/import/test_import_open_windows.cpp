// An import under open windows, driven as a person does: the sheet's pending edit is taken and
// offered for saving before the main window's import runs, and after it the open sheet and record
// window show the rows as the import left them.
#include "common/AppPaths.h"
#include "common/AppState.h"
#include "common/Database.h"
#include "import/ExchangeImport.h"
#include "import/ui/ImportWindows.h"
#include "link/Link.h"
#include "localisation/Strings.h"
#include "programming/ui/Form2.h"
#include "records/ui/Form5.h"
#include "records/ui/Form9.h"
#include "records/ui/RecordGrid.h"
#include "shell/ui/Form1.h"
#include "shell/ui/MainController.h"
#include "support/ExchangeFileWriter.h"
#include "support/HomeFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"
#include "support/Windows.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace nbx;
using namespace nbx::test;

namespace {

constexpr qint32 kDevice = 12345, kOther = 54321;

// What another PC holds for the device: its sheet with another venue and night, and five records.
QList<ExchangeSectionRows> otherPcsRows()
{
    QVariantMap sheet = tableRows(QStringLiteral("Programacion")).first();
    sheet[QStringLiteral("TLocal")] = QStringLiteral("IMPORTADO");
    sheet[QStringLiteral("THoraEmpiezaNoche")] = QStringLiteral("21:00");
    ExchangeSectionRows intervals{QStringLiteral("Intervalos"), {}};
    for (int i = 0; i < 5; ++i) {
        QVariantMap r = sampleRow(QStringLiteral("Intervalos"), i);
        r[QStringLiteral("LNumeroSerie")] = kDevice;
        intervals.rows << r;
    }
    return {{QStringLiteral("Programacion"), {sheet}}, intervals};
}

// Another PC's database at `path`: this one's, with the exchange file imported into it.
void writeDatabaseFile(const QString& path, const QByteArray& km70)
{
    QSqlQuery copy(mainDb());
    copy.prepare(QStringLiteral("VACUUM INTO ?"));
    copy.addBindValue(path);
    ASSERT_TRUE(copy.exec()) << copy.lastError().text().toStdString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-pc"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        EXPECT_EQ(importExchange(db, km70, QString()).status, ExchangeImportResult::Status::Imported);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other-pc"));
}

// The records the graph opened from the record window draws; -1 when it does not open.
int graphRecords(Form5& records)
{
    int drawn = -1;
    QTimer::singleShot(0, [&] {
        if (auto* graph = qobject_cast<Form9*>(QApplication::activeModalWidget())) {
            drawn = 0;
            for (const QString& label : graph->values().pointLabels)
                drawn += label.trimmed().isEmpty() ? 0 : 1;
            graph->SSCommandExit->click();
        }
    });
    QTest::mouseClick(records.SSCommandGrafica, Qt::LeftButton);
    return drawn;
}

} // namespace

// {exchange file, database file, pending backup merged at a language change} x {sheet unmodified,
// with a pending edit answered OK or Cancel, of another serial}, with the record window open on the
// device. The save question comes before the import, as on leaving the sheet; afterwards the sheet
// shows what is stored, so leaving it writes nothing, and the record window's grids and its graph
// hold the new records.
TEST(ImportUnderOpenWindows, TheSheetIsAskedFirstAndEveryOpenWindowReadsTheImportedRows)
{
    enum class Road { Km70, Database, BackupAtLanguageChange };
    const struct {
        const char* name;
        Road road;
        qint32 sheet;        // the serial the sheet shows
        bool edit;           // "9:00" typed in Empieza noche, the focus still in the box
        Prompter::Answer answer;
        bool asks;           // the save question comes before the import
        const char* local;   // the device's stored venue and night start afterwards
        const char* night;
    } rows[] = {
        {"km70, sheet unmodified", Road::Km70, kDevice, false, Prompter::Answer::Ok, false, "IMPORTADO", "21:00"},
        {"km70, pending edit saved", Road::Km70, kDevice, true, Prompter::Answer::Ok, true, "IMPORTADO", "21:00"},
        {"km70, pending edit, Cancel", Road::Km70, kDevice, true, Prompter::Answer::Cancel, true, "IMPORTADO", "21:00"},
        {"km70, another serial's sheet", Road::Km70, kOther, true, Prompter::Answer::Ok, true, "IMPORTADO", "21:00"},
        {"database, sheet unmodified", Road::Database, kDevice, false, Prompter::Answer::Ok, false, "ANTES", "22:00"},
        {"database, pending edit saved", Road::Database, kDevice, true, Prompter::Answer::Ok, true, "ANTES", "09:00"},
        {"database, pending edit, Cancel", Road::Database, kDevice, true, Prompter::Answer::Cancel, true, "ANTES", "22:00"},
        {"database, another serial's sheet", Road::Database, kOther, true, Prompter::Answer::Ok, true, "ANTES", "22:00"},
        // The merge of start-up asks nothing: a stored sheet's row is never changed by it, and an
        // edit still pending stays as typed.
        {"backup, sheet unmodified", Road::BackupAtLanguageChange, kDevice, false, Prompter::Answer::Ok, false, "ANTES", "22:00"},
        {"backup, pending edit", Road::BackupAtLanguageChange, kDevice, true, Prompter::Answer::Ok, false, "ANTES", "22:00"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempHome home;
        ScriptedPrompter prompts;
        installImportService();
        programmingState() = ProgrammingState{};
        linkState().NumeroSerieEqp = kDevice;
        bool dialogShown = false;
        [&] {
            MainController controller;
            controller.start(QString());
            Form1& main = *controller.form(); // rebuilt by a language change
            ASSERT_TRUE(Database::isOpen());
            for (const qint32 serial : {kDevice, kOther})
                storeSheet(serial, [](SheetValues& s) {
                    s.local = QStringLiteral("ANTES");
                    s.empiezaNoche = QStringLiteral("22:00");
                    s.terminaNoche = QStringLiteral("07:00");
                });
            const QByteArray file = writeExchangeFile(otherPcsRows());
            const QString km70 = home.file(QStringLiteral("otro.km70")), mdb = home.file(QStringLiteral("otro.mdb"));
            QFile out(km70);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(file) > 0);
            out.close();
            writeDatabaseFile(row.road == Road::BackupAtLanguageChange ? AppPaths::backupFile() : mdb, file);
            QPointer<Form2> sheet;
            setOpenFileDialog([&](QWidget*, const QString&, const QStringList&) {
                dialogShown = true;
                EXPECT_FALSE(sheet && sheet->isEnabled()); // nothing typed while it runs
                return row.road == Road::Km70 ? km70 : mdb;
            });

            QTest::mouseClick(main.SSCommandIncidencias, Qt::LeftButton);
            Form5* records = shownWindow<Form5>();
            ASSERT_TRUE(records);
            ASSERT_EQ(records->TextNumeroSerie->text(), QString::number(kDevice));
            QTest::mouseClick(main.SSCommandProgramacion, Qt::LeftButton);
            sheet = shownWindow<Form2>();
            ASSERT_TRUE(sheet);
            sheet->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
            if (row.sheet != kDevice)
                QTest::mouseClick(sheet->SSCommandSiguiente, Qt::LeftButton);
            ASSERT_EQ(sheet->MaskNumeroSerie->text(), QString::number(row.sheet));
            if (row.edit) {
                sheet->SSTab2->setCurrentIndex(2);
                QTest::mouseClick(sheet->MaskEmpiezaNoche, Qt::LeftButton);
                sheet->MaskEmpiezaNoche->selectAll();
                QTest::keyClicks(sheet->MaskEmpiezaNoche, "9:00");
            }
            settle();
            main.activateWindow();
            main.SSCommand1->setFocus();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
            prompts.shown.clear();
            if (row.asks)
                prompts.answer(row.answer);

            if (row.road == Road::BackupAtLanguageChange)
                controller.reloadForLanguage(appState().codigoIdioma);
            else
                QTest::mouseClick(main.SSCommand1, Qt::LeftButton);
            settle();

            // The save question, when asked, is all the import says.
            EXPECT_EQ(prompts.shown.size(), row.asks ? 1 : 0);
            EXPECT_EQ(prompts.sawText(GetS(23)), row.asks);
            EXPECT_EQ(dialogShown, row.road != Road::BackupAtLanguageChange);
            const SheetValues device = storedSheet(kDevice);
            EXPECT_EQ(device.local, QString::fromUtf8(row.local));
            EXPECT_EQ(device.empiezaNoche, QString::fromUtf8(row.night));
            if (row.sheet == kOther) {
                EXPECT_EQ(storedSheet(kOther).empiezaNoche, "09:00"); // saved before the import
            }

            ASSERT_TRUE(sheet);
            EXPECT_EQ(sheet->MaskNumeroSerie->text(), QString::number(row.sheet));
            const bool keepsEdit = row.edit && !row.asks; // an edit not saved at the question is dropped
            const SheetValues onSheet = storedSheet(row.sheet);
            EXPECT_EQ(sheet->MaskLocal->text(), onSheet.local);
            // A box's rule runs when the edit is taken: the start-up merge leaves it as typed.
            const QString kept = row.asks ? QStringLiteral("09:00") : QStringLiteral("9:00");
            EXPECT_EQ(sheet->MaskEmpiezaNoche->text(), keepsEdit ? kept : onSheet.empiezaNoche);
            EXPECT_EQ(programmingState().fichaModificada, keepsEdit);

            EXPECT_EQ(linkState().NumeroSerieEqp, row.sheet); // the device last shown stays
            EXPECT_EQ(records->TextLocal->text(), device.local);
            EXPECT_EQ(records->TDBGridIntervalos->model()->rowCount(), 5);
            EXPECT_EQ(graphRecords(*records), 5);

            // Leaving the sheet: an unmodified one writes nothing; one that kept its edit asks,
            // and Cancel leaves the stored rows as they are.
            prompts.shown.clear();
            prompts.answer(Prompter::Answer::Cancel);
            sheet->activateWindow();
            QTest::mouseClick(sheet->SSCommandExit, Qt::LeftButton);
            settle();
            EXPECT_EQ(prompts.sawText(GetS(23)), keepsEdit);
            EXPECT_EQ(storedSheet(kDevice), device);
            controller.form()->SSCommandExit->click();
        }();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<Form2*>(w) || qobject_cast<Form5*>(w))
                delete w;
        setOpenFileDialog({});
        setImportService(nullptr);
        programmingState().fichaModificada = false;
        Database::close();
    }
}
