#include "store/sqlite/SqliteEngine.h"

#include "conversions/Characters.h"
#include "store/MemberStore.h"
#include "store/PendingFile.h"
#include "store/sqlite/SqliteConnection.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace sqlite;

SqliteEngine::SqliteEngine(QString path) : StoreEngine(std::move(path), StoreError::Store::File) {}

SqliteEngine::~SqliteEngine()
{
    // A clean end: the log goes back into the file, as far as other tills' reads allow without waiting for them;
    // the last connection to close empties it, and the file then stands alone.
    if (m_connection && m_connection->access() == SqliteConnection::Access::ReadWrite && !m_readOnly &&
        m_connection->identity() == SqliteFile::identityOf(m_path)) {
        m_connection->setLimit(MemberStore::kOperationLimit);
        m_connection->exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    } else if (m_connection) {
        m_connection->abandon();
    }
}

StoreError SqliteEngine::errorOf(StoreError::Kind kind, const QSqlError& error, int extendedCode) const
{
    const StoreError::Cause cause = kind == StoreError::Kind::Write && m_degraded
                                        ? *m_degraded
                                        : causeOf(kind, extendedCode, error.databaseText(), m_path);
    return failure(kind, m_path, cause, engineText(error));
}

StoreError SqliteEngine::error(StoreError::Kind kind, const QSqlError& error) const
{
    const int code = m_connection && m_connection->handle() ? sqlite3_extended_errcode(m_connection->handle())
                                                            : error.nativeErrorCode().toInt();
    return errorOf(kind, error, code);
}

