#include "store/sqlite/SqliteConnection.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QThread>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace sqlite {

OpenFiles& openFiles()
{
    static OpenFiles files;
    return files;
}

bool canWrite(const QString& path)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
#else
    return QFileInfo(path).isWritable();
#endif
}

bool folderWritable(const QString& path)
{
    return canWrite(QFileInfo(path).absolutePath());
}

bool sameBytes(const QString& first, const QString& second)
{
    QFile a(first), b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
        return false;
    constexpr qint64 kChunk = 1 << 20;
    while (!a.atEnd())
        if (a.read(kChunk) != b.read(kChunk))
            return false;
    return true;
}

StoreError failure(StoreError::Kind kind, const QString& path, StoreError::Cause cause, const QString& detail)
{
    return StoreError{kind, path, detail, cause, {}};
}

// The engine's primary and extended result codes say what is wrong with the file.
StoreError::Cause causeOf(StoreError::Kind kind, int extended, const QString& text, const QString& path)
{
    using Cause = StoreError::Cause;
    switch (extended & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Cause::Locked;
    case SQLITE_READONLY:
        if (extended == SQLITE_READONLY_ROLLBACK || extended == SQLITE_READONLY_RECOVERY)
            return Cause::NeedsRepair;
        return Cause::ReadOnly;
    case SQLITE_FULL:
        return Cause::DiskFull;
    case SQLITE_NOTADB:
        return Cause::NotMemberFile;
    case SQLITE_CORRUPT:
        return Cause::Damaged;
    case SQLITE_INTERRUPT:
        return Cause::TooSlow;
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
        // While writing, the journal could not be made beside the file: the folder is read-only.
        if (kind == StoreError::Kind::Write || !folderWritable(path))
            return QFileInfo::exists(path) ? Cause::ReadOnly : Cause::CannotOpen;
        return (extended & 0xFF) == SQLITE_CANTOPEN ? Cause::CannotOpen : Cause::Other;
    case SQLITE_ERROR:
        if (text.startsWith(QLatin1String("no such table")) || text.startsWith(QLatin1String("no such column")) ||
            text.startsWith(QLatin1String("table ficha has no column")))
            return Cause::NotMemberFile;
        return Cause::Other;
    default:
        return Cause::Other;
    }
}

QString engineText(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.driverText().trimmed() : text;
}

} // namespace sqlite

SqliteConnection::SqliteConnection(const QString& path, Access access, bool create)
    : m_name(QStringLiteral("socios-sqlite-%1").arg(++s_counter)), m_path(path), m_access(access)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    // mode=rw: a file that is missing is never created behind the operator's back.
    url.setQuery(access == Access::ReadWrite  ? (create ? QStringLiteral("mode=rwc") : QStringLiteral("mode=rw"))
                 : access == Access::ReadOnly ? QStringLiteral("mode=ro")
                                              : QStringLiteral("mode=ro&immutable=1"));
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
    if (!db.open()) {
        m_openError = db.lastError();
        return;
    }
    m_handle = *static_cast<sqlite3* const*>(db.driver()->handle().data());
    for (const auto& [option, value] : {std::pair{SQLITE_DBCONFIG_DEFENSIVE, 1},
                                        {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
                                        {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
                                        {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
                                        // Only the connection that may write the file checkpoints it.
                                        {SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, access == Access::ReadWrite ? 0 : 1}})
        sqlite3_db_config(m_handle, option, value, nullptr);
    sqlite3_busy_handler(m_handle, &SqliteConnection::onBusy, this);
    sqlite3_progress_handler(m_handle, 1000, &SqliteConnection::onProgress, this);
    m_identity = SqliteFile::identityOf(path);
    sqlite::openFiles().add(m_path);
    m_registered = true;
}

SqliteConnection::~SqliteConnection()
{
    for (const auto& [sql, statement] : m_statements)
        sqlite3_finalize(statement);
    m_queries.clear();
    m_failed.reset();
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    if (m_registered)
        sqlite::openFiles().remove(m_path);
}

int SqliteConnection::onBusy(void* self, int attempts)
{
    auto* connection = static_cast<SqliteConnection*>(self);
    if (attempts == 0)
        connection->m_busy.start();
    if (connection->m_busy.elapsed() >= sqlite::kBusyTimeoutMs)
        return 0;
    QThread::usleep(sqlite::kBusyPollMicroseconds);
    return 1;
}

int SqliteConnection::onProgress(void* self)
{
    return static_cast<SqliteConnection*>(self)->m_deadline.hasExpired() ||
           QThread::currentThread()->isInterruptionRequested();
}
