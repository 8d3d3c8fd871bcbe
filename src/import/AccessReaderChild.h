// The Access-reading child and the program that starts it: the child dies with the program however
// the program ends, and its temporary database files carry the program's process id, so that a later
// start removes those of a program that no longer runs and never those of one that does.
#pragma once

#include <QString>

class QProcess;

namespace nbx {

// Holds the starting program's process id in the child's environment.
inline constexpr char kAccessReaderParentVariable[] = "NBX70_ACCESS_PARENT";

// The template (for QTemporaryFile) of a child's database file in the temporary folder.
QString accessTempFileTemplate();

// Gives `child`, not yet started, this process's id in its environment.
void tieAccessReaderToThisProcess(QProcess& child);

// First thing in the child: it is killed when its parent ends, and ends at once when the parent
// named in its environment has ended already.
void endWithParentProcess();

// Removes the children's database files in the temporary folder whose program no longer runs.
// Gives how many were removed.
int removeLeftoverAccessFiles();

} // namespace nbx
