#pragma once

#include "store/FileLock.h"
#include "store/StoreEngine.h"
#include "store/sqlite/SqliteFile.h"

#include <memory>

class QTemporaryDir;
class SqliteConnection;

// The member file as an SQLite database on a local disk (or a network share).
//
// One connection is kept for the life of the store: durable commits with one flush each (a write-ahead log with
// synchronous=FULL; the rollback journal on a network share, where the log's shared memory cannot be trusted), and
// readers that never block a save. Before each operation the path is looked up again: a file replaced, moved or
// deleted meanwhile closes the connection, and the file now at the path is examined like a new one.
//
// A file that may be foreign is examined before anything can write to it: read-only, without replaying a
// journal and without a checkpoint. A journal or log that an interrupted save left beside the file is first
// replayed into a private copy; it is replayed into the file itself only when that copy comes out intact, so that a
// journal left beside a file that was replaced never damages the file now there. A log of complete saves beside a
// file that cannot take it (the file or its folder read-only) stays where it is: lookups read the private copy, and
// writes are refused, until the file and its folder can be written again.
class SqliteEngine final : public StoreEngine
{
public:
    explicit SqliteEngine(QString path);
    ~SqliteEngine() override;

    StoreResult<void> openOrCreate(StoreStartup& startup, StoreIndexes indexes, StoreShape shape) override;
    StoreResult<void> prepareOperation(std::chrono::milliseconds limit) override;
    PreparedStatement& prepared(const QString& sql) override;
    QString placeholder(int) const override { return QStringLiteral("?"); }
    std::optional<QSqlError> run(const QString& sql) override;

    QString rowId() const override { return m_rowId; }
    QString read(Field field) const override;
    QString text(const QVariant& value) const override;

    QString beginWrite() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
    StoreResult<void> lockCard(const QString&) override { return {}; } // BEGIN IMMEDIATE took the whole file
    StoreResult<void> lockTable() override { return {}; }
    QString lockRow() const override { return {}; }

    StoreResult<std::vector<FoundRow>> rowsWithCard(const QString& card) override;
    StoreResult<void> prepareHistory() override;
    StoreResult<bool> hasHistory() override;
    StoreResult<bool> hasErasures() override;
    StoreResult<void> overwriteDeleted() override;
    StoreResult<bool> emptyLog() override;

    StoreError error(StoreError::Kind kind, const QSqlError& error) const override;

    StoreResult<void> backupTo(const QString& file) override;
    StoreResult<void> buildMissingIndexes() override;
    StoreResult<bool> quickCheck() override;

private:
    // Opens the kept connection on the file now at the path, after examining it.
    StoreResult<void> connect();
    StoreError errorOf(StoreError::Kind kind, const QSqlError& error, int extendedCode) const;

    // The private copy into which the log of a file that cannot take it was replayed; m_connection reads it.
    struct Replayed
    {
        std::unique_ptr<QTemporaryDir> folder;
        SqliteFile::Identity of; // the member file whose log it holds
        bool holdsChanges;       // saves that are not in the file yet
    };
    std::optional<Replayed> m_replayed; // declared before the connection, which goes first
    // Held with the connection, so that no restore replaces the file while this store has it open; released after
    // the connection closes.
    std::optional<FileLock> m_useLock;
    std::unique_ptr<SqliteConnection> m_connection;
    QString m_rowId = QStringLiteral("rowid");
    bool m_readOnly = false;
    StoreShape m_shape = StoreShape::Usable;
    // Why the file is read through a connection that cannot write, when it could be read no other way: the log's
    // shared memory cannot be made beside it (a read-only folder, a full disk). Retried at every operation.
    std::optional<StoreError::Cause> m_degraded;
};
