#include "store/sqlite/SqliteEngine.h"

#include "conversions/Characters.h"
#include "store/PendingFile.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <sqlite3.h>

#include <atomic>
#include <map>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// How long a save waits for another till's lock before it gives up, and how often it looks again meanwhile.
constexpr int kBusyTimeoutMs = 3000;
constexpr unsigned kBusyPollMicroseconds = 1000;

const QString kCreateTable = QStringLiteral(
    "CREATE TABLE ficha (ntarjeta TEXT, nsocio TEXT, nombre TEXT, apellidos TEXT, calle TEXT, cp TEXT, "
    "ciudad TEXT, telefono TEXT, email TEXT, fnacimiento TEXT, observaciones TEXT, puntos TEXT, fcaducidad TEXT)");

// Tables that socios writes: a trigger on one of them would act on every save.
const QStringList kWrittenTables = {QStringLiteral("ficha"), QStringLiteral("movimientos"), kErasureTable};

// The member files this process has open. A journal or log beside one of them is in use, not left over; the
// locks that tell it for other processes cannot be seen from the process that holds them.
class OpenFiles
{
public:
    void add(const QString& path)
    {
        QMutexLocker lock(&m_mutex);
        ++m_count[key(path)];
    }
    void remove(const QString& path)
    {
        QMutexLocker lock(&m_mutex);
        if (--m_count[key(path)] <= 0)
            m_count.remove(key(path));
    }
    bool contains(const QString& path)
    {
        QMutexLocker lock(&m_mutex);
        return m_count.contains(key(path));
    }

private:
    static QString key(const QString& path) { return QFileInfo(path).absoluteFilePath(); }
    QMutex m_mutex;
    QHash<QString, int> m_count;
};

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

// A statement through Qt's SQLite driver, which binds the values to SQLite's own placeholders.
class SqliteStatement final : public PreparedStatement
{
public:
    explicit SqliteStatement(const QSqlDatabase& database) : m_query(database) { m_query.setForwardOnly(true); }

    bool prepare(const QString& sql) { return m_query.prepare(sql); }
    bool run(const QVariantList& values) override
    {
        for (int i = 0; i < values.size(); ++i)
            m_query.bindValue(i, values[i]);
        return m_query.exec();
    }
    bool next() override { return m_query.next(); }
    QVariant value(int column) const override { return m_query.value(column); }
    QSqlError error() const override { return m_query.lastError(); }
    void finish() override { m_query.finish(); }

private:
    QSqlQuery m_query;
};

} // namespace

// One SQLite connection with the safety settings that every connection of socios carries: the file's schema is
// not trusted, triggers and views never act, defensive mode forbids writing the schema by hand, every statement
// runs under a deadline, and a locked file is retried every millisecond for a few seconds.
class SqliteConnection
{
public:
    enum class Access { ReadWrite, ReadOnly, Immutable };

    SqliteConnection(const QString& path, Access access, bool create = false)
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
        openFiles().add(m_path);
        m_registered = true;
    }

    ~SqliteConnection()
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
            openFiles().remove(m_path);
    }

    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    bool isOpen() const { return m_handle != nullptr; }
    const QSqlError& openError() const { return m_openError; }
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }
    sqlite3* handle() const { return m_handle; }
    Access access() const { return m_access; }
    const SqliteFile::Identity& identity() const { return m_identity; }

    void setLimit(std::chrono::milliseconds limit) { m_deadline = QDeadlineTimer(limit); }

    // The file at the path is no longer the one this connection has open: closing must not checkpoint into the
    // file now at the path, nor remove the log beside it.
    void abandon()
    {
        if (m_handle)
            sqlite3_db_config(m_handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    }

    PreparedStatement& prepared(const QString& sql)
    {
        if (auto found = m_queries.find(sql); found != m_queries.end())
            return *found->second;
        auto statement = std::make_unique<SqliteStatement>(database());
        if (!statement->prepare(sql)) {
            m_failed = std::move(statement);
            return *m_failed;
        }
        return *m_queries.emplace(sql, std::move(statement)).first->second;
    }

    // A statement of SQLite's own interface, prepared once on this connection: the card pass reads its rows
    // without the conversions of Qt's statements. Null when it cannot be prepared (lastRawError() says why).
    sqlite3_stmt* raw(const QByteArray& sql)
    {
        if (auto found = m_statements.find(sql); found != m_statements.end())
            return found->second;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v3(m_handle, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                               nullptr) != SQLITE_OK)
            return nullptr;
        return m_statements.emplace(sql, statement).first->second;
    }

    // Runs one statement without keeping it; returns the first column of each row it gives.
    std::optional<QStringList> exec(const QString& sql)
    {
        QSqlQuery query(database());
        query.setForwardOnly(true);
        if (!query.exec(sql)) {
            m_lastError = query.lastError();
            return std::nullopt;
        }
        QStringList rows;
        while (query.next())
            rows << query.value(0).toString();
        if (query.lastError().isValid()) {
            m_lastError = query.lastError();
            return std::nullopt;
        }
        return rows;
    }
    const QSqlError& lastError() const { return m_lastError; }

