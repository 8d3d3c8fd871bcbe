// The files a test lays in the program's home before the program starts: its settings, a language
// database without translations, stored sheets.
#pragma once

#include "programming/SheetValues.h"

#include <QByteArray>
#include <functional>

namespace nbx::test {

// The settings file (nbx70.ini) with `text`; false when it could not be written.
bool writeIni(const QByteArray& text);

// A language database without translations, so that start-up has nothing to report.
bool writeLanguageDb();

// Stores the sheet of `serial` in the main database: the defaults, then what `change` sets.
void storeSheet(qint32 serial, const std::function<void(SheetValues&)>& change = {});

// The stored sheet of `serial`.
SheetValues storedSheet(qint32 serial);

} // namespace nbx::test
