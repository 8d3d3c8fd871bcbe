// The program keeps its database's locks whatever window or dialog the user goes through: the
// program runs in a child process and takes a road, another process opens and closes the
// database, the user saves a sheet, and the child is killed: the save is there.
#include "common/AppPaths.h"
#include "common/Database.h"
#include "common/QuitSignals.h"
#include "common/ui/QtPrompter.h"
#include "import/ui/ImportWindows.h"
#include "localisation/Strings.h"
#include "programming/ui/Form2.h"
#include "reports/ui/Form15.h"
#include "shell/ui/Form11.h"
#include "shell/ui/MainController.h"
#include "support/AccessFileWriter.h"
#include "support/HomeFiles.h"
#include "support/TempDatabase.h"
#include "support/Windows.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <csignal>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace nbx;

namespace {

const char kRoadVariable[] = "NBX70_LOCKS_ROAD";
const int kSerial = 123456;

// Calls `then` with the modal window of type W once it is the active one; `then` may open more.
template <class W>
void whenModal(std::function<void(W*)> then)
{
    auto* poll = new QTimer;
    poll->callOnTimeout([poll, then] {
        auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
        if (!w || !w->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        then(w);
    });
    poll->start(10);
}

void say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// Tells when something in the process has read a file of the database and closed it again, as a
// file dialog does to guess the file's type (SQLite keeps its own descriptors open meanwhile).
class DatabaseFileReads {
public:
    DatabaseFileReads() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(fd_, QFile::encodeName(AppPaths::dataDir()).constData(), IN_CLOSE_NOWRITE);
    }
    ~DatabaseFileReads() { ::close(fd_); }
    // Waits until one has been read; says so when none was within the time.
    void wait()
    {
        const bool read = QTest::qWaitFor([this] {
            alignas(inotify_event) char buffer[4096];
            ssize_t n;
            while ((n = ::read(fd_, buffer, sizeof buffer)) > 0)
                for (char* p = buffer; p < buffer + n;) {
                    const auto* e = reinterpret_cast<const inotify_event*>(p);
                    if (e->len && QByteArray(e->name).startsWith("nbx70.db"))
                        seen_ = true;
                    p += sizeof(inotify_event) + e->len;
                }
            return seen_;
        }, 10000);
        if (!read)
            say("the dialog read no file of the database");
    }

private:
    int fd_;
    bool seen_ = false;
};

// The road, taken as a person takes it on the program's main window.
void takeRoad(const QString& road, Form1* main)
{
    DatabaseFileReads reads;
    if (road.startsWith(QLatin1String("import"))) {
        whenModal<QFileDialog>([&](QFileDialog* d) {
            reads.wait();
            if (road == "import used") {
                auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QTest::keyClicks(name, QStringLiteral("fuente.mdb"));
                QTest::keyClick(name, Qt::Key_Return);
            } else {
                QTest::keyClick(d, Qt::Key_Escape);
            }
        });
        main->SSCommand1->click();
    } else if (road == "print dialog's file browser") {
        main->SSCommandProgramacion->click();
        Form2* sheet = test::shownWindow<Form2>();
        whenModal<Form15>([&](Form15* preview) {
            whenModal<QPrintDialog>([&](QPrintDialog* print) {
                auto* file = print->findChild<QLineEdit*>(QStringLiteral("filename"));
                file->setText(QDir(AppPaths::dataDir()).filePath(QStringLiteral("ficha.pdf")));
                whenModal<QFileDialog>([&](QFileDialog* d) {
                    reads.wait();
                    QTest::keyClick(d, Qt::Key_Escape);
                });
                print->findChild<QToolButton*>(QStringLiteral("fileBrowser"))->click();
                QTest::keyClick(print, Qt::Key_Escape);
            });
            preview->SSCommandImprimir->click();
            preview->SSCommandExit->click();
        });
        sheet->SSCommandImprimir->click();
    }
}

// Local: "TERCERO", Grabar, Aceptar.
void saveTheSheet(Form1* main)
{
    main->SSCommandProgramacion->click();
    Form2* sheet = test::shownWindow<Form2>();
    sheet->activateWindow();
    sheet->MaskLocal->setFocus();
    sheet->MaskLocal->selectAll();
    QTest::keyClicks(sheet->MaskLocal, QStringLiteral("TERCERO"));
    whenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    sheet->SSCommandGrabar->click();
}

// The child: the program as main starts it, the road, then the save once the parent says so.
void runProgram(const QString& road)
{
    QApplication::setApplicationName(QStringLiteral("nbx70"));
    QuitSignals quitSignals;
    QtPrompter prompter([](const QString& native) { return GetS(native); });
    setPrompter(&prompter);
    installPasswordDialogs();
    installImportService();
    registerProgramWindows();
    MainController controller;
    controller.start(QString());
    QTimer::singleShot(0, [&] {
        takeRoad(road, controller.form());
        say("road taken");
        const QString go = QDir(AppPaths::dataDir()).filePath(QStringLiteral("save"));
        if (!QTest::qWaitFor([&] { return QFile::exists(go); }, 60000))
            QCoreApplication::exit(2);
        saveTheSheet(controller.form());
        say("saved");
    });
    QTimer::singleShot(120000, [] { QCoreApplication::exit(3); }); // a parent gone does not leave it behind
    QApplication::exec();
    setPrompter(nullptr);
}

// Waits for `line` in what the child prints, keeping all it printed in *out.
bool waitForLine(QProcess& child, const char* line, QByteArray* out)
{
    while (!out->contains(line)) {
        if (!child.waitForReadyRead(60000))
            return false;
        *out += child.readAll();
    }
    return true;
}

// The sqlite3 tool, another process: runs `sql` on the database and ends.
QString sqliteTool(const QString& file, const QString& sql)
{
    QProcess tool;
    tool.start(QStringLiteral("sqlite3"), {file, sql});
    tool.waitForFinished(30000);
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// A second copy of the program on the same home, ended by a signal once it has opened the database.
bool secondCopy(const QString& dbFile)
{
    QProcess program;
    program.start(QStringLiteral(NBX70_EXECUTABLE), {});
    if (!program.waitForStarted(30000))
        return false;
    const QString fds = QStringLiteral("/proc/%1/fd").arg(program.processId());
    const QString shm = QFileInfo(dbFile + QStringLiteral("-shm")).canonicalFilePath();
    const bool opened = QTest::qWaitFor([&] {
        for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::Files | QDir::System))
            if (fd.symLinkTarget() == shm)
                return true;
        return false;
    }, 30000);
    program.terminate();
    return program.waitForFinished(30000) && opened;
}

} // namespace

