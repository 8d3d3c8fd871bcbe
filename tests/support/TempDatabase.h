// A temporary application home (NBX70_HOME) with a fresh main database open.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace nbx::test {

class TempHome {
public:
    TempHome();
    ~TempHome();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
    bool hadPrevious_ = false;
};

class TempDatabase : public TempHome {
public:
    TempDatabase();  // opens nbx70.db in the temporary home as the main connection
    ~TempDatabase();
};

} // namespace nbx::test
