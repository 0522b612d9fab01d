#include "store/sqlite/DatabaseFiles.h"

#include "store/Schema.h"
#include "store/sqlite/SqliteFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// What SQLite may leave beside a database that holds changes: a rollback journal, or a write-ahead log.
const QStringList& kJournals = kChangeSuffixes;

using DatabaseFiles::Kept;

// Gives the file at `path` a second name, `aside`, never over a file there: the same file where the file system
// allows it, otherwise a flushed copy.
Kept keepUnder(const QString& path, const QString& aside, QString& why)
{
#ifdef Q_OS_UNIX
    if (::link(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) == 0)
        return Kept::Done;
    if (errno == EEXIST)
        return Kept::NameTaken;
#elif defined(Q_OS_WIN)
    if (CreateHardLinkW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(aside).utf16()),
                        reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()), nullptr))
        return Kept::Done;
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return Kept::NameTaken;
#endif
    // No second names here (a FAT disk, some shares): a copy, made under a temporary name.
    Result<PendingFile, StoreError> pending = PendingFile::create(aside);
    if (!pending) {
        why = pending.error().toString();
        return Kept::Failed;
    }
    if (!PendingFile::copyFile(path, pending->path(), why))
        return Kept::Failed;
    const StoreResult<bool> placed = pending.value().putInPlace();
    if (!placed) {
        why = placed.error().toString();
        return Kept::Failed;
    }
    return *placed ? Kept::Done : Kept::NameTaken;
}

} // namespace

namespace DatabaseFiles {

bool copyWithLeftover(const QString& from, const QString& to, QString& why)
{
    if (!PendingFile::copyFile(from, to, why))
        return false;
    if (const std::optional<SqliteFile::Leftover> leftover = SqliteFile::leftoverBeside(from))
        if (!PendingFile::copyFile(leftover->path, to + leftover->path.mid(from.size()), why))
            return false;
    return true;
}

Kept keepAside(const QString& path, const QString& aside, QString& why)
{
    const bool taken = std::any_of(kJournals.begin(), kJournals.end(),
                                   [&](const QString& beside) { return QFileInfo::exists(aside + beside); });
    if (taken)
        return Kept::NameTaken;
    const Kept kept = keepUnder(path, aside, why);
    if (kept != Kept::Done)
        return kept;
    for (const QString& beside : kJournals)
        if (QFileInfo::exists(path + beside) && keepUnder(path + beside, aside + beside, why) != Kept::Done) {
            removeKept(aside);
            return Kept::Failed;
        }
    return Kept::Done;
}

void removeKept(const QString& aside)
{
    for (const QString& beside : kJournals)
        QFile::remove(aside + beside);
    QFile::remove(aside);
}

StoreResult<void> replaceKeptAside(PendingFile& incoming, const QString& aside)
{
    const QString& target = incoming.target();
    for (const QString& beside : kSideFileSuffixes)
        QFile::remove(target + beside);
    const StoreResult<void> moved = incoming.replaceTarget();
    if (!moved) {
        // The file stays; what was beside it comes back from where it was kept.
        bool back = true;
        QString why;
        for (const QString& beside : kJournals)
            if (QFileInfo::exists(aside + beside))
                back = keepUnder(aside + beside, target + beside, why) == Kept::Done && back;
        if (back)
            removeKept(aside);
    }
    return moved;
}

} // namespace DatabaseFiles
