#include "localisation/ui/StringExport.h"

#include "common/AppPaths.h"
#include "common/Prompter.h"
#include "localisation/LangDesk.h"
#include "localisation/ui/TranslateForm.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QWidget>
#include <algorithm>

namespace nbx {

namespace {

QList<ExportableWindow>& registry()
{
    static QList<ExportableWindow> windows;
    return windows;
}

const QString kLanguageFile = QStringLiteral("Language.db");

// Ids 1..192 of the built-in table, as the export has always walked them.
constexpr long kExportCount = 193;

// The export target in the data folder; a missing one starts from the shipped copy, if any.
QString prepareTarget(QString* error)
{
    const QString target = AppPaths::resolve(AppPaths::dataDir(), kLanguageFile);
    if (QFileInfo(target).isFile())
        return target;
    const QString shipped = AppPaths::findFile(AppPaths::resourceDir(), kLanguageFile);
    if (!shipped.isEmpty()) {
        if (!QFile::copy(shipped, target)) {
            *error = QStringLiteral("Cannot copy %1 to %2").arg(shipped, target);
            return {};
        }
        QFile(target).setPermissions(QFile(target).permissions() | QFileDevice::WriteOwner);
        return target;
    }
    if (!LangDesk::CreateLanguageDatabase(target, error))
        return {};
    return target;
}

} // namespace

void registerExportableWindow(int order, const QString& name, WindowFactory factory)
{
    auto& list = registry();
    list.erase(std::remove_if(list.begin(), list.end(), [&](const ExportableWindow& w) { return w.name == name; }),
               list.end());
    list.append({order, name, std::move(factory)});
    std::stable_sort(list.begin(), list.end(),
                     [](const ExportableWindow& a, const ExportableWindow& b) { return a.order < b.order; });
}

QList<ExportableWindow> exportableWindows()
{
    return registry();
}

void clearExportableWindows()
{
    registry().clear();
}

bool ExportAllStrings(LangDesk& engine)
{
    QString error;
    const QString path = prepareTarget(&error);
    if (path.isEmpty()) {
        prompter().message(error, Prompter::Icon::Exclamation);
        return false;
    }
    return ExportAllStrings(engine, path, exportableWindows());
}

bool ExportAllStrings(LangDesk& engine, const QString& path, const QList<ExportableWindow>& windows)
{
    const QString previous = engine.sLanguageDB();
    const long previousType = engine.lDbType();
    const bool hasGui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    if (hasGui)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);

    bool ok = true;
    try {
        if (!engine.OpenLanguageDatabase(path, false, LangDesk::AccessLanguageDatabase))
            throw LangDeskError(engine.sErrDescription());
        engine.BeginExportTransaction();
        engine.ExportStrings(kExportCount);
        for (const ExportableWindow& w : windows) {
            // Built fresh, untranslated and never loaded: its texts are the Spanish keys.
            std::unique_ptr<QWidget> window = w.factory ? w.factory() : nullptr;
            if (window)
                ExportFormStrings(window.get(), engine);
        }
        engine.CommitExportTransaction();
    } catch (const std::exception& e) {
        engine.RollbackExportTransaction();
        ok = false;
        const auto* le = dynamic_cast<const LangDeskError*>(&e);
        prompter().message(le ? le->description() : QString::fromLocal8Bit(e.what()),
                           Prompter::Icon::Exclamation);
    }

    engine.CloseLanguageDatabase();
    if (!previous.isEmpty())
        engine.OpenLanguageDatabase(previous, true, previousType);
    if (hasGui)
        QGuiApplication::restoreOverrideCursor();
    return ok;
}

} // namespace nbx
