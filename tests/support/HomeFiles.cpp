#include "HomeFiles.h"

#include "common/AppPaths.h"
#include "localisation/LangDesk.h"
#include "programming/SheetDefaults.h"
#include "programming/SheetRepository.h"

#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>

namespace nbx::test {

bool writeIni(const QByteArray& text)
{
    QFile f(AppPaths::configFile());
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

bool writeLanguageDb()
{
    QString error;
    return LangDesk::CreateLanguageDatabase(AppPaths::resolve(AppPaths::dataDir(), "Language.db"), &error);
}

void storeSheet(qint32 serial, const std::function<void(SheetValues&)>& change)
{
    SheetValues s;
    ProgrammingState st;
    CreaProgramacio(s, st);
    s.numeroSerie = QString::number(serial);
    if (change)
        change(s);
    QString error;
    ASSERT_TRUE(SheetRepository().save(s, QDateTime::currentDateTime(), &error)) << error.toStdString();
}

SheetValues storedSheet(qint32 serial)
{
    SheetValues s;
    QString error;
    EXPECT_TRUE(SheetRepository().load(serial, s, &error)) << error.toStdString();
    return s;
}

} // namespace nbx::test
