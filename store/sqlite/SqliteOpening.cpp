#include "store/sqlite/SqliteEngine.h"

#include "store/MemberStore.h"
#include "store/PendingFile.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteSchema.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>

// Opening the member file: a file left half made or with a journal beside it is recovered, or refused, before the
// kept connection opens.

using namespace sqlite;

StoreResult<void> SqliteEngine::connect()
{
    if (m_connection)
        m_connection->abandon();
    m_connection.reset();
    m_replayed.reset();
    m_readOnly = false;
    m_degraded.reset();
    forgetStatements();
    m_useLock.reset();

    // A restore holds the file exclusively from its start to its end: a store waits for it as for any other lock.
    Result<FileLock, FileLock::Refused> useLock = FileLock::take(m_path, FileLock::Mode::Shared, kLockWait);
    if (!useLock && useLock.error() == FileLock::Refused::Busy)
        return failure(StoreError::Kind::Open, m_path, StoreError::Cause::Restoring,
                       QStringLiteral("a copy is being restored in place of the file"));
    if (!useLock && useLock.error() == FileLock::Refused::Missing)
        return failure(StoreError::Kind::Open, m_path, StoreError::Cause::CannotOpen,
                       QStringLiteral("unable to open database file: there is no file at the path"));
    // Without locks (a file system that has none) the store goes on as it did before locks.
    const SqliteFile::Identity identity = useLock ? useLock->identity() : SqliteFile::identityOf(m_path);
    if (!identity.exists)
        return failure(StoreError::Kind::Open, m_path, StoreError::Cause::CannotOpen,
                       QStringLiteral("unable to open database file: there is no file at the path"));
    if (!SqliteFile::hasDatabaseHeader(m_path))
        return failure(StoreError::Kind::Open, m_path, StoreError::Cause::NotMemberFile,
                       QStringLiteral("file is not a database"));

    const std::optional<SqliteFile::Leftover> leftover = SqliteFile::leftoverBeside(m_path);
    if (leftover && !openFiles().contains(m_path) && !SqliteFile::inUseByAnotherProcess(*leftover, m_path)) {
        // Replayed into a private copy first: only a journal that leaves that copy intact may touch the file.
        if (leftover->kind == SqliteFile::Leftover::Kind::RollbackJournal &&
            SqliteFile::journalMatches(leftover->path, m_path) == false)
            return failure(StoreError::Kind::Open, m_path, StoreError::Cause::Leftover,
                           QStringLiteral("the journal %1 was written for another file").arg(leftover->path));
        auto folder = std::make_unique<QTemporaryDir>();
        const QString copy = folder->filePath(QStringLiteral("copia.mdb"));
        const QString copiedLog = copy + leftover->path.mid(m_path.size());
        if (!folder->isValid() || !QFile::copy(m_path, copy) || !QFile::copy(leftover->path, copiedLog))
            return failure(
                StoreError::Kind::Open, m_path, StoreError::Cause::Other,
                QStringLiteral("cannot copy the file to check the journal %1 beside it").arg(leftover->path));
        auto check = std::make_unique<SqliteConnection>(copy, SqliteConnection::Access::ReadWrite);
        StoreResult<QString> rowId = examineConnection(*check, m_path, m_shape);
        if (!rowId)
            return rowId.error();
        check->setLimit(MemberStore::kWholeFileLimit);
        const std::optional<QStringList> verdict = check->exec(QStringLiteral("PRAGMA quick_check"));
        if (!verdict || *verdict != QStringList{QStringLiteral("ok")})
            return failure(StoreError::Kind::Open, m_path, StoreError::Cause::Leftover,
                           QStringLiteral("replaying the journal %1 would damage the file: %2")
                               .arg(leftover->path,
                                    verdict ? verdict->join(QLatin1String("; ")) : engineText(check->lastError())));
        m_rowId = *rowId;
        if (!canWrite(m_path) || !folderWritable(m_path)) {
            // A journal holds a save cut short, which only the file itself can undo.
            if (leftover->kind == SqliteFile::Leftover::Kind::RollbackJournal)
                return failure(StoreError::Kind::Open, m_path, StoreError::Cause::NeedsRepair,
                               QStringLiteral("attempt to write a readonly database: the save interrupted in %1 "
                                              "must be undone")
                                   .arg(leftover->path));
            // A log holds complete saves (a save it cut short is dropped): they stay beside the file, and lookups
            // read them from the copy, which the connection takes for a file of its own that never changes. A log
            // whose saves are all in the file already leaves the copy as the file is.
            const std::optional<QStringList> replayed = check->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            const bool holdsChanges = !sameBytes(copy, m_path);
            const std::optional<QStringList> alone = check->exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
            if (!replayed || !alone)
                return failure(StoreError::Kind::Open, m_path, StoreError::Cause::Other,
                               QStringLiteral("cannot replay the log %1 into a copy: %2")
                                   .arg(leftover->path, engineText(check->lastError())));
            check.reset();
            auto connection = std::make_unique<SqliteConnection>(copy, SqliteConnection::Access::Immutable);
            if (!connection->isOpen())
                return errorOf(StoreError::Kind::Open, connection->openError(),
                               connection->openError().nativeErrorCode().toInt());
            if (!(SqliteFile::identityOf(m_path) == identity))
                return connect(); // replaced while it was copied: examine the new one
            m_connection = std::move(connection);
            m_replayed = Replayed{std::move(folder), identity, holdsChanges};
            m_readOnly = true;
            return {};
        }
    } else {
        // Examined without a write: read-only, and, where no till has the log open, without its shared memory,
        // which reading would otherwise create. Every writer holds the log open, so none can write meanwhile.
        const bool immutable =
            SqliteFile::usesWriteAheadLog(m_path) && !openFiles().contains(m_path) && !SqliteFile::logInUse(m_path);
        SqliteConnection examination(m_path, immutable ? SqliteConnection::Access::Immutable
                                                       : SqliteConnection::Access::ReadOnly);
        StoreResult<QString> rowId = examineConnection(examination, m_path, m_shape);
        if (!rowId)
            return rowId.error();
        m_rowId = *rowId;
    }

    auto connection = std::make_unique<SqliteConnection>(m_path, SqliteConnection::Access::ReadWrite);
    if (!connection->isOpen())
        return errorOf(StoreError::Kind::Open, connection->openError(),
                       connection->openError().nativeErrorCode().toInt());
    connection->setLimit(MemberStore::kOperationLimit);
    if (!connection->exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        const int code = sqlite3_extended_errcode(connection->handle());
        // A file with a write-ahead log whose shared memory cannot be made beside it: a folder that cannot be
        // written, or a full disk. With no log left, the file alone holds every member and can be read as it is.
        std::optional<StoreError::Cause> cause;
        if (SqliteFile::usesWriteAheadLog(m_path) && !SqliteFile::leftoverBeside(m_path)) {
            if (!folderWritable(m_path))
                cause = StoreError::Cause::ReadOnly;
            else if (QStorageInfo(QFileInfo(m_path).absolutePath()).bytesAvailable() < 1024 * 1024)
                cause = StoreError::Cause::DiskFull;
        }
        if (!cause)
            return errorOf(StoreError::Kind::Open, connection->lastError(), code);
        connection = std::make_unique<SqliteConnection>(m_path, SqliteConnection::Access::Immutable);
        if (!connection->isOpen())
            return errorOf(StoreError::Kind::Open, connection->openError(),
                           connection->openError().nativeErrorCode().toInt());
        m_readOnly = true;
        m_degraded = cause;
    }
    if (!(connection->identity() == identity))
        return connect(); // replaced while it was examined: examine the new one
    m_readOnly = m_readOnly || sqlite3_db_readonly(connection->handle(), "main") == 1 || !folderWritable(m_path);

    if (!m_readOnly) {
        const QString mode = SqliteFile::journalModeFor(m_path) == SqliteFile::JournalMode::WriteAheadLog
                                 ? QStringLiteral("wal")
                                 : QStringLiteral("delete");
        const std::optional<QStringList> set = connection->exec(QStringLiteral("PRAGMA journal_mode=") + mode);
        if (!set || set->value(0) != mode)
            qWarning("socios: %s keeps journal mode %s instead of %s: %s", qUtf8Printable(m_path),
                     qUtf8Printable(set ? set->value(0) : QString()), qUtf8Printable(mode),
                     qUtf8Printable(engineText(connection->lastError())));
    }
    if (!connection->exec(QStringLiteral("PRAGMA synchronous=FULL")))
        return errorOf(StoreError::Kind::Open, connection->lastError(), sqlite3_extended_errcode(connection->handle()));
    m_connection = std::move(connection);
    if (useLock)
        m_useLock = std::move(useLock).value();
    return {};
}

