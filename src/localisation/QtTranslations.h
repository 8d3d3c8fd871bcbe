// Qt's own texts (the standard dialog buttons OK, Cancel, Yes, No...) in the program's language.
#pragma once

#include <QString>

namespace nbx {

// The Qt catalogue names tried for a language code (1000 Spanish .. 7000 Portuguese), best first.
QStringList qtCatalogueLocales(int codigoIdioma);

// Installs Qt's translations for the language code in place of those installed before. Returns
// false when no catalogue was found (Qt then shows its English texts).
bool applyQtTranslations(int codigoIdioma);

} // namespace nbx
