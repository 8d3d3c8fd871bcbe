// Measures the reading of a text language file as its size grows: the header names as many
// languages as fill half the file, the column read named last; the other half holds the strings.
#include "../BenchSupport.h"
#include "localisation/LangDesk.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {

QByteArray textFile(int bytes)
{
    const int strings = bytes / 2 / 24;
    QByteArray header = "[Language Desk]\nNumberOfStrings=" + QByteArray::number(strings) + "\n";
    int languages = 0;
    QByteArray names;
    while (header.size() + names.size() < bytes / 2) {
        const QByteArray n = QByteArray::number(++languages);
        names += "Language" + n + "=Lang" + n + "\n";
    }
    names += "Language" + QByteArray::number(++languages) + "=English\n";
    header += "NumberOfLanguages=" + QByteArray::number(languages) + "\n" + names;
    QByteArray native = "[Native]\n", english = "[English]\n";
    for (int i = 0; i < strings; ++i) {
        const QByteArray n = QByteArray::number(100000 + i);
        native += "AB=texto " + n + "\n";
        english += "AB=text " + n + "\n";
    }
    return header + native + english;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lang.txt"));
    std::printf("text language file read (median of 5):\n");
    for (int kib : {64, 256, 1024, 4096}) {
        const QByteArray bytes = textFile(kib * 1024);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
        f.close();
        std::vector<double> ms;
        for (int i = 0; i < 5; ++i) {
            nbx::LangDesk d;
            d.setSForeignColumnName(QStringLiteral("English"));
            const double start = bench::threadCpuUs();
            if (!d.OpenLanguageDatabase(path, true, nbx::LangDesk::TextLanguageDatabase)) {
                std::printf("  %5d KiB: not read (%s)\n", kib, qPrintable(d.sErrDescription()));
                return 1;
            }
            ms.push_back((bench::threadCpuUs() - start) / 1000);
        }
        const double median = bench::median(ms);
        std::printf("  %5d KiB: %8.1f ms  (%.1f ms per MiB)\n", kib, median, median * 1024 / kib);
    }
    return 0;
}