private:
    static int onBusy(void* self, int attempts)
    {
        auto* connection = static_cast<SqliteConnection*>(self);
        if (attempts == 0)
            connection->m_busy.start();
        if (connection->m_busy.elapsed() >= kBusyTimeoutMs)
            return 0;
        QThread::usleep(kBusyPollMicroseconds);
        return 1;
    }

    // Past the deadline, or asked to stop (a check in the background when the application ends).
    static int onProgress(void* self)
    {
        return static_cast<SqliteConnection*>(self)->m_deadline.hasExpired() ||
               QThread::currentThread()->isInterruptionRequested();
    }

    static inline std::atomic<quint64> s_counter{0};

    QString m_name;
    QString m_path;
    Access m_access;
    sqlite3* m_handle = nullptr;
    QSqlError m_openError;
    QSqlError m_lastError;
    SqliteFile::Identity m_identity;
    bool m_registered = false;
    QDeadlineTimer m_deadline = QDeadlineTimer(QDeadlineTimer::Forever);
    QElapsedTimer m_busy;
    std::unordered_map<QString, std::unique_ptr<SqliteStatement>> m_queries;
    std::map<QByteArray, sqlite3_stmt*> m_statements;
    std::unique_ptr<SqliteStatement> m_failed;
};

namespace {

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

// What an examination found wrong, worded like the engine's own messages.
StoreError unsafe(const QString& path, const QString& detail)
{
    return failure(StoreError::Kind::Open, path, StoreError::Cause::UnsafeSchema, detail);
}

// For a file that must hold exactly what socios writes (a copy to restore): `table`, when it is there, has exactly
// `names` as its columns, each of text compared byte for byte, and nothing that could refuse a row that socios
// writes: no NOT NULL, primary key, UNIQUE, CHECK or foreign key.
StoreFailure examineExactShape(SqliteConnection& connection, const QString& path, const QString& table,
                               const QStringList& names)
{
    const auto engineError = [&](const QSqlError& error) {
        return failure(
            StoreError::Kind::Open, path,
            causeOf(StoreError::Kind::Open, sqlite3_extended_errcode(connection.handle()), error.databaseText(), path),
            engineText(error));
    };
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const auto unsafe = [&](const QString& detail) {
        return failure(StoreError::Kind::Open, path, StoreError::Cause::UnsafeSchema, detail);
    };
    if (!query.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = '%1' COLLATE NOCASE")
                        .arg(table)))
        return engineError(query.lastError());
    if (!query.next())
        return std::nullopt;
    // The statement that made the table, without its quoted names and texts: what is left of a CHECK is a keyword.
    QString made = query.value(0).toString();
    query.finish();
    made.remove(QRegularExpression(QStringLiteral("'[^']*'|\"[^\"]*\"|`[^`]*`|\\[[^\\]]*\\]")));
    if (made.contains(QRegularExpression(QStringLiteral("\\bCHECK\\b"), QRegularExpression::CaseInsensitiveOption)))
        return unsafe(QStringLiteral("table %1 has a CHECK constraint").arg(table));

