// Message and caption lookup by numeric id in the current language.
#pragma once

#include <QString>
#include <initializer_list>

namespace nbx {

// The built-in Spanish text of a string id, or prefix + id for an id without a text.
QString GetNativeString(long id, const QString& prefix);

// First and last id of the built-in string table (id 110 has no text).
constexpr long kFirstStringId = 1;
constexpr long kLastStringId = 192;

// True when the id has a built-in text.
bool HasNativeString(long id);

// The text of a string id in the current language (Spanish when untranslated), with each "%s"
// replaced in turn by the next argument.
QString GetS(long id, std::initializer_list<QString> args = {});

// The same for a Spanish text of the program outside the built-in table (a row of the language
// database translates it).
QString GetS(const QString& native, std::initializer_list<QString> args = {});

// The message shown when a settings file cannot be written.
QString settingsWriteFailedText(const QString& file);

} // namespace nbx
