// The files of src/ include one another without a circle: X.h and X.cpp count as one file, and
// an include is followed when it names a file of src/ (from src/ or from the including folder).
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

#include <functional>

namespace {

// "programming/ui/Form2" for src/programming/ui/Form2.h and .cpp.
QString unitOf(const QDir& src, const QString& path)
{
    const QString rel = src.relativeFilePath(path);
    return rel.left(rel.lastIndexOf(QLatin1Char('.')));
}

TEST(IncludeGraph, SourceFilesIncludeNoCircle)
{
    const QDir src(QStringLiteral(NBX70_SOURCE_RESOURCES "/../src"));
    ASSERT_TRUE(src.exists());
    const QRegularExpression include(QStringLiteral(R"re(^\s*#\s*include\s*"([^"]+)")re"),
                                     QRegularExpression::MultilineOption);
    QHash<QString, QStringList> edges;
    QDirIterator it(src.absolutePath(), {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        const QString from = unitOf(src, path);
        QStringList& to = edges[from];
        for (const auto& m : include.globalMatch(QString::fromUtf8(f.readAll()))) {
            for (const QString& target : {src.absoluteFilePath(m.captured(1)),
                                          QFileInfo(path).dir().absoluteFilePath(m.captured(1))}) {
                if (QFileInfo::exists(target)) {
                    const QString unit = unitOf(src, QDir::cleanPath(target));
                    if (unit != from && !to.contains(unit))
                        to << unit;
                    break;
                }
            }
        }
    }
    ASSERT_GT(edges.size(), 50);

    // Depth first: a file met again while it is still on the path closes a circle.
    QHash<QString, int> state; // 1 on the path, 2 done
    QStringList path;
    QStringList circles;
    std::function<void(const QString&)> visit = [&](const QString& unit) {
        state[unit] = 1;
        path << unit;
        for (const QString& next : edges.value(unit)) {
            if (state.value(next) == 1)
                circles << (path.mid(path.indexOf(next)) << next).join(QStringLiteral(" -> "));
            else if (state.value(next) == 0)
                visit(next);
        }
        path.removeLast();
        state[unit] = 2;
    };
    QStringList units = edges.keys();
    units.sort();
    for (const QString& unit : units)
        if (state.value(unit) == 0)
            visit(unit);
    EXPECT_TRUE(circles.isEmpty()) << circles.join(QLatin1Char('\n')).toStdString();
}

} // namespace