    QStringList present;
    if (!query.exec(QStringLiteral("PRAGMA table_xinfo(%1)").arg(table)))
        return engineError(query.lastError());
    while (query.next()) {
        const QString name = query.value(1).toString().toLower();
        present << name;
        if (!names.contains(name))
            return unsafe(QStringLiteral("table %1 has a column %2 that socios does not write").arg(table, name));
        if (SqliteFile::affinityOf(query.value(2).toString()) != SqliteFile::Affinity::Text)
            return unsafe(QStringLiteral("column %1 of %2 is not text").arg(name, table));
        if (query.value(3).toInt() != 0)
            return unsafe(QStringLiteral("column %1 of %2 refuses a missing value (NOT NULL)").arg(name, table));
        if (query.value(5).toInt() != 0)
            return unsafe(QStringLiteral("column %1 of %2 is a primary key").arg(name, table));
    }
    query.finish();
    for (const QString& name : names)
        if (!present.contains(name))
            return unsafe(QStringLiteral("table %1 has no column named %2").arg(table, name));
    for (const QString& name : names) {
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(connection.handle(), "main", qPrintable(table), qPrintable(name), nullptr,
                                          &collation, nullptr, nullptr, nullptr) == SQLITE_OK &&
            collation && qstricmp(collation, "BINARY") != 0)
            return unsafe(
                QStringLiteral("column %1 of %2 compares as %3, not byte for byte").arg(name, table, collation));
    }

    if (!query.exec(QStringLiteral("PRAGMA index_list(%1)").arg(table)))
        return engineError(query.lastError());
    while (query.next())
        if (query.value(2).toInt() != 0)
            return unsafe(
                QStringLiteral("index %1 refuses repeated values in %2").arg(query.value(1).toString(), table));
    query.finish();
    if (!query.exec(QStringLiteral("PRAGMA foreign_key_list(%1)").arg(table)))
        return engineError(query.lastError());
    if (query.next())
        return unsafe(QStringLiteral("table %1 refers to table %2").arg(table, query.value(2).toString()));
    query.finish();
    return std::nullopt;
}

// Reads the schema, never the rows: "ficha" must be a plain table, with the thirteen columns as text compared byte
// for byte, no trigger on a table that socios writes, and a row id that no column hides. Returns the name under
// which the row id can be read.
StoreResult<QString> examine(SqliteConnection& connection, const QString& path, MemberStore::Shape shape)
{
    const auto engineError = [&](const QSqlError& error) {
        return failure(
            StoreError::Kind::Open, path,
            causeOf(StoreError::Kind::Open, sqlite3_extended_errcode(connection.handle()), error.databaseText(), path),
            engineText(error));
    };
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT type, sql FROM sqlite_master WHERE name = 'ficha' COLLATE NOCASE")))
        return engineError(query.lastError());
    if (!query.next()) {
        if (query.lastError().isValid())
            return engineError(query.lastError());
        return failure(StoreError::Kind::Open, path, StoreError::Cause::NotMemberFile,
                       QStringLiteral("no such table: ficha"));
    }
    const QString type = query.value(0).toString();
    const QString sql = query.value(1).toString().simplified();
    query.finish();
    if (type != QLatin1String("table"))
        return unsafe(path, QStringLiteral("ficha is a %1, not a table").arg(type));
    if (sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
        return unsafe(path, QStringLiteral("ficha is a virtual table"));

    if (!query.exec(
            QStringLiteral("SELECT name, tbl_name FROM sqlite_master WHERE type = 'trigger' AND lower(tbl_name) "
                           "IN ('%1')")
                .arg(kWrittenTables.join(QLatin1String("', '")))))
        return engineError(query.lastError());
    if (query.next())
        return unsafe(
            path, QStringLiteral("trigger %1 on table %2").arg(query.value(0).toString(), query.value(1).toString()));
    query.finish();

    struct Column
    {
        QString type;
        int hidden = 0;
    };
    QHash<QString, Column> columns;
    if (!query.exec(QStringLiteral("PRAGMA table_xinfo(ficha)")))
        return engineError(query.lastError());
    while (query.next())
        columns.insert(query.value(1).toString().toLower(), {query.value(2).toString(), query.value(6).toInt()});
    query.finish();
    for (Field field : allFields()) {
        if (!columns.contains(QLatin1String(fieldName(field))))
            return failure(StoreError::Kind::Open, path, StoreError::Cause::NotMemberFile,
                           QStringLiteral("table ficha has no column named %1").arg(QLatin1String(fieldName(field))));
    }
    for (Field field : allFields()) {
        const QString name = QLatin1String(fieldName(field));
        const Column& column = columns[name];
        if (column.hidden != 0)
            return unsafe(path, QStringLiteral("column %1 is generated from other columns").arg(name));
        if (SqliteFile::affinityOf(column.type) != SqliteFile::Affinity::Text)
            return unsafe(path, QStringLiteral("column %1 is declared %2: what is typed would be stored as a number")
                                    .arg(name, column.type.isEmpty() ? QStringLiteral("without a type") : column.type));
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(connection.handle(), "main", "ficha", fieldName(field), nullptr, &collation,
                                          nullptr, nullptr, nullptr) == SQLITE_OK &&
            collation && qstricmp(collation, "BINARY") != 0)
            return unsafe(path, QStringLiteral("column %1 compares as %2, not byte for byte").arg(name, collation));
    }

    // A points history made by another program must hold what socios writes into it.
    if (!query.exec(QStringLiteral("SELECT type FROM sqlite_master WHERE name = 'movimientos' COLLATE NOCASE")))
        return engineError(query.lastError());
    if (query.next()) {
        if (query.value(0).toString() != QLatin1String("table"))
            return unsafe(path, QStringLiteral("movimientos is a %1, not a table").arg(query.value(0).toString()));
        query.finish();
        QStringList present;
        if (!query.exec(QStringLiteral("PRAGMA table_xinfo(movimientos)")))
            return engineError(query.lastError());
        while (query.next())
            present << query.value(1).toString().toLower();
        for (const QString& column : kHistoryColumns)
            if (!present.contains(column))
                return unsafe(path, QStringLiteral("table movimientos has no column named %1").arg(column));
    }
    query.finish();

    QString rowId;
    for (const char* alias : {"rowid", "_rowid_", "oid"}) {
        if (!columns.contains(QLatin1String(alias))) {
            rowId = QLatin1String(alias);
            break;
        }
    }
    if (rowId.isEmpty())
        return unsafe(path, QStringLiteral("columns named rowid, _rowid_ and oid hide the row id"));
    if (!query.exec(QStringLiteral("SELECT %1 FROM ficha LIMIT 0").arg(rowId)))
        return unsafe(path,
                      QStringLiteral("ficha has no row id (WITHOUT ROWID): %1").arg(engineText(query.lastError())));
    query.finish();
    if (shape == MemberStore::Shape::Exact) {
        QStringList fields;
        for (Field field : allFields())
            fields << QLatin1String(fieldName(field));
        for (const auto& [table, names] :
             {std::pair{QStringLiteral("ficha"), fields}, std::pair{QStringLiteral("movimientos"), kHistoryColumns},
              std::pair{kErasureTable, kErasureColumns}})
            if (StoreFailure refused = examineExactShape(connection, path, table, names))
                return *refused;
    }
    return rowId;
}

