#include "common/ui/Help.h"

#include "common/AppPaths.h"
#include "common/AppState.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <cstdio>

namespace nbx {

namespace {

UrlOpener& opener()
{
    static UrlOpener o = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    return o;
}

} // namespace

QString helpFileBase(int codigoIdioma)
{
    switch (codigoIdioma) {
    case 1000: return QStringLiteral("NBX-70_ESP");
    case 2000: return QStringLiteral("NBX-70_CAT");
    case 4000: return QStringLiteral("NBX-70_ALE");
    case 5000: return QStringLiteral("NBX-70_FRA");
    case 6000: return QStringLiteral("NBX-70_ITA");
    case 7000: return QStringLiteral("NBX-70_PTR");
    default: return QStringLiteral("NBX-70_ENG");
    }
}

QString findHelpFile(int codigoIdioma, const QString& dir)
{
    const QString base = helpFileBase(codigoIdioma);
    const QString html = AppPaths::findFile(dir, base + QStringLiteral(".html"));
    if (!html.isEmpty())
        return html;
    const QString folder = AppPaths::findFile(dir, base);
    if (!folder.isEmpty()) {
        const QString index = AppPaths::findFile(folder, QStringLiteral("index.html"));
        if (!index.isEmpty())
            return index;
    }
    for (const char* ext : {".pdf", ".chm"}) {
        const QString f = AppPaths::findFile(dir, base + QLatin1String(ext));
        if (!f.isEmpty() && QFileInfo(f).isFile())
            return f;
    }
    return {};
}

void setHelpOpener(UrlOpener o) { opener() = std::move(o); }

bool AbrirAyuda()
{
    const int code = appState().codigoIdioma;
    const QString path = findHelpFile(code, AppPaths::resourceDir());
    if (path.isEmpty()) {
        std::fprintf(stderr, "nbx70: no help file %s in %s\n", qPrintable(helpFileBase(code)),
                     qPrintable(AppPaths::resourceDir()));
        return false;
    }
    if (!opener()(path)) {
        std::fprintf(stderr, "nbx70: no viewer opened %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace nbx
