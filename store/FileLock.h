#pragma once

#include "store/StoreError.h"
#include "store/sqlite/SqliteFile.h"

#include <QString>

#include <chrono>

// A lock that socios takes on a file of its own, apart from SQLite's locks: on one byte far beyond any data and
// beyond the bytes that SQLite locks, through a descriptor of its own, so that SQLite neither meets it nor drops it
// when one of its connections closes the file. It tells every other socios process what the file is used for:
//  - shared: a store has the member file open (a till, a command-line mode, a check in the background);
//  - exclusive: a restore is putting a copy in place of the member file, or a writer is making the file under a
//    temporary name (PendingFile).
// The system releases it when the object goes, or when the process ends, however it ends.
//
// Within one process: a file that the process holds exclusively is its own to use, so a shared lock on it is
// granted at once, without a lock of its own, for as long as the exclusive one is held (a restore checks its copy,
// and settles the file it replaces, through stores of its own).
class FileLock
{
public:
    enum class Mode { Shared, Exclusive };
    enum class Refused {
        Busy,    // another process holds a lock that conflicts, and kept it for as long as the call waited
        Missing, // no file at the path
        NoLocks, // the file cannot be locked here (a file system without locks, a file that cannot be opened)
    };

    // Locks the file that `path` names, trying again for up to `wait` while another process holds a conflicting
    // lock. The lock is on the file that the path still names once it is taken: a file replaced meanwhile is locked
    // anew.
    static Result<FileLock, Refused> take(const QString& path, Mode mode,
                                          std::chrono::milliseconds wait = std::chrono::milliseconds(0));

    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // The file locked; it keeps the lock when it is renamed.
    const SqliteFile::Identity& identity() const { return m_identity; }

private:
    FileLock() = default;
    void release();

    qintptr m_handle = -1; // -1: a shared lock granted within the process that holds the file exclusively
    Mode m_mode = Mode::Shared;
    SqliteFile::Identity m_identity;
};
