#pragma once

// One connection to the server, on which the store runs its statements through libpq with their values apart, and
// what the server engine's connection, schema and operations share: its waits, its lock keys, and what an error of
// the server says.

#include "store/StoreAddress.h"
#include "store/StoreEngine.h"

#include <QSqlError>

#include <libpq-fe.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace postgres {

// How long a write waits for another till's lock before it gives up, as the SQLite engine's busy timeout.
constexpr int kLockWaitMs = int(kLockWait.count());
// A till that vanished inside a transaction (a network cut) releases its locks after this long.
constexpr int kIdleInTransactionMs = 30000;

// Advisory lock keys. A card number: the two-key form, (schema, card). The table and the making of the schema:
// the one-key form, which PostgreSQL keeps apart from the two-key form, each tagged so that they never meet.
constexpr qint64 kTableLockTag = qint64(0x534F4349) << 32;  // "SOCI"
constexpr qint64 kSchemaLockTag = qint64(0x534F4353) << 32; // "SOCS"

// How long a new connection waits for the server to answer before the operation fails as unreachable, and how
// often meanwhile the waiting hook runs.
constexpr std::chrono::milliseconds kAnswerWait{1000};
constexpr std::chrono::milliseconds kWaitSlice{20};

// The same 32 bits on every till, whatever its platform or version.
qint32 hash32(const QString& text);

QString engineText(const QSqlError& error);
// What an SQLSTATE says about the server, the database or the transaction.
StoreError::Cause causeOf(const QString& code, StoreError::Kind kind);
// Why a connection could not be made: asks the server whether it accepts connections at all, without logging
// in. One that does refused this one (password, permission, database); one that does not is unreachable.
StoreError::Cause whyNotConnected(const StoreAddress& address);
// Whether the server answers a new connection within kAnswerWait. The connection is made without blocking
// (PQconnectStartParams, PQconnectPoll) and dropped once the question is settled: a server that accepts it, or that
// refuses this login, answers; so does one that cannot be reached at all (refused at once: the normal connection
// then tells why). Only a server that keeps silent (stopped, or a network that drops the packets) does not. The
// waiting hook runs every kWaitSlice meanwhile.
bool answersInTime(const StoreAddress& address, const std::function<void()>& waiting);

struct ClearResult
{
    void operator()(PGresult* result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, ClearResult>;

// A field of a result as the store reads it: no value as a null QVariant, truth values as bool, whole numbers as
// qlonglong, everything else as the text the server sent (UTF-8, the connection's client encoding).
QVariant valueAt(const PGresult* result, int row, int column);

// Values for a statement's placeholders as libpq takes them, in text form: UTF-8, and a null pointer for no value
// (a null QVariant, or a null text, as Qt's drivers bind them).
class Parameters
{
public:
    explicit Parameters(const QVariantList& values)
    {
        m_texts.reserve(std::size_t(values.size()));
        for (const QVariant& value : values) {
            const bool none =
                value.isNull() || (value.metaType() == QMetaType::fromType<QString>() && value.toString().isNull());
            m_texts.push_back(none ? std::optional<QByteArray>() : value.toString().toUtf8());
        }
        for (const std::optional<QByteArray>& text : m_texts)
            m_pointers.push_back(!text ? nullptr : text->isNull() ? "" : text->constData());
    }
    int count() const { return int(m_pointers.size()); }
    const char* const* values() const { return m_pointers.data(); }

private:
    std::vector<std::optional<QByteArray>> m_texts;
    std::vector<const char*> m_pointers;
};

// The points history as the server keeps it: its columns as text and a row number of its own, and its index.
inline QStringList historyDefinition()
{
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2, id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY)")
                .arg(kHistoryTable, columnDefinitions(kHistoryColumns, QStringLiteral("text"))),
            QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (ntarjeta)").arg(kHistoryIndexName, kHistoryTable)};
}

} // namespace postgres

class PostgresStatement;

// One connection opened by Qt's PostgreSQL driver, on whose libpq connection (PGconn) the store runs its statements
// itself: values go to the server apart from the statement's text (PQexecParams, PQexecPrepared), never quoted into
// it. The statements that the store runs again and again are prepared on the server once per connection, under
// names of this connection's own; they die with the session. On a connection known to be lost nothing is sent: the
// statement fails with "no connection to the server".
class PostgresConnection
{
public:
    explicit PostgresConnection(const StoreAddress& address);
    ~PostgresConnection();