StoreResult<void> SqliteEngine::prepareOperation(std::chrono::milliseconds limit)
{
    if (m_replayed &&
        (!(m_replayed->of == SqliteFile::identityOf(m_path)) || (canWrite(m_path) && folderWritable(m_path)))) {
        // The file can take its log now (or another file stands at the path): opened anew, the log goes into it.
        m_connection.reset();
        m_replayed.reset();
    }
    if (m_connection && m_degraded && m_connection->identity() == SqliteFile::identityOf(m_path)) {
        // Reading goes on through the connection that cannot write until the file can be opened properly again.
        SqliteConnection probe(m_path, SqliteConnection::Access::ReadWrite);
        probe.setLimit(limit);
        if (probe.isOpen() && probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            m_connection.reset();
    }
    if (m_connection && !m_replayed && !(m_connection->identity() == SqliteFile::identityOf(m_path))) {
        // The file was replaced, moved or deleted. Its log is named after the path and would be read into the file
        // now there: it goes back into the file this connection has open, wherever that is now, and is emptied.
        m_connection->setLimit(std::chrono::seconds(1));
        m_connection->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        m_connection->abandon();
        m_connection.reset();
    }
    if (!m_connection) {
        if (StoreResult<void> done = connect(); !done)
            return done;
    }
    m_connection->setLimit(limit);
    return {};
}

PreparedStatement& SqliteEngine::prepared(const QString& sql)
{
    return m_connection->prepared(sql);
}

std::optional<QSqlError> SqliteEngine::run(const QString& sql)
{
    // SQLite prepares transaction control too: kept like any other statement.
    Statement statement(*this, sql);
    if (!statement.run())
        return statement.error();
    return std::nullopt;
}

QString SqliteEngine::read(Field field) const
{
    // The stored bytes, so that text written in another code page is read as it was meant, not replaced.
    return QStringLiteral("CAST(%1 AS BLOB)").arg(QLatin1String(fieldName(field)));
}

QString SqliteEngine::text(const QVariant& value) const
{
    return textFromBytes(value.toByteArray());
}

StoreResult<void> SqliteEngine::buildMissingIndexes()
{
    if (StoreResult<void> done = prepareOperation(MemberStore::kWholeFileLimit); !done)
        return done;
    for (int i = 0; i < kIndexes.size(); ++i) {
        const std::optional<QStringList> present = m_connection->exec(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND name = '%1'").arg(kIndexNames[i]));
        if (present && !present->isEmpty())
            continue;
        // One index per transaction: another till waits for one index at a time, not for all of them.
        for (const QString& statement : {QStringLiteral("BEGIN IMMEDIATE"), kIndexes[i], QStringLiteral("COMMIT")}) {
            if (!m_connection->exec(statement)) {
                const StoreError failed = error(StoreError::Kind::Write, m_connection->lastError());
                m_connection->exec(QStringLiteral("ROLLBACK"));
                return failed;
            }
        }
        // The index went into the log; it goes into the file here, without waiting for anyone, rather than in the
        // commit of whichever till saves next.
        m_connection->exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    }
    return {};
}

StoreResult<std::vector<FoundRow>> SqliteEngine::rowsWithCard(const QString& card)
{
    sqlite3* handle = m_connection->handle();
    const auto failed = [&](int code) {
        return failure(StoreError::Kind::Read, m_path,
                       causeOf(StoreError::Kind::Read, sqlite3_extended_errcode(handle),
                               QString::fromUtf8(sqlite3_errmsg(handle)), m_path),
                       QString::fromUtf8(code == SQLITE_ERROR ? sqlite3_errmsg(handle) : sqlite3_errstr(code)));
    };
    const QByteArray& sql = rawSql("rowsWithCard/raw", [&] {
        QStringList names;
        for (Field f : allFields())
            names << QLatin1String(fieldName(f));
        return QStringLiteral("SELECT %1, %2 FROM ficha WHERE ntarjeta = ? ORDER BY %2")
            .arg(names.join(QLatin1String(", ")), m_rowId)
            .toUtf8();
    });
    sqlite3_stmt* statement = m_connection->raw(sql);
    if (!statement)
        return failed(sqlite3_errcode(handle));
    const QByteArray key = card.toUtf8();
    std::vector<FoundRow> rows;
    sqlite3_bind_text(statement, 1, key.constData(), int(key.size()), SQLITE_STATIC);
    int stepped;
    while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
        FoundRow& row = rows.emplace_back();
        row.key = sqlite3_column_int64(statement, int(kFieldCount));
        MemberRecord& record = row.record;
        for (Field f : allFields()) {
            const int column = int(f);
            if (sqlite3_column_type(statement, column) == SQLITE_NULL) {
                sqlite3_reset(statement);
                return StoreError{StoreError::Kind::NoValue, m_path, QLatin1String(fieldName(f)),
                                  StoreError::Cause::Other, card};
            }
            // The stored bytes, so that text written in another code page is read as it was meant.
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
            record[f] = textFromBytes(bytes, sqlite3_column_bytes(statement, column));
        }
    }
    const int reset = sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (stepped != SQLITE_DONE)
        return failed(reset);
    return rows;
}

StoreResult<void> SqliteEngine::backupTo(const QString& file)
{
    if (StoreResult<void> done = prepareOperation(MemberStore::kWholeFileLimit); !done)
        return done;
    SqliteConnection copy(file, SqliteConnection::Access::ReadWrite);
    // What went wrong with the copy, as its own connection tells it: a failure to read the copy back (an I/O error,
    // the time limit) is the copy's, and says nothing about the member file.
    const auto copyFailure = [&](StoreError::Kind doing, const QString& detail) {
        return failure(StoreError::Kind::Write, file,
                       causeOf(doing, sqlite3_extended_errcode(copy.handle()),
                               QString::fromUtf8(sqlite3_errmsg(copy.handle())), file),
                       detail);
    };
    if (!copy.isOpen())
        return failure(StoreError::Kind::Write, file,
                       causeOf(StoreError::Kind::Write, copy.openError().nativeErrorCode().toInt(),
                               copy.openError().databaseText(), file),
                       engineText(copy.openError()));
    // One step copies every page inside one read of the file: a consistent copy, while other tills go on saving.
    sqlite3_backup* backup = sqlite3_backup_init(copy.handle(), "main", m_connection->handle(), "main");
    const int stepped = backup ? sqlite3_backup_step(backup, -1) : sqlite3_errcode(copy.handle());
    const int finished = backup ? sqlite3_backup_finish(backup) : stepped;
    if (stepped != SQLITE_DONE || finished != SQLITE_OK)
        return copyFailure(StoreError::Kind::Write,
                           QString::fromUtf8(sqlite3_errstr(stepped != SQLITE_DONE ? stepped : finished)));
    // The copy stands alone, with a rollback journal, and it is checked before it counts.
    copy.setLimit(MemberStore::kWholeFileLimit);
    copy.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    const std::optional<QStringList> verdict = copy.exec(QStringLiteral("PRAGMA quick_check"));
    if (!verdict)
        return copyFailure(StoreError::Kind::Read,
                           QStringLiteral("the copy cannot be checked: ") + engineText(copy.lastError()));
    if (*verdict != QStringList{QStringLiteral("ok")})
        return failure(StoreError::Kind::Write, file, StoreError::Cause::Damaged,
                       QStringLiteral("the copy is damaged: ") + verdict->join(QLatin1String("; ")));
    return {};
}

StoreResult<bool> SqliteEngine::hasHistory()
{
    const std::optional<QStringList> found =
        m_connection->exec(QStringLiteral("SELECT name FROM sqlite_master WHERE name = 'movimientos' COLLATE NOCASE"));
    if (!found)
        return error(StoreError::Kind::Read, m_connection->lastError());
    return !found->isEmpty();
}

StoreResult<bool> SqliteEngine::hasErasures()
{
    const std::optional<QStringList> found = m_connection->exec(
        QStringLiteral("SELECT name FROM sqlite_master WHERE name = '%1' COLLATE NOCASE").arg(kErasureTable));
    if (!found)
        return error(StoreError::Kind::Read, m_connection->lastError());
    return !found->isEmpty();
}

StoreResult<void> SqliteEngine::overwriteDeleted()
{
    // Deleted rows, and the pages they leave free, are written over with zeros in the file and in its log.
    if (!m_connection->exec(QStringLiteral("PRAGMA secure_delete=ON")))
        return error(StoreError::Kind::Write, m_connection->lastError());
    return {};
}

StoreResult<bool> SqliteEngine::emptyLog()
{
    // The log still holds earlier images of the pages that held the deleted texts: it goes into the file and is cut
    // to nothing. A till reading meanwhile is waited for as a save waits for it; one that keeps reading longer
    // keeps the log as it is (the first column says so). Without a log (a network share) there is nothing to empty.
    const std::optional<QStringList> done = m_connection->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    if (!done)
        return error(StoreError::Kind::Write, m_connection->lastError());
    return done->value(0) == QLatin1String("0");
}

StoreResult<void> SqliteEngine::prepareHistory()
{
    const StoreResult<bool> present = hasHistory();
    if (!present)
        return present.error();
    if (*present)
        return {};
    for (const QString& statement :
         {QStringLiteral("CREATE TABLE %1 (%2)")
              .arg(kHistoryTable, columnDefinitions(kHistoryColumns, QStringLiteral("TEXT"))),
          QStringLiteral("CREATE INDEX %1 ON %2 (ntarjeta)").arg(kHistoryIndexName, kHistoryTable)})
        if (!m_connection->exec(statement))
            return error(StoreError::Kind::Write, m_connection->lastError());
    return {};
}

StoreResult<bool> SqliteEngine::quickCheck()
{
    if (StoreResult<void> done = prepareOperation(MemberStore::kWholeFileLimit); !done)
        return done.error();
    const std::optional<QStringList> verdict = m_connection->exec(QStringLiteral("PRAGMA quick_check"));
    if (!verdict) {
        const StoreError failed = error(StoreError::Kind::Read, m_connection->lastError());
        if (failed.cause == StoreError::Cause::Damaged)
            return false;
        return failed;
    }
    return *verdict == QStringList{QStringLiteral("ok")};
}
