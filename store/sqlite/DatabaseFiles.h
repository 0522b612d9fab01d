#pragma once

#include "store/PendingFile.h"
#include "store/StoreError.h"

#include <QString>

// An SQLite database file moved, copied or kept aside together with what SQLite keeps beside it: the rollback
// journal or write-ahead log that holds the changes of a save cut short, and the log's shared memory. A database
// copied without its journal loses those changes; one put in place beside another file's journal has that journal
// replayed into it.
namespace DatabaseFiles {

// Copies the database at `from` into `to` (created, or emptied), and the journal or log that an interrupted save
// left beside it to the same name beside `to`, each flushed to the disk. False, with `why`, when it cannot.
bool copyWithLeftover(const QString& from, const QString& to, QString& why);

// Gives the database at `path`, and each journal or log beside it, a second name: `aside`, and the same names
// beside it. Never over a file there: NameTaken when one of those names is taken, and nothing is kept. Each is the
// same file where the file system allows it, otherwise a flushed copy; the database stays where it is. Failed, with
// `why`, leaves nothing under the second name.
enum class Kept { Done, NameTaken, Failed };
Kept keepAside(const QString& path, const QString& aside, QString& why);

// Removes a database kept aside with keepAside(), and its journals.
void removeKept(const QString& aside);

// Puts `incoming` in place of the database at its target in one step, after removing every file that SQLite keeps
// beside the target: a journal or log left there would be replayed into the file put in place. The database at the
// target was kept aside first, at `aside`. When the move fails the target stays, its journals come back beside it
// from `aside`, and once all are back what was kept at `aside` goes; the failure is returned.
StoreResult<void> replaceKeptAside(PendingFile& incoming, const QString& aside);

} // namespace DatabaseFiles