    PostgresConnection(const PostgresConnection&) = delete;
    PostgresConnection& operator=(const PostgresConnection&) = delete;

    bool isOpen() const { return m_handle != nullptr; }
    const QSqlError& openError() const { return m_openError; }
    PGconn* handle() const { return m_handle; }

    // Whether the connection still reaches the server. Reads what the server sent while the connection was idle,
    // without waiting: a server that stopped or restarted has closed it (after a message saying so, which takes a
    // read of its own).
    bool connected()
    {
        for (int read = 0; read < 2 && m_handle && PQstatus(m_handle) == CONNECTION_OK; ++read)
            if (!PQconsumeInput(m_handle))
                break;
        if (!m_handle || PQstatus(m_handle) != CONNECTION_OK)
            return false;
        PQisBusy(m_handle); // takes in what was read: a message from the server goes to the notice processor
        return PQstatus(m_handle) == CONNECTION_OK;
    }

    // Whether the connection is inside a transaction that an earlier operation left open.
    bool inTransaction() const { return m_handle && PQtransactionStatus(m_handle) != PQTRANS_IDLE; }

    // Whether the connection is broken, as the last failure left it (nothing is read).
    bool broken() const { return !m_handle || PQstatus(m_handle) != CONNECTION_OK; }

    PreparedStatement& prepared(const QString& sql);

    // Runs one statement without keeping it, with `values` for its placeholders $1, $2...; the engine's error when
    // it fails.
    std::optional<QSqlError> run(const QString& sql, const QVariantList& values = {})
    {
        postgres::PgResult result = exec(sql, values);
        if (!result)
            return m_lastError;
        return std::nullopt;
    }

    // The same; returns the rows it gives.
    std::optional<QList<QVariantList>> rows(const QString& sql, const QVariantList& values = {})
    {
        const postgres::PgResult result = exec(sql, values);
        if (!result)
            return std::nullopt;
        QList<QVariantList> rows;
        for (int row = 0; row < PQntuples(result.get()); ++row) {
            QVariantList& values = rows.emplace_back();
            for (int column = 0; column < PQnfields(result.get()); ++column)
                values << postgres::valueAt(result.get(), row, column);
        }
        return rows;
    }
    const QSqlError& lastError() const { return m_lastError; }

    // The server stops each statement after `limit`; set again only when it changes.
    std::optional<QSqlError> setLimit(std::chrono::milliseconds limit)
    {
        if (limit == m_limit)
            return std::nullopt;
        const std::optional<QSqlError> failed =
            run(QStringLiteral("SELECT set_config('statement_timeout', $1, false)"), {qlonglong(limit.count())});
        if (!failed)
            m_limit = limit;
        return failed;
    }

    // The error of a result that failed, or of the connection when there is no result.
    QSqlError errorOf(const PGresult* result) const
    {
        const QString text =
            QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(m_handle)).trimmed();
        const QString code = result ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
        return QSqlError(QString(), code.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, code),
                         broken() ? QSqlError::ConnectionError : QSqlError::StatementError, code);
    }

    QSqlError lost() const
    {
        const QString text = m_handle ? QString::fromUtf8(PQerrorMessage(m_handle)).trimmed() : QString();
        return QSqlError(QStringLiteral("no connection to the server"), text, QSqlError::ConnectionError);
    }

    // A statement whose rows are being read holds the connection until it is finished: the next statement sent
    // finishes it first, and it reports the rows it could not read as a failure.
    void reading(PostgresStatement* statement) { m_reading = statement; }
    void interruptReading();

