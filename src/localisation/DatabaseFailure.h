// A database failure told to the user: what could not be done, why in words, and the library's own
// text on a last line for whoever supports the user.
#pragma once

#include <QString>

namespace nbx {

// What could not be done.
enum class DatabaseTask {
    Open,          // open the main database (subject: its path)
    Save,          // save changes into the main database
    Import,        // import an exchange file (subject: its path)
    Merge,         // add the rows of another database (subject: its path)
    MergeBackup,   // add the pending backup, which stays for the next start (subject: its path)
    Read,          // read from the main database
    Download,      // keep a download before any record was acknowledged (the device holds them all)
    DownloadRecords, // keep records acknowledged to the device (subject: the start the next
                     // download proposes to receive them again, "dd/mm/yy hh:mm")
    WriteFile,     // write a file (subject: its path)
};

// Why, from SQLite's result code (primary or extended).
enum class DatabaseFault { Busy, Full, ReadOnly, NotADatabase, Damaged, Unusable, Disk, NoMemory, Other };
DatabaseFault databaseFault(int code);
// A file's failure told the same way: the system's error number as the SQLite code of the same
// fault (a full disk, a read-only file system, no permission, no such folder), 0 for one without
// words.
int systemErrorCode(int systemError);

// The reason lines alone: why in words (none for a fault without words), then the library's text.
QString databaseFailureReason(DatabaseTask task, int code, const QString& libraryText);
// The whole text: what, why, the library's text, one per line (CR-separated). For a file the
// program writes (Open, WriteFile), a failure in a folder that cannot be written is told as that
// folder being read-only, and one on a disk with no space left as the disk being full; a file
// written (WriteFile) in a folder that is not there, as that folder missing.
QString databaseFailureText(DatabaseTask task, const QString& subject, int code, const QString& libraryText);

// Shows the failure with the critical icon. While a QuietRepeats lives, a fault of the main database
// already shown is not shown again: an automatic step (start-up's, the close-time save) stopped by
// the same fault says nothing more. Every fault shown is remembered.
void reportDatabaseFailure(DatabaseTask task, const QString& subject, int code, const QString& libraryText);

// A failure handed on as a text alone: the library's text of a failure (noted with its code, see
// common/Database.h) is shown as a failure of `task` as above; the program's own sentence (a
// device that does not exist, a value that does not convert) as it is.
void reportFailureText(DatabaseTask task, const QString& text);
QString failureText(DatabaseTask task, const QString& text);

class QuietRepeats {
public:
    QuietRepeats();
    ~QuietRepeats();
    QuietRepeats(const QuietRepeats&) = delete;
    QuietRepeats& operator=(const QuietRepeats&) = delete;
};

// Forgets the faults shown (a new database was opened).
void forgetDatabaseFaults();

} // namespace nbx
