#include "common/Cp1252.h"
#include "common/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace nbx;

namespace {

QString writeFile(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString path = dir.filePath(QStringLiteral("test.ini"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

TEST(IniFile, ReadsLikeThePrivateProfileReader)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir,
                                   "[other]\nSerialPort=9\n"
                                   "[configuration]\n"
                                   "serialport = 3 \n"
                                   "SerialPort=4\n"
                                   "User=\"quoted text\"\n"
                                   "DialCode='0'\n"
                                   "Odd=\"unbalanced\n"
                                   "; comment=ignored\n");
    EXPECT_EQ(LeerIni("Configuration", "SerialPort", "", path), "3"); // first match, case-insensitive
    EXPECT_EQ(LeerIni("Configuration", "User", "", path), "quoted text");
    EXPECT_EQ(LeerIni("Configuration", "DialCode", "", path), "0");
    EXPECT_EQ(LeerIni("Configuration", "Odd", "", path), "\"unbalanced");
    EXPECT_EQ(LeerIni("Configuration", "Missing", "", path), "");
    EXPECT_EQ(LeerIni("Configuration", "Missing", "dflt", path), "dflt");
    EXPECT_EQ(LeerIni("Nowhere", "SerialPort", "", path), "");
    EXPECT_EQ(LeerIni("Configuration", "User", "", dir.filePath("absent.ini")), "");
}

TEST(IniFile, LongValuesAreCutTo254Characters)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "[Configuration]\nUser=" + QByteArray(300, 'x') + "\n");
    EXPECT_EQ(LeerIni("Configuration", "User", "", path).size(), 254);
}

TEST(IniFile, WriteKeepsEveryOtherLineAndOrder)
{
    QTemporaryDir dir;
    const QByteArray before = "; settings\n"
                              "[Configuration]\n"
                              "SerialPort=1\n"
                              "Unknown = kept as is \n"
                              "\n"
                              "[Other]\n"
                              "a=b\n";
    const QString path = writeFile(dir, before);
    ASSERT_TRUE(EscribirIni("Configuration", "serialport", "5", path));
    ASSERT_TRUE(EscribirIni("Configuration", "User", "new", path));
    ASSERT_TRUE(EscribirIni("Fresh", "Key", "v", path));
    EXPECT_EQ(readFile(path), QByteArray("; settings\n"
                                         "[Configuration]\n"
                                         "serialport=5\n"
                                         "Unknown = kept as is \n"
                                         "User=new\n"
                                         "\n"
                                         "[Other]\n"
                                         "a=b\n"
                                         "[Fresh]\n"
                                         "Key=v\n"));
}

TEST(IniFile, WriteCreatesTheFileAndNeverSplitsALine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new.ini"));
    ASSERT_TRUE(EscribirIni("Configuration", "User", "two\r\nlines", path));
    EXPECT_EQ(readFile(path), QByteArray("[Configuration]\nUser=two  lines\n"));
}

TEST(IniFile, KeepsWindowsLineEnds)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "[Configuration]\r\nModem=0\r\n");
    ASSERT_TRUE(EscribirIni("Configuration", "Modem", "1", path));
    EXPECT_EQ(readFile(path), QByteArray("[Configuration]\r\nModem=1\r\n"));
}

TEST(IniFile, ReadsWindows1252AndWritesUtf8)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "[Configuration]\nUser=Pie p\xE1gina \xF1 \x80\n");
    const QString expected = QString::fromUtf8("Pie página ñ €");
    EXPECT_EQ(LeerIni("Configuration", "User", "", path), expected);
    ASSERT_TRUE(EscribirIni("Configuration", "Modem", "0", path));
    const QByteArray after = readFile(path);
    EXPECT_TRUE(isValidUtf8(after));
    EXPECT_EQ(LeerIni("Configuration", "User", "", path), expected);
}

TEST(IniFile, WriteIntoAnUnwritablePlaceFails)
{
    QTemporaryDir dir;
    // A folder that is a plain file cannot hold the settings, whoever runs the test.
    const QString notAFolder = writeFile(dir, "x");
    EXPECT_FALSE(EscribirIni("Configuration", "User", "x", notAFolder + "/nbx70.ini"));
}

// A disk that fills up while the settings are written (here a file size limit, whatever part of
// the new text fits): the write reports the failure and the old file stays whole.
TEST(IniFile, AFailedWriteKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QByteArray old = "[Configuration]\nSerialPort=3\nUser=Bar Sol\n";
    const QString longer(200, QLatin1Char('x'));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN); // EFBIG instead of the signal
    for (const rlim_t limit : {rlim_t(0), rlim_t(old.size() / 2), rlim_t(old.size())}) {
        SCOPED_TRACE(limit);
        const QString path = writeFile(dir, old);
        rlimit small = saved;
        small.rlim_cur = limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = EscribirIni("Configuration", "User", longer, path);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
        EXPECT_FALSE(written);
        EXPECT_EQ(readFile(path).toStdString(), old.toStdString());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"test.ini"})) << "no temporary left";
    }
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(EscribirIni("Configuration", "User", longer, writeFile(dir, old)));
    EXPECT_EQ(LeerIni("Configuration", "User", "", dir.filePath("test.ini")), longer);
}

TEST(Cp1252, RoundTripsTheWholeByteRange)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    EXPECT_EQ(unicodeToCp1252(cp1252ToUnicode(all)), all);
    EXPECT_EQ(cp1252ToUnicode("\x80\x93\x94"), QString::fromUtf8("€“”"));
    EXPECT_EQ(unicodeToCp1252(QString::fromUtf8("a€ñ漢")), QByteArray("a\x80\xF1?"));
}

TEST(Cp1252, DecodesUtf8WhenValid)
{
    EXPECT_EQ(decodeUtf8OrCp1252("\xEF\xBB\xBFp\xC3\xA1g"), QString::fromUtf8("pág"));
    EXPECT_EQ(decodeUtf8OrCp1252("p\xE1g"), QString::fromUtf8("pág"));
}