TEST(Program, ASaveAfterAnyRoadIsSeenByOtherProcessesAndSurvivesAKill)
{
    if (qEnvironmentVariableIsSet(kRoadVariable)) {
        runProgram(qEnvironmentVariable(kRoadVariable));
        return;
    }
    const struct {
        const char* road;
        bool otherIsSecondCopy; // else the sqlite3 tool
    } cases[] = {
        {"import cancelled", false},
        {"import used", true},
        {"print dialog's file browser", false},
        {"second copy only", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.road);
        test::TempHome home;
        ASSERT_TRUE(test::writeIni("[Configuration]\nSerialPort=1\nUser=\nLanguage=1034\nModem=0\nTonePulse=1\nDialCode=\n"));
        ASSERT_TRUE(test::writeLanguageDb());
        const QString dbFile = AppPaths::databaseFile();
        QString error;
        ASSERT_TRUE(Database::open(dbFile, &error)) << error.toStdString();
        ASSERT_NO_FATAL_FAILURE(test::storeSheet(kSerial, [](SheetValues& s) { s.local = QStringLiteral("PRIMERO"); }));
        Database::close();
        ASSERT_TRUE(test::writeAccessFile(home.file("fuente.mdb"),
                                          {{"Programacion",
                                            {{"LNumeroSerie", test::AccessColumn::Type::Long},
                                             {"TLocal", test::AccessColumn::Type::Text}},
                                            {{654321, "SEGUNDO"}}}}));

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kRoadVariable, c.road);
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=Program.ASaveAfterAnyRoadIsSeenByOtherProcessesAndSurvivesAKill")});
        QByteArray out;
        ASSERT_TRUE(waitForLine(child, "road taken", &out)) << out.toStdString();

        if (c.otherIsSecondCopy)
            EXPECT_TRUE(secondCopy(dbFile));
        else
            EXPECT_FALSE(sqliteTool(dbFile, QStringLiteral("SELECT COUNT(*) FROM Programacion;")).isEmpty());
        EXPECT_TRUE(QFile::exists(dbFile + QStringLiteral("-wal"))) << "the log of the program still running";

        QFile(home.file("save")).open(QIODevice::WriteOnly);
        ASSERT_TRUE(waitForLine(child, "saved", &out)) << out.toStdString();
        const QString select = QStringLiteral("SELECT TLocal FROM Programacion ORDER BY LNumeroSerie;");
        const QString expected = QString::fromLatin1(QByteArray(c.road) == "import used" ? "TERCERO\nSEGUNDO" : "TERCERO");
        EXPECT_EQ(sqliteTool(dbFile, select).toStdString(), expected.toStdString()) << "seen by another process\n" << out.toStdString();
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished(30000);
        EXPECT_EQ(sqliteTool(dbFile, select).toStdString(), expected.toStdString()) << "kept after the kill";
        EXPECT_FALSE(out.contains("read no file")) << out.toStdString();
    }
}
