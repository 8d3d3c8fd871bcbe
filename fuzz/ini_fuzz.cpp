// Feeds arbitrary bytes to the reader of nbx70.ini as the program reads it at start-up, then writes
// the unreadable keys back with their defaults, as start-up offers, and reads the file again.
#include "FuzzFile.h"
#include "shell/Settings.h"

#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nbx70.ini"));
    if (!writeFuzzFile(path, data, size))
        return 0;
    QStringList errors, unreadable;
    const nbx::Settings s = nbx::readSettings(path, &errors, &unreadable);
    (void)nbx::mapLanguage(s.languageText);
    if (!unreadable.isEmpty() && nbx::writeDefaultKeys(path, unreadable)) {
        errors.clear();
        nbx::readSettings(path, &errors);
        if (!errors.isEmpty())
            __builtin_trap(); // the keys written back must read
    }
    return 0;
}
