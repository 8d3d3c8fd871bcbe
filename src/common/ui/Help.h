// The help button of every window: opens the help file of the current language.
#pragma once

#include <QString>
#include <functional>

namespace nbx {

// Base name of the help file for a language code ("NBX-70_ENG" for any unknown code).
QString helpFileBase(int codigoIdioma);

// The help file to open, in the resources folder, preferring ".html" (or "<name>/index.html"),
// then ".pdf", then ".chm"; empty when none exists.
QString findHelpFile(int codigoIdioma, const QString& dir);

using UrlOpener = std::function<bool(const QString& path)>;
// Replaces the system viewer (tests).
void setHelpOpener(UrlOpener opener);

// Opens the help of the current language. A missing file or viewer shows nothing to the user; a
// warning goes to standard error.
bool AbrirAyuda();

} // namespace nbx
