// Entry point of every test binary: an offscreen QApplication, then GoogleTest.
#include "import/DatabaseMerge.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    nbx::setAccessReaderCommand({QStringLiteral(NBX70_ACCESS_READER), {}, 120000});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
