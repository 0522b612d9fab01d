#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Facts about an SQLite database file and the files beside it, read from the file system without opening the
// database, so that nothing is written or replayed while a file that may be foreign is examined.
namespace SqliteFile {

// Whether the file starts with the 16 bytes that every SQLite 3 database starts with.
bool hasDatabaseHeader(const QString& path);

// Whether the database's header says it uses a write-ahead log.
bool usesWriteAheadLog(const QString& path);

// Which file a path names at this moment: equal identities are the same file, not a copy put in its place.
struct Identity
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const Identity&) const = default;
};
Identity identityOf(const QString& path);

// How commits are made durable. A write-ahead log needs shared memory and locks that a network share cannot be
// trusted with, so files on a share keep the rollback journal.
enum class JournalMode { WriteAheadLog, RollbackJournal };
// The type of a Linux file system (statfs f_type) is one of a network share.
bool isNetworkFileSystemType(quint64 type);
JournalMode journalModeFor(const QString& path);

// A rollback journal or write-ahead log beside the database that still holds changes: what a writer that stopped
// in the middle (a crash, a kill, a power cut) leaves behind. The next connection replays it into whatever file
// then stands at the path.
struct Leftover
{
    enum class Kind { RollbackJournal, WriteAheadLog };
    Kind kind;
    QString path;
};
std::optional<Leftover> leftoverBeside(const QString& databasePath);

// Whether another process has the database open with the leftover in use (a till at work), so that it is not a
// leftover at all. Always false where the locks cannot be read without taking them.
bool inUseByAnotherProcess(const Leftover& leftover, const QString& databasePath);

// Whether another process has the database open in WAL mode. Where the locks cannot be read without taking them,
// whether the log's shared memory exists.
bool logInUse(const QString& databasePath);

// For a rollback journal: whether it was written for this database. A journal interrupted in its commit holds page 1
// as it was before; the database's page 1 must then carry that change counter, or the next one (a file put in its
// place carries another). No value when the journal holds no page 1 (a commit interrupted before its last phase),
// and true when it holds nothing to replay.
std::optional<bool> journalMatches(const QString& journalPath, const QString& databasePath);

// SQLite's column affinity for a declared column type.
enum class Affinity { Text, Numeric, Integer, Real, Blob };
Affinity affinityOf(const QString& declaredType);

} // namespace SqliteFile