StoreResult<void> SqliteEngine::openOrCreate(MemberStore::Startup& startup, MemberStore::Indexes indexes,
                                             MemberStore::Shape shape)
{
    startup = {};
    m_shape = shape;
    PendingFile::removeLeftovers(QFileInfo(m_path).absolutePath());
    const QFileInfo file(m_path);
    if (file.exists() && file.size() == 0 && PendingFile::madeHere(m_path)) {
        // A file that this process is making (a PendingFile): a new member database, made in place.
        if (StoreResult<void> done = initialiseDatabase(m_path); !done)
            return done;
    } else if (!file.exists() && !file.isSymLink()) {
        // A journal without its file: creating a new file would have the journal replayed into it.
        if (const std::optional<SqliteFile::Leftover> leftover = SqliteFile::leftoverBeside(m_path))
            return failure(StoreError::Kind::Open, m_path, StoreError::Cause::Leftover,
                           QStringLiteral("the journal %1 remains, but its file is missing").arg(leftover->path));
        const StoreResult<bool> created = createDatabase(m_path);
        if (!created)
            return created.error();
        startup.created = *created;
    }
    if (StoreResult<void> done = connect(); !done)
        return done;
    if (m_readOnly)
        startup.writesRefused = m_degraded.value_or(StoreError::Cause::ReadOnly);
    startup.logBesideFile = m_replayed && m_replayed->holdsChanges;

    const std::optional<QStringList> present =
        m_connection->exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND name IN ('%1')")
                               .arg(kIndexNames.join(QLatin1String("', '"))));
    startup.indexesMissing = !present || present->size() < kIndexNames.size();
    if (startup.indexesMissing && indexes == MemberStore::Indexes::Build && !m_readOnly) {
        if (StoreResult<void> done = buildMissingIndexes(); !done)
            qWarning("socios: lookups in %s stay unindexed: %s", qUtf8Printable(m_path),
                     qUtf8Printable(done.error().toString()));
        else
            startup.indexesMissing = false;
    }
    return {};
}