StoreResult<QString> examineConnection(SqliteConnection& connection, const QString& path, MemberStore::Shape shape)
{
    if (!connection.isOpen())
        return failure(StoreError::Kind::Open, path,
                       causeOf(StoreError::Kind::Open, connection.openError().nativeErrorCode().toInt(),
                               connection.openError().databaseText(), path),
                       engineText(connection.openError()));
    connection.setLimit(MemberStore::kOperationLimit);
    return examine(connection, path, shape);
}

// Makes the empty file at `path` a new member database: "ficha" without rows, and its lookup indexes.
StoreFailure initialiseDatabase(const QString& path)
{
    SqliteConnection connection(path, SqliteConnection::Access::ReadWrite);
    if (!connection.isOpen())
        return failure(StoreError::Kind::Create, path,
                       causeOf(StoreError::Kind::Write, connection.openError().nativeErrorCode().toInt(),
                               connection.openError().databaseText(), path),
                       engineText(connection.openError()));
    connection.setLimit(MemberStore::kOperationLimit);
    for (const QString& statement : QStringList{QStringLiteral("PRAGMA synchronous=FULL"), kCreateTable} + kIndexes)
        if (!connection.exec(statement))
            return failure(StoreError::Kind::Create, path,
                           causeOf(StoreError::Kind::Write, sqlite3_extended_errcode(connection.handle()),
                                   connection.lastError().databaseText(), path),
                           engineText(connection.lastError()));
    return std::nullopt;
}

// Builds a new member file under a temporary name and moves it into place only when complete, so that an
// interrupted first start never leaves a half-made file at the path. False when another till made one first.
StoreResult<bool> createDatabase(const QString& path)
{
    const QFileInfo target(path);
    if (!QDir().mkpath(target.absolutePath()))
        return failure(StoreError::Kind::Create, path, StoreError::Cause::ReadOnly,
                       QStringLiteral("cannot create folder ") + target.absolutePath());
    Result<PendingFile, StoreError> pending = PendingFile::create(path);
    if (!pending) {
        StoreError error = pending.error();
        error.kind = StoreError::Kind::Create;
        return error;
    }
    if (StoreFailure failed = initialiseDatabase(pending->path())) {
        failed->path = path;
        return *failed;
    }
    // Never over a file: if another till created one meanwhile, that one stays.
    StoreResult<bool> placed = pending.value().putInPlace();
    if (!placed) {
        StoreError error = placed.error();
        error.kind = StoreError::Kind::Create;
        return error;
    }
    return *placed;
}

} // namespace

SqliteEngine::SqliteEngine(QString path) : StoreEngine(std::move(path)) {}

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

