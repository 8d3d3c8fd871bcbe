#include "common/IniFile.h"

#include "common/Cp1252.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <unistd.h>

namespace nbx {

namespace {

QString trimBlanks(const QString& s)
{
    int b = 0;
    int e = s.size();
    while (b < e && (s[b] == QLatin1Char(' ') || s[b] == QLatin1Char('\t')))
        ++b;
    while (e > b && (s[e - 1] == QLatin1Char(' ') || s[e - 1] == QLatin1Char('\t')))
        --e;
    return s.mid(b, e - b);
}

bool isSectionHeader(const QString& line, QString* name)
{
    const QString t = trimBlanks(line);
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const int close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    if (name)
        *name = trimBlanks(t.mid(1, close - 1));
    return true;
}

// write() may only fill a cache and a full disk may only show at the flush or the sync, so each
// step is checked before the temporary file may replace the old one.
bool writeAndSync(QFileDevice& f, const QByteArray& bytes)
{
    if (f.write(bytes) != bytes.size() || !f.flush())
        return false;
    return ::fsync(f.handle()) == 0 || errno == EINVAL || errno == ENOTSUP;
}

} // namespace

IniFile::IniFile(const QString& path)
    : path_(path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QString text = decodeUtf8OrCp1252(f.readAll());
    if (text.contains(QLatin1String("\r\n")))
        eol_ = QStringLiteral("\r\n");
    QString normal = text;
    normal.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lines_ = normal.split(QLatin1Char('\n'));
    if (!lines_.isEmpty() && lines_.last().isEmpty())
        lines_.removeLast(); // the final line end
}

bool IniFile::splitKeyLine(const QString& line, QString* key, QString* value)
{
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *key = trimBlanks(line.left(eq));
    QString v = trimBlanks(line.mid(eq + 1));
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\''))
        && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    *value = v;
    return true;
}

int IniFile::findSection(const QString& section, int* end) const
{
    for (int i = 0; i < lines_.size(); ++i) {
        QString name;
        if (isSectionHeader(lines_[i], &name) && name.compare(section, Qt::CaseInsensitive) == 0) {
            int j = i + 1;
            while (j < lines_.size() && !isSectionHeader(lines_[j], nullptr))
                ++j;
            *end = j;
            return i;
        }
    }
    *end = -1;
    return -1;
}

QString IniFile::read(const QString& section, const QString& key, const QString& defaultValue) const
{
    int end = 0;
    const int start = findSection(section, &end);
    if (start < 0)
        return defaultValue;
    for (int i = start + 1; i < end; ++i) {
        QString k, v;
        if (splitKeyLine(lines_[i], &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    }
    return defaultValue;
}

bool IniFile::contains(const QString& section, const QString& key) const
{
    int end = 0;
    const int start = findSection(section, &end);
    for (int i = start + 1; start >= 0 && i < end; ++i) {
        QString k, v;
        if (splitKeyLine(lines_[i], &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QList<QPair<QString, QString>> IniFile::entries(const QString& section) const
{
    QList<QPair<QString, QString>> out;
    int end = 0;
    const int start = findSection(section, &end);
    for (int i = start + 1; start >= 0 && i < end; ++i) {
        QString k, v;
        if (splitKeyLine(lines_[i], &k, &v))
            out.append({k, v});
    }
    return out;
}

void IniFile::set(const QString& section, const QString& key, const QString& value)
{
    QString clean = value;
    clean.replace(QLatin1Char('\r'), QLatin1Char(' '));
    clean.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString line = key + QLatin1Char('=') + clean;

    int end = 0;
    const int start = findSection(section, &end);
    if (start < 0) {
        lines_.append(QLatin1Char('[') + section + QLatin1Char(']'));
        lines_.append(line);
        return;
    }
    int lastContent = start;
    for (int i = start + 1; i < end; ++i) {
        QString k, v;
        if (splitKeyLine(lines_[i], &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            lines_[i] = line;
            return;
        }
        if (!trimBlanks(lines_[i]).isEmpty())
            lastContent = i;
    }
    lines_.insert(lastContent + 1, line);
}

bool IniFile::save() const
{
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QString text;
    for (const QString& l : lines_)
        text += l + eol_;
    if (!writeAndSync(f, text.toUtf8())) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

QString LeerIni(const QString& section, const QString& key, const QString& defaultValue,
                const QString& file)
{
    return IniFile(file).read(section, key, defaultValue).left(254);
}

bool EscribirIni(const QString& section, const QString& key, const QString& value,
                 const QString& file)
{
    IniFile ini(file);
    ini.set(section, key, value);
    return ini.save();
}

} // namespace nbx
