// String export: fills the table-kind language database with every Spanish text of the program
// (the built-in texts and the designed texts of every window) so that translators can translate
// them.
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace nbx {

class LangDesk;

// Builds a window with its designed Spanish texts, without running its load step.
using WindowFactory = std::function<std::unique_ptr<QWidget>()>;

struct ExportableWindow {
    int order;     // the window's number (Form1 = 1): windows are exported in this order
    QString name;  // "Form1", ...
    WindowFactory factory;
};

// Registers a window for the export; a second registration of the same name replaces the first.
void registerExportableWindow(int order, const QString& name, WindowFactory factory);
// The registered windows, in export order.
QList<ExportableWindow> exportableWindows();
void clearExportableWindows();

// ExportAllStrings: opens the language database `path` for writing (default: "Language.db" in the
// data folder; when missing it is copied from the resources folder, or created empty), marks every
// row unused, exports the built-in texts and the texts of `windows` (default: the registered ones)
// in one transaction, then reopens the database that was open before. Any failure rolls the whole
// export back and is reported with the exclamation icon. Returns true on success.
bool ExportAllStrings(LangDesk& engine);
bool ExportAllStrings(LangDesk& engine, const QString& path, const QList<ExportableWindow>& windows);

} // namespace nbx
