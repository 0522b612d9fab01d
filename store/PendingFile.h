#pragma once

#include "store/FileLock.h"
#include "store/StoreError.h"

#include <QString>

#include <optional>

// A file made under a temporary name beside the file it becomes ("dorvel.mdb.new-" and 32 hex digits), so that no
// one finds that file half made: a new member file, an import, a copy, a restore. Its writer holds an exclusive
// FileLock on it from the moment it exists until the object goes, so what a writer that was killed left behind
// (its lock released by the system) is told apart from a file that a live writer is still making. Every writer
// first removes the leftovers of its folder, and so does every start (removeLeftovers()); a file being made is never
// removed.
class PendingFile
{
public:
    // Creates the empty file, locked, in the folder of `target`, which must exist, after removing the leftovers
    // there.
    static Result<PendingFile, StoreError> create(const QString& target);

    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&&) = delete;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    // Removes the file, and what SQLite made beside it, unless it was put in place.
    ~PendingFile();

    const QString& path() const { return m_path; }
    const QString& target() const { return m_target; }

    // Flushes the file to the disk and gives it the target's name, never over a file there: false, and the file
    // stays pending, when a file stands at the target. The lock goes with the file until this object goes.
    StoreResult<bool> putInPlace();
    // The same, over the file at the target in one step: the target names the old file or this one at every moment.
    StoreResult<void> replaceTarget();

    // Whether this process is making the file at `path` (a PendingFile that it has not put in place).
    static bool madeHere(const QString& path);

    // Removes from `folder` every pending file whose writer is gone, with what SQLite made beside it. Returns what
    // it removed.
    static QStringList removeLeftovers(const QString& folder);

    // Flushes a file's contents, or a folder's names (a rename in it), to the disk.
    static bool flushFile(const QString& path);
    static void flushFolder(const QString& folder);
    // Copies the bytes of `from` into `to` (created, or emptied), and flushes them to the disk. False, with `why`,
    // when it cannot.
    static bool copyFile(const QString& from, const QString& to, QString& why);

private:
    PendingFile(QString target, QString path, std::optional<FileLock> lock);
    StoreError failure(const QString& detail) const;

    QString m_target;
    QString m_path;
    std::optional<FileLock> m_lock; // none on a file system without locks
    bool m_placed = false;
};
