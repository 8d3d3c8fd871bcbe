// SQLite's file locks made independent of every other descriptor the process opens on its files.
#pragma once

namespace nbx {

// SQLite locks its files with POSIX record locks, which belong to the process: closing any
// descriptor of a file, such as one a file dialog opens to guess the file's type, drops every lock
// the process holds on it. Another process then takes itself for the database's last user,
// checkpoints and removes the write-ahead log while this one goes on writing into it.
//
// This replaces the lock calls of SQLite's unix file layer with open-file-description locks, all
// those of one file taken through one description of our own, so that the connections of this
// process share their locks exactly as before and nothing but SQLite's own closes can end them.
// The description is let go when SQLite has closed its last descriptor of the file. Installed once
// per process, before any connection opens; false when the library or the system does not allow it
// (the locks then stay as SQLite makes them).
bool shareDatabaseLocks();

} // namespace nbx
