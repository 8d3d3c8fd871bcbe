// Translation of a window's designed texts (TranslateForm) and the window side of the string
// export (ExportFormStrings).
//
// A window's "controls" are its descendants, depth first in creation order, that are widgets or
// actions with an object name not starting with "qt_" (Qt's own internals are never visited).
// Ordinary controls carry the properties named in the engine's sProperties ("Caption",
// "ToolTipText", also "Text", "Font", "Font.Name"); a control whose dynamic property "tag" begins
// with the engine's sTagExclude keeps its texts. Tab widgets and every control implementing
// TranslatableTexts (grid and chart wrappers) are translated whatever their tag.
//
// The text a control was designed with is the lookup key. When a text is translated, its key is
// remembered, so translating again or exporting a translated window still uses the Spanish key.
#pragma once

#include "common/ui/TranslatableTexts.h"

#include <QString>
#include <QStringList>

class QObject;
class QWidget;

namespace nbx {

class LangDesk;

// Translates the window and its controls when the width test is on or a language database is
// open read-only; otherwise changes nothing. Escapes are never expanded here.
void TranslateForm(QWidget* window);
void TranslateForm(QWidget* window, LangDesk& engine);
// Translates the listed properties of one ordinary object (tag exclusion applies).
void TranslateObject(QObject* object, LangDesk& engine);

// Export of the Spanish keys of the window and its controls through engine.ExportOneString.
// Menu separators and empty texts are skipped. Database errors throw LangDeskError.
void ExportFormStrings(QWidget* window, LangDesk& engine);
void ExportObjectStrings(QObject* object, LangDesk& engine);

// The Spanish key of a property ("Caption", "ToolTipText", "Text", "Font", "Font.Name", any case)
// of an object; empty when the object has no such property.
QString GetPropertyValue(const QObject* object, const QString& name);
// Writes a text into the property (CR line breaks shown as line breaks) and remembers `key` as the
// text's Spanish key. Returns false when the object has no such property.
bool SetPropertyValue(QObject* object, const QString& name, const QString& text, const QString& key);
// Sets a designed text whose key differs from what a widget can show (CR line breaks).
inline bool setDesignedText(QObject* object, const QString& name, const QString& key)
{
    return SetPropertyValue(object, name, key, key);
}

// An accessible name made of designed Spanish parts joined by blanks. TranslateForm rebuilds it
// from the parts' translations (so a screen reader speaks the window's language) and the export
// exports the parts.
void setAccessibleParts(QWidget* widget, const QStringList& nativeParts);

// The designed controls of a window, in visiting order (the window itself not included).
QList<QObject*> designedControls(QWidget* window);

} // namespace nbx