private:
    postgres::PgResult exec(const QString& sql, const QVariantList& values)
    {
        interruptReading();
        if (broken()) {
            m_lastError = lost();
            return nullptr;
        }
        const QByteArray text = sql.toUtf8();
        const postgres::Parameters parameters(values);
        postgres::PgResult result(PQexecParams(m_handle, text.constData(), parameters.count(), nullptr,
                                               parameters.values(), nullptr, nullptr, 0));
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            return result;
        m_lastError = errorOf(result.get());
        return nullptr;
    }

    static inline std::atomic<quint64> s_counter{0};

    QString m_name;
    PGconn* m_handle = nullptr;
    QSqlError m_openError;
    QSqlError m_lastError;
    std::chrono::milliseconds m_limit{0};
    std::unordered_map<QString, std::unique_ptr<PostgresStatement>> m_statements;
    PostgresStatement* m_reading = nullptr;
};

// A statement prepared on the server (PQprepare) the first time it runs, then run with its values apart
// (PQsendQueryPrepared). Its rows come one by one (libpq's single-row mode), so that a scan of every member never
// holds them all in memory.
class PostgresStatement final : public PreparedStatement
{
public:
    PostgresStatement(PostgresConnection& connection, QByteArray name, QByteArray sql)
        : m_connection(connection), m_name(std::move(name)), m_sql(std::move(sql))
    {}

    bool run(const QVariantList& values) override
    {
        finish();
        m_connection.interruptReading();
        m_error = QSqlError();
        PGconn* handle = m_connection.handle();
        if (m_connection.broken()) {
            m_error = m_connection.lost();
            return false;
        }
        if (!m_onServer) {
            const postgres::PgResult prepared(PQprepare(handle, m_name.constData(), m_sql.constData(), 0, nullptr));
            if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
                m_error = m_connection.errorOf(prepared.get());
                return false;
            }
            m_onServer = true;
        }
        const postgres::Parameters parameters(values);
        if (!PQsendQueryPrepared(handle, m_name.constData(), parameters.count(), parameters.values(), nullptr, nullptr,
                                 0)) {
            m_error = m_connection.errorOf(nullptr);
            return false;
        }
        PQsetSingleRowMode(handle);
        m_reading = true;
        m_connection.reading(this);
        // The first result tells whether the statement ran: its first row, the end of no rows, or its error.
        postgres::PgResult first(PQgetResult(handle));
        switch (first ? PQresultStatus(first.get()) : PGRES_FATAL_ERROR) {
        case PGRES_SINGLE_TUPLE:
            m_next = std::move(first);
            return true;
        case PGRES_TUPLES_OK:
        case PGRES_COMMAND_OK:
            discardRest();
            return true;
        default:
            m_error = m_connection.errorOf(first.get());
            discardRest();
            return false;
        }
    }

    bool next() override
    {
        m_row.reset();
        if (m_next) {
            m_row = std::move(m_next);
            return true;
        }
        if (!m_reading)
            return false;
        postgres::PgResult result(PQgetResult(m_connection.handle()));
        switch (result ? PQresultStatus(result.get()) : PGRES_TUPLES_OK) {
        case PGRES_SINGLE_TUPLE:
            m_row = std::move(result);
            return true;
        case PGRES_TUPLES_OK:
            discardRest();
            return false;
        default:
            // Stopped half-way: the time limit, a lost connection.
            m_error = m_connection.errorOf(result.get());
            discardRest();
            return false;
        }
    }

    QVariant value(int column) const override { return postgres::valueAt(m_row.get(), 0, column); }
    QSqlError error() const override { return m_error; }

    void finish() override
    {
        m_row.reset();
        m_next.reset();
        if (m_reading)
            discardRest();
    }

    // Another statement is sent while this one's rows are still coming: they are read to the end and dropped, and
    // this statement fails rather than look complete.
    void interrupt()
    {
        if (!m_reading)
            return;
        finish();
        m_error = QSqlError(QStringLiteral("another statement ran before every row was read"), QString(),
                            QSqlError::StatementError);
    }

private:
    void discardRest()
    {
        while (PGresult* result = PQgetResult(m_connection.handle()))
            PQclear(result);
        m_reading = false;
        m_connection.reading(nullptr);
    }

    PostgresConnection& m_connection;
    QByteArray m_name;
    QByteArray m_sql;          // with $1, $2... for its placeholders
    bool m_onServer = false;   // prepared in this session
    bool m_reading = false;    // results of the last run still to come from the server
    postgres::PgResult m_next; // the first row, read by run()
    postgres::PgResult m_row;  // the row that next() stepped to
    QSqlError m_error;
};