StoreFailure SqliteEngine::connect()
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
    Result<FileLock, FileLock::Refused> useLock =
        FileLock::take(m_path, FileLock::Mode::Shared, std::chrono::milliseconds(kBusyTimeoutMs));
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
            return std::nullopt;
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
    return std::nullopt;
}

StoreFailure SqliteEngine::openOrCreate(MemberStore::Startup& startup, MemberStore::Indexes indexes,
                                        MemberStore::Shape shape)
{
    startup = {};
    m_shape = shape;
    PendingFile::removeLeftovers(QFileInfo(m_path).absolutePath());
    const QFileInfo file(m_path);
    if (file.exists() && file.size() == 0 && PendingFile::madeHere(m_path)) {
        // A file that this process is making (a PendingFile): a new member database, made in place.
        if (StoreFailure failed = initialiseDatabase(m_path))
            return failed;
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
    if (StoreFailure failed = connect())
        return failed;
    if (m_readOnly)
        startup.writesRefused = m_degraded.value_or(StoreError::Cause::ReadOnly);
    startup.logBesideFile = m_replayed && m_replayed->holdsChanges;

    const std::optional<QStringList> present =
        m_connection->exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND name IN ('%1')")
                               .arg(kIndexNames.join(QLatin1String("', '"))));
    startup.indexesMissing = !present || present->size() < kIndexNames.size();
    if (startup.indexesMissing && indexes == MemberStore::Indexes::Build && !m_readOnly) {
        if (StoreFailure failed = buildMissingIndexes())
            qWarning("socios: lookups in %s stay unindexed: %s", qUtf8Printable(m_path),
                     qUtf8Printable(failed->toString()));
        else
            startup.indexesMissing = false;
    }
    return std::nullopt;
}

StoreFailure SqliteEngine::prepareOperation(std::chrono::milliseconds limit)
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
        if (StoreFailure failed = connect())
            return failed;
    }
    m_connection->setLimit(limit);
    return std::nullopt;
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

StoreFailure SqliteEngine::buildMissingIndexes()
{
    if (StoreFailure failed = prepareOperation(MemberStore::kWholeFileLimit))
        return failed;
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
    return std::nullopt;
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

StoreFailure SqliteEngine::backupTo(const QString& file)
{
    if (StoreFailure failed = prepareOperation(MemberStore::kWholeFileLimit))
        return failed;
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
    return std::nullopt;
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

StoreFailure SqliteEngine::overwriteDeleted()
{
    // Deleted rows, and the pages they leave free, are written over with zeros in the file and in its log.
    if (!m_connection->exec(QStringLiteral("PRAGMA secure_delete=ON")))
        return error(StoreError::Kind::Write, m_connection->lastError());
    return std::nullopt;
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

StoreFailure SqliteEngine::prepareHistory()
{
    const StoreResult<bool> present = hasHistory();
    if (!present)
        return present.error();
    if (*present)
        return std::nullopt;
    for (const QString& statement :
         {QStringLiteral("CREATE TABLE movimientos (%1 TEXT)").arg(kHistoryColumns.join(QLatin1String(" TEXT, "))),
          QStringLiteral("CREATE INDEX movimientos_ntarjeta ON movimientos (ntarjeta)")})
        if (!m_connection->exec(statement))
            return error(StoreError::Kind::Write, m_connection->lastError());
    return std::nullopt;
}

StoreResult<bool> SqliteEngine::quickCheck()
{
    if (StoreFailure failed = prepareOperation(MemberStore::kWholeFileLimit))
        return *failed;
    const std::optional<QStringList> verdict = m_connection->exec(QStringLiteral("PRAGMA quick_check"));
    if (!verdict) {
        const StoreError failed = error(StoreError::Kind::Read, m_connection->lastError());
        if (failed.cause == StoreError::Cause::Damaged)
            return false;
        return failed;
    }
    return *verdict == QStringList{QStringLiteral("ok")};
}

StoreResult<MemberStore::Durability> SqliteEngine::durability()
{
    if (StoreFailure failed = prepareOperation(MemberStore::kOperationLimit))
        return *failed;
    const std::optional<QStringList> mode = m_connection->exec(QStringLiteral("PRAGMA journal_mode"));
    const std::optional<QStringList> synchronous = m_connection->exec(QStringLiteral("PRAGMA synchronous"));
    if (!mode || !synchronous)
        return error(StoreError::Kind::Read, m_connection->lastError());
    return MemberStore::Durability{mode->value(0), synchronous->value(0).toInt()};
}
