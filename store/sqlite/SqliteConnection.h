#pragma once

// One SQLite connection of socios, with the settings every connection carries, and what the engine's files and
// errors share: which files this process has open, whether a file can be written, and what an error of the engine
// says about the file.

#include "store/StoreEngine.h"
#include "store/sqlite/SqliteFile.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>

namespace sqlite {

// How long a save waits for another till's lock before it gives up, and how often it looks again meanwhile.
constexpr int kBusyTimeoutMs = int(kLockWait.count());
constexpr unsigned kBusyPollMicroseconds = 1000;

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

OpenFiles& openFiles();

bool canWrite(const QString& path);
bool folderWritable(const QString& path);
bool sameBytes(const QString& first, const QString& second);

StoreError failure(StoreError::Kind kind, const QString& path, StoreError::Cause cause, const QString& detail);
// The engine's primary and extended result codes say what is wrong with the file.
StoreError::Cause causeOf(StoreError::Kind kind, int extended, const QString& text, const QString& path);
QString engineText(const QSqlError& error);

} // namespace sqlite

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

// One SQLite connection with the safety settings that every connection of socios carries: the file's schema is
// not trusted, triggers and views never act, defensive mode forbids writing the schema by hand, every statement
// runs under a deadline, and a locked file is retried every millisecond for a few seconds.
class SqliteConnection
{
public:
    enum class Access { ReadWrite, ReadOnly, Immutable };

    SqliteConnection(const QString& path, Access access, bool create = false);

    ~SqliteConnection();

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
    static int onBusy(void* self, int attempts);

    // Past the deadline, or asked to stop (a check in the background when the application ends).
    static int onProgress(void* self);

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
