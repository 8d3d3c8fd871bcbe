#include "localisation/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

namespace nbx {

QStringList qtCatalogueLocales(int codigoIdioma)
{
    switch (codigoIdioma) {
    case 1000: return {QStringLiteral("es")};
    case 2000: return {QStringLiteral("ca")};
    case 4000: return {QStringLiteral("de")};
    case 5000: return {QStringLiteral("fr")};
    case 6000: return {QStringLiteral("it")};
    // European Portuguese first; the Brazilian catalogue serves when it is the only one.
    case 7000: return {QStringLiteral("pt_PT"), QStringLiteral("pt"), QStringLiteral("pt_BR")};
    default: return {QStringLiteral("en")};
    }
}

bool applyQtTranslations(int codigoIdioma)
{
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator;
    for (const QString& locale : qtCatalogueLocales(codigoIdioma)) {
        if (translator->load(QStringLiteral("qtbase_") + locale, dir)) {
            QCoreApplication::installTranslator(translator);
            installed = translator;
            return true;
        }
    }
    delete translator;
    return false;
}

} // namespace nbx
