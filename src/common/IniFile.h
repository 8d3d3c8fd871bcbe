// Profile (INI) files with the semantics of the Windows private-profile routines: names match
// case-insensitively, the first match wins, other lines are kept untouched on write.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace nbx {

class IniFile {
public:
    // Loads the file (UTF-8 when valid, else Windows-1252). A missing file reads as empty.
    explicit IniFile(const QString& path);

    QString read(const QString& section, const QString& key, const QString& defaultValue) const;
    bool contains(const QString& section, const QString& key) const;
    // The key lines of a section in file order, as read() sees them (names and values trimmed).
    QList<QPair<QString, QString>> entries(const QString& section) const;

    // Sets the key's value in memory: replaces the first matching key line in place, appends a new
    // key after the last line of its section, or a new section at the end.
    void set(const QString& section, const QString& key, const QString& value);

    // Writes the file as UTF-8 through a temporary file that replaces it only once every byte is
    // on the disk. Returns false, the old file untouched, when it cannot be written whole.
    bool save() const;

    QString path() const { return path_; }

private:
    // Index of the section header line, or -1; and the end (exclusive) of the section's lines.
    int findSection(const QString& section, int* end) const;
    static bool splitKeyLine(const QString& line, QString* key, QString* value);

    QString path_;
    QStringList lines_;
    QString eol_ = QStringLiteral("\n");
};

// Reads a value as the historical reader did: at most 254 characters.
QString LeerIni(const QString& section, const QString& key, const QString& defaultValue,
                const QString& file);

// Writes one value; returns false when the file could not be written.
bool EscribirIni(const QString& section, const QString& key, const QString& value,
                 const QString& file);

} // namespace nbx
