#include "store/postgres/PostgresEngine.h"

#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlDriver>

#include <libpq-fe.h>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <poll.h>
#endif

#include <QScopeGuard>

#include <atomic>
#include <memory>
#include <unordered_map>

namespace {

// How long a write waits for another till's lock before it gives up, as the SQLite engine's busy timeout.
constexpr int kLockWaitMs = 3000;
// A till that vanished inside a transaction (a network cut) releases its locks after this long.
constexpr int kIdleInTransactionMs = 30000;

// Advisory lock keys. A card number: the two-key form, (schema, card). The table and the making of the schema:
// the one-key form, which PostgreSQL keeps apart from the two-key form, each tagged so that they never meet.
constexpr qint64 kTableLockTag = qint64(0x534F4349) << 32;  // "SOCI"
constexpr qint64 kSchemaLockTag = qint64(0x534F4353) << 32; // "SOCS"

// The same 32 bits on every till, whatever its platform or version.
qint32 hash32(const QString& text)
{
    const QByteArray digest = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1);
    return qint32(quint32(uchar(digest[0])) << 24 | quint32(uchar(digest[1])) << 16 | quint32(uchar(digest[2])) << 8 |
                  quint32(uchar(digest[3])));
}

// What a connection asks for unless the address says otherwise: a short wait for a server that does not answer,
// and, on TCP, keepalives and a user timeout, so that a lost network ends a statement within seconds instead of
// the system's two hours.
const QMap<QString, QString> kDefaultParameters = {
    {QStringLiteral("connect_timeout"), QStringLiteral("5")},
    {QStringLiteral("keepalives_idle"), QStringLiteral("10")},
    {QStringLiteral("keepalives_interval"), QStringLiteral("3")},
    {QStringLiteral("keepalives_count"), QStringLiteral("3")},
    {QStringLiteral("tcp_user_timeout"), QStringLiteral("10000")},
    {QStringLiteral("application_name"), QStringLiteral("socios")},
};

// The server's notices ("already exists, skipping") and the message of a server that closes an idle connection
// ("terminating connection due to administrator command") are not for the operator's terminal: a closed
// connection is noticed and made again.
void dropNotice(void*, const char*) {}

QString engineText(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.driverText().trimmed() : text;
}

// What an SQLSTATE says about the server, the database or the transaction.
StoreError::Cause causeOf(const QString& code, StoreError::Kind kind)
{
    using Cause = StoreError::Cause;
    if (code.startsWith(QLatin1String("08")) || code == QLatin1String("57P01") || code == QLatin1String("57P02") ||
        code == QLatin1String("57P03"))
        return Cause::ServerUnreachable; // connection failures; the server shutting down, crashed or starting
    if (code.startsWith(QLatin1String("28")) || code == QLatin1String("3D000") || code == QLatin1String("53300"))
        return Cause::ServerRefused; // authentication, no such database, too many connections
    if (code == QLatin1String("40001") || code == QLatin1String("40P01"))
        return Cause::Conflict; // serialization failure, deadlock: the transaction was undone
    if (code == QLatin1String("55P03"))
        return Cause::Locked; // lock_timeout: another till holds the lock
    if (code == QLatin1String("57014"))
        return Cause::TooSlow; // statement_timeout
    if (code == QLatin1String("53100"))
        return Cause::DiskFull;
    if (code == QLatin1String("42P01") || code == QLatin1String("42703"))
        return Cause::NotMemberFile; // no such table or column
    if (code == QLatin1String("25006"))
        return Cause::ReadOnly; // a standby, or a read-only transaction
    if (code == QLatin1String("42501"))
        return kind == StoreError::Kind::Write || kind == StoreError::Kind::Create ? Cause::ReadOnly
                                                                                   : Cause::ServerRefused;
    if (code == QLatin1String("XX001") || code == QLatin1String("XX002"))
        return Cause::Damaged;
    return Cause::Other;
}

// Why a connection could not be made: asks the server whether it accepts connections at all, without logging
// in. One that does refused this one (password, permission, database); one that does not is unreachable.
StoreError::Cause whyNotConnected(const StoreAddress& address)
{
    std::vector<QByteArray> keys, values;
    for (auto it = address.parameters().begin(); it != address.parameters().end(); ++it) {
        if (it.key() == QLatin1String("password") || it.key() == QLatin1String("connect_timeout"))
            continue;
        keys.push_back(it.key().toUtf8());
        values.push_back(it.value().toUtf8());
    }
    keys.push_back("connect_timeout");
    values.push_back("2");
    std::vector<const char*> keyList, valueList;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keyList.push_back(keys[i].constData());
        valueList.push_back(values[i].constData());
    }
    keyList.push_back(nullptr);
    valueList.push_back(nullptr);
    switch (PQpingParams(keyList.data(), valueList.data(), 0)) {
    case PQPING_OK:
        return StoreError::Cause::ServerRefused;
    case PQPING_REJECT:
    case PQPING_NO_RESPONSE:
        return StoreError::Cause::ServerUnreachable;
    case PQPING_NO_ATTEMPT:
        break;
    }
    return StoreError::Cause::Other;
}

// How long a new connection waits for the server to answer before the operation fails as unreachable, and how
// often meanwhile the waiting hook runs.
constexpr std::chrono::milliseconds kAnswerWait{1000};
constexpr std::chrono::milliseconds kWaitSlice{20};

// Waits up to `timeout` for `socket` to be ready to read (or to write); false when it is not, or the wait failed.
bool socketReady(int socket, bool read, std::chrono::milliseconds timeout)
{
    pollfd ready{};
    ready.fd = socket;
    ready.events = read ? POLLIN : POLLOUT;
#ifdef Q_OS_WIN
    return WSAPoll(&ready, 1, int(timeout.count())) > 0;
#else
    return ::poll(&ready, 1, int(timeout.count())) > 0;
#endif
}

// Whether the server answers a new connection within kAnswerWait. The connection is made without blocking
// (PQconnectStartParams, PQconnectPoll) and dropped once the question is settled: a server that accepts it, or that
// refuses this login, answers; so does one that cannot be reached at all (refused at once: the normal connection
// then tells why). Only a server that keeps silent (stopped, or a network that drops the packets) does not. The
// waiting hook runs every kWaitSlice meanwhile.
bool answersInTime(const StoreAddress& address, const std::function<void()>& waiting)
{
    QMap<QString, QString> all = kDefaultParameters;
    all.insert(address.parameters());
    std::vector<QByteArray> keys, values;
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        keys.push_back(it.key().toUtf8());
        values.push_back(it.value().toUtf8());
    }
    std::vector<const char*> keyList, valueList;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keyList.push_back(keys[i].constData());
        valueList.push_back(values[i].constData());
    }
    keyList.push_back(nullptr);
    valueList.push_back(nullptr);
    PGconn* connection = PQconnectStartParams(keyList.data(), valueList.data(), 0);
    const auto finish = qScopeGuard([connection] { PQfinish(connection); });
    if (!connection || PQstatus(connection) == CONNECTION_BAD)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
    // A new connection is to be written to first.
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (state != PGRES_POLLING_OK && state != PGRES_POLLING_FAILED) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        const bool ready = socketReady(PQsocket(connection), state == PGRES_POLLING_READING, std::min(left, kWaitSlice));
        if (waiting)
            waiting();
        if (ready)
            state = PQconnectPoll(connection);
    }
    return true;
}

} // namespace

namespace {

struct ClearResult
{
    void operator()(PGresult* result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, ClearResult>;

// The server's type numbers (pg_type.oid) of the columns read as something other than text.
constexpr Oid kBoolType = 16;
constexpr Oid kBigintType = 20;
constexpr Oid kSmallintType = 21;
constexpr Oid kIntegerType = 23;

// A field of a result as the store reads it: no value as a null QVariant, truth values as bool, whole numbers as
// qlonglong, everything else as the text the server sent (UTF-8, the connection's client encoding).
QVariant valueAt(const PGresult* result, int row, int column)
{
    if (!result || row >= PQntuples(result) || column >= PQnfields(result) || PQgetisnull(result, row, column))
        return {};
    const char* text = PQgetvalue(result, row, column);
    const int length = PQgetlength(result, row, column);
    switch (PQftype(result, column)) {
    case kBoolType:
        return QVariant(length > 0 && text[0] == 't');
    case kBigintType:
    case kSmallintType:
    case kIntegerType:
        return QVariant(QByteArray::fromRawData(text, length).toLongLong());
    default:
        return QVariant(QString::fromUtf8(text, length));
    }
}

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

} // namespace

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
        PgResult result = exec(sql, values);
        if (!result)
            return m_lastError;
        return std::nullopt;
    }

    // The same; returns the rows it gives.
    std::optional<QList<QVariantList>> rows(const QString& sql, const QVariantList& values = {})
    {
        const PgResult result = exec(sql, values);
        if (!result)
            return std::nullopt;
        QList<QVariantList> rows;
        for (int row = 0; row < PQntuples(result.get()); ++row) {
            QVariantList& values = rows.emplace_back();
            for (int column = 0; column < PQnfields(result.get()); ++column)
                values << valueAt(result.get(), row, column);
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
    PgResult exec(const QString& sql, const QVariantList& values)
    {
        interruptReading();
        if (broken()) {
            m_lastError = lost();
            return nullptr;
        }
        const QByteArray text = sql.toUtf8();
        const Parameters parameters(values);
        PgResult result(PQexecParams(m_handle, text.constData(), parameters.count(), nullptr, parameters.values(),
                                     nullptr, nullptr, 0));
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
            const PgResult prepared(PQprepare(handle, m_name.constData(), m_sql.constData(), 0, nullptr));
            if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
                m_error = m_connection.errorOf(prepared.get());
                return false;
            }
            m_onServer = true;
        }
        const Parameters parameters(values);
        if (!PQsendQueryPrepared(handle, m_name.constData(), parameters.count(), parameters.values(), nullptr, nullptr,
                                 0)) {
            m_error = m_connection.errorOf(nullptr);
            return false;
        }
        PQsetSingleRowMode(handle);
        m_reading = true;
        m_connection.reading(this);
        // The first result tells whether the statement ran: its first row, the end of no rows, or its error.
        PgResult first(PQgetResult(handle));
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
        PgResult result(PQgetResult(m_connection.handle()));
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

    QVariant value(int column) const override { return valueAt(m_row.get(), 0, column); }
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
    QByteArray m_sql;        // with $1, $2... for its placeholders
    bool m_onServer = false; // prepared in this session
    bool m_reading = false;  // results of the last run still to come from the server
    PgResult m_next;         // the first row, read by run()
    PgResult m_row;          // the row that next() stepped to
    QSqlError m_error;
};

PostgresConnection::PostgresConnection(const StoreAddress& address)
    : m_name(QStringLiteral("socios-postgresql-%1").arg(++s_counter))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    db.setConnectOptions(address.connectOptions(kDefaultParameters));
    if (!db.open()) {
        m_openError = db.lastError();
        return;
    }
    const QVariant handle = db.driver()->handle();
    // The driver declares the handle by the name of the struct behind libpq's typedef.
    if (handle.isValid() && (qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0))
        m_handle = *static_cast<PGconn* const*>(handle.data());
    if (m_handle)
        PQsetNoticeProcessor(m_handle, &dropNotice, nullptr);
    // Texts go both ways in UTF-8, as the driver set the connection.
    if (m_handle && PQclientEncoding(m_handle) != pg_char_to_encoding("UTF8")) {
        m_openError =
            QSqlError(QString(), QStringLiteral("the connection does not speak UTF-8"), QSqlError::ConnectionError);
        m_handle = nullptr;
    }
}

PostgresConnection::~PostgresConnection()
{
    m_reading = nullptr;
    m_statements.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

PreparedStatement& PostgresConnection::prepared(const QString& sql)
{
    if (auto found = m_statements.find(sql); found != m_statements.end())
        return *found->second;
    auto statement = std::make_unique<PostgresStatement>(
        *this, QStringLiteral("socios_%1").arg(m_statements.size() + 1).toUtf8(), sql.toUtf8());
    return *m_statements.emplace(sql, std::move(statement)).first->second;
}

void PostgresConnection::interruptReading()
{
    if (PostgresStatement* statement = std::exchange(m_reading, nullptr))
        statement->interrupt();
}

PostgresEngine::PostgresEngine(StoreAddress address) : StoreEngine(address.displayName()), m_address(std::move(address))
{}

PostgresEngine::~PostgresEngine() = default;

StoreError PostgresEngine::failure(StoreError::Kind kind, StoreError::Cause cause, const QString& detail) const
{
    return StoreError{kind, m_path, detail, cause, {}};
}

StoreError PostgresEngine::error(StoreError::Kind kind, const QSqlError& error) const
{
    StoreError::Cause cause = causeOf(error.nativeErrorCode(), kind);
    // libpq's own failures carry no SQLSTATE: "server closed the connection unexpectedly", "no connection to the
    // server". The connection's state tells them.
    if (cause == StoreError::Cause::Other && (!m_connection || m_connection->broken()))
        cause = StoreError::Cause::ServerUnreachable;
    if (cause == StoreError::Cause::ServerUnreachable)
        m_broken = true;
    return failure(kind, cause, engineText(error));
}

StoreFailure PostgresEngine::connect()
{
    m_connection.reset();
    m_broken = false;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return failure(StoreError::Kind::Open, StoreError::Cause::Other,
                       QStringLiteral("Qt's PostgreSQL driver (QPSQL) is not installed"));
    // A server that keeps silent is told within a second, not after the connection's time-out.
    if (!answersInTime(m_address, m_waiting))
        return failure(StoreError::Kind::Open, StoreError::Cause::ServerUnreachable,
                       QStringLiteral("the server did not answer within %1 ms").arg(kAnswerWait.count()));
    auto connection = std::make_unique<PostgresConnection>(m_address);
    if (!connection->isOpen()) {
        const StoreError::Cause cause = whyNotConnected(m_address);
        // A server that accepts connections now may have refused this one only because it was still starting:
        // tried once more, a refusal is this till's own (password, permission, database).
        if (cause == StoreError::Cause::ServerRefused)
            connection = std::make_unique<PostgresConnection>(m_address);
        if (!connection->isOpen())
            return failure(StoreError::Kind::Open, cause, engineText(connection->openError()));
    }
    // A lock held by another till is waited for as long as SQLite waits for one; a statement is stopped after the
    // operation's time limit (set before each operation).
    if (const std::optional<QSqlError> failed =
            connection->run(QStringLiteral("SELECT set_config('lock_timeout', $1, false), "
                                           "set_config('idle_in_transaction_session_timeout', $2, false)"),
                            {kLockWaitMs, kIdleInTransactionMs})) {
        m_connection = std::move(connection);
        const StoreError reported = error(StoreError::Kind::Open, *failed);
        m_connection.reset();
        return reported;
    }
    m_connection = std::move(connection);
    StoreResult<Schema> schema = examine();
    if (!schema) {
        m_connection.reset();
        return schema.error();
    }
    m_schema = *schema;
    return std::nullopt;
}

StoreResult<PostgresEngine::Schema> PostgresEngine::examine()
{
    // One round trip. Each column of ficha as name, type, filled in by the server, generated, compared byte for
    // byte (its collation is deterministic), separated by unit separators; columns by record separators.
    const std::optional<QList<QVariantList>> found = m_connection->rows(QStringLiteral(
        "SELECT f.relkind::text, "
        "(SELECT string_agg(attname || chr(31) || format_type(atttypid, atttypmod) || chr(31) || "
        "(attidentity <> '' OR (atthasdef AND attgenerated = ''))::text || chr(31) || (attgenerated <> '')::text || "
        "chr(31) || coalesce((SELECT collisdeterministic FROM pg_collation WHERE oid = attcollation), true)::text, "
        "chr(30)) FROM pg_attribute WHERE attrelid = f.oid AND attnum > 0 AND NOT attisdropped), "
        "(SELECT string_agg(c.relname || ' ' || t.tgname, ', ') FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
        "WHERE t.tgrelid IN (f.oid, to_regclass('movimientos')) AND NOT t.tgisinternal), "
        "(SELECT string_agg(c.relname || ' ' || r.rulename, ', ') FROM pg_rewrite r JOIN pg_class c ON c.oid = "
        "r.ev_class WHERE r.ev_class IN (f.oid, to_regclass('movimientos')) AND r.rulename <> '_RETURN'), "
        "f.relrowsecurity, "
        "EXISTS (SELECT 1 FROM pg_index i JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = i.indkey[0] "
        "WHERE i.indrelid = f.oid AND i.indisunique AND i.indnatts = 1 AND i.indpred IS NULL AND a.attname = 'id'), "
        "(SELECT count(*) FROM pg_class WHERE relkind IN ('r', 'v', 'm', 'f', 'p') AND relnamespace = "
        "(SELECT oid FROM pg_namespace WHERE nspname = current_schema())), "
        "current_schema(), "
        "pg_is_in_recovery() OR current_setting('transaction_read_only') = 'on' OR NOT "
        "coalesce(has_table_privilege(f.oid, 'INSERT') AND has_table_privilege(f.oid, 'UPDATE'), true), "
        "to_regclass('movimientos') IS NOT NULL, "
        "(SELECT count(*) FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid WHERE i.indrelid = f.oid AND "
        "i.indisvalid AND c.relname IN ('ficha_ntarjeta', 'ficha_cumple')) "
        "FROM (SELECT to_regclass('ficha') AS oid) AS found LEFT JOIN pg_class f ON f.oid = found.oid"));
    if (!found || found->size() != 1)
        return error(StoreError::Kind::Open, m_connection->lastError());
    enum Column {
        Kind,
        Columns,
        Triggers,
        Rules,
        RowSecurity,
        UniqueId,
        Relations,
        SchemaName,
        ReadOnly,
        History,
        Indexes
    };
    const QVariantList& row = found->front();
    const auto refused = [&](StoreError::Cause cause, const QString& detail) {
        return failure(StoreError::Kind::Open, cause, detail);
    };

    Schema schema;
    m_schemaHash = hash32(row[SchemaName].toString());
    schema.readOnly = row[ReadOnly].toBool();
    schema.history = row[History].toBool();
    if (row[Kind].isNull()) {
        if (row[SchemaName].isNull())
            return refused(StoreError::Cause::CannotOpen,
                           QStringLiteral("no schema of the search_path exists to hold table ficha"));
        schema.empty = row[Relations].toLongLong() == 0;
        return schema;
    }
    schema.ficha = true;
    if (row[Kind].toString() != QLatin1String("r"))
        return refused(StoreError::Cause::UnsafeSchema,
                       QStringLiteral("ficha is not a plain table (pg_class.relkind %1)").arg(row[Kind].toString()));
    enum Part { Type, FilledIn, Generated, Deterministic };
    QMap<QString, QStringList> columns;
    for (const QString& column : row[Columns].toString().split(QChar(30), Qt::SkipEmptyParts)) {
        const QStringList parts = column.split(QChar(31));
        columns.insert(parts.first(), parts.mid(1));
    }
    const QLatin1String yes("true");
    for (Field field : allFields()) {
        const QString name = QLatin1String(fieldName(field));
        if (!columns.contains(name))
            return refused(StoreError::Cause::NotMemberFile, QStringLiteral("table ficha has no column %1").arg(name));
        const QStringList& column = columns[name];
        if (column.value(Type) != QLatin1String("text"))
            return refused(StoreError::Cause::UnsafeSchema,
                           QStringLiteral("column %1 of ficha is %2, not text").arg(name, column.value(Type)));
        if (column.value(Generated) == yes)
            return refused(StoreError::Cause::UnsafeSchema,
                           QStringLiteral("column %1 of ficha is generated").arg(name));
        if (column.value(Deterministic) != yes)
            return refused(StoreError::Cause::UnsafeSchema,
                           QStringLiteral("column %1 of ficha compares texts that differ as equal").arg(name));
    }
    const QStringList id = columns.value(QStringLiteral("id"));
    if (id.isEmpty())
        return refused(StoreError::Cause::NotMemberFile, QStringLiteral("table ficha has no column id"));
    if ((id.value(Type) != QLatin1String("bigint") && id.value(Type) != QLatin1String("integer")) ||
        id.value(FilledIn) != yes)
        return refused(StoreError::Cause::UnsafeSchema,
                       QStringLiteral("column id of ficha is not a number that the server fills in"));
    if (!row[UniqueId].toBool())
        return refused(StoreError::Cause::UnsafeSchema, QStringLiteral("column id of ficha is not unique"));
    if (!row[Triggers].isNull())
        return refused(StoreError::Cause::UnsafeSchema,
                       QStringLiteral("triggers act on the tables of socios: %1").arg(row[Triggers].toString()));
    if (!row[Rules].isNull())
        return refused(StoreError::Cause::UnsafeSchema,
                       QStringLiteral("rules act on the tables of socios: %1").arg(row[Rules].toString()));
    if (row[RowSecurity].toBool())
        return refused(StoreError::Cause::UnsafeSchema,
                       QStringLiteral("row security hides rows of ficha from some users"));
    schema.indexesMissing = row[Indexes].toLongLong() < kIndexNames.size();
    return schema;
}

StoreResult<bool> PostgresEngine::createSchema()
{
    QStringList columns;
    for (Field field : allFields())
        columns << QLatin1String(fieldName(field)) + QStringLiteral(" text");
    const QString identity = QStringLiteral("id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
    QStringList statements = {
        QStringLiteral("CREATE TABLE ficha (%1, %2)").arg(columns.join(QLatin1String(", ")), identity),
    };
    statements << kIndexes;
    statements << QStringLiteral("CREATE TABLE IF NOT EXISTS movimientos (%1 text, %2)")
                      .arg(kHistoryColumns.join(QLatin1String(" text, ")), identity)
               << QStringLiteral("CREATE INDEX IF NOT EXISTS movimientos_ntarjeta ON movimientos (ntarjeta)");

    const auto failed = [&](const QSqlError& sqlError) {
        const StoreError reported = error(StoreError::Kind::Create, sqlError);
        m_connection->run(QStringLiteral("ROLLBACK"));
        return reported;
    };
    if (const std::optional<QSqlError> refused = m_connection->run(beginWrite()))
        return failed(*refused);
    // Two tills starting at once on an empty database: the second waits here, then finds the table made.
    if (const std::optional<QSqlError> refused = m_connection->run(QStringLiteral("SELECT pg_advisory_xact_lock($1)"),
                                                                   {kSchemaLockTag | quint32(m_schemaHash)}))
        return failed(*refused);
    // Read from pg_class itself, through the statement's snapshot: a lookup by name (to_regclass) may still answer
    // from this session's cache, which hears of the other till's commit only at its next lock on a table.
    const std::optional<QList<QVariantList>> present = m_connection->rows(
        QStringLiteral("SELECT EXISTS (SELECT 1 FROM pg_class WHERE relname = 'ficha' AND relnamespace = "
                       "(SELECT oid FROM pg_namespace WHERE nspname = current_schema()))"));
    if (!present)
        return failed(m_connection->lastError());
    if (present->value(0).value(0).toBool()) {
        m_connection->run(QStringLiteral("ROLLBACK"));
        return false;
    }
    for (const QString& statement : statements)
        if (const std::optional<QSqlError> refused = m_connection->run(statement))
            return failed(*refused);
    if (const std::optional<QSqlError> refused = m_connection->run(QStringLiteral("COMMIT")))
        return failed(*refused);
    return true;
}

StoreFailure PostgresEngine::openOrCreate(MemberStore::Startup& startup, MemberStore::Indexes indexes,
                                          MemberStore::Shape)
{
    // A server's tables are examined as Usable: no copy is restored on a server.
    startup = {};
    if (StoreFailure failed = prepareOperation(MemberStore::kOperationLimit))
        return failed;
    if (!m_schema.ficha) {
        if (!m_schema.empty)
            return failure(StoreError::Kind::Open, StoreError::Cause::NotMemberFile,
                           QStringLiteral("the database holds other tables, but no table ficha"));
        const StoreResult<bool> created = createSchema();
        if (!created)
            return created.error();
        startup.created = *created;
        StoreResult<Schema> schema = examine();
        if (!schema)
            return schema.error();
        m_schema = *schema;
    }
    if (m_schema.readOnly)
        startup.writesRefused = StoreError::Cause::ReadOnly;
    startup.indexesMissing = m_schema.indexesMissing;
    if (startup.indexesMissing && indexes == MemberStore::Indexes::Build && !m_schema.readOnly) {
        if (StoreFailure failed = buildMissingIndexes())
            qWarning("socios: lookups in %s stay unindexed: %s", qUtf8Printable(m_path),
                     qUtf8Printable(failed->toString()));
        else
            startup.indexesMissing = false;
    }
    return std::nullopt;
}

StoreFailure PostgresEngine::prepareOperation(std::chrono::milliseconds limit)
{
    if (m_connection && (m_broken || !m_connection->connected()))
        m_connection.reset();
    if (m_connection && m_connection->inTransaction())
        m_connection->run(QStringLiteral("ROLLBACK"));
    if (!m_connection) {
        if (StoreFailure failed = connect())
            return failed;
    }
    if (const std::optional<QSqlError> failed = m_connection->setLimit(limit))
        return error(StoreError::Kind::Open, *failed);
    return std::nullopt;
}

PreparedStatement& PostgresEngine::prepared(const QString& sql)
{
    return m_connection->prepared(sql);
}

QString PostgresEngine::placeholder(int number) const
{
    return QLatin1Char('$') + QString::number(number);
}

std::optional<QSqlError> PostgresEngine::run(const QString& sql)
{
    return m_connection->run(sql);
}

StoreFailure PostgresEngine::lockCard(const QString& card)
{
    // Shared on the table's key first, then the card's: always in this order, so two writers never wait for each
    // other in a circle.
    Statement lock(*this, QStringLiteral("SELECT pg_advisory_xact_lock_shared($1), pg_advisory_xact_lock($2, $3)"));
    if (!lock.run({kTableLockTag | quint32(m_schemaHash), m_schemaHash, hash32(card)}))
        return error(StoreError::Kind::Write, lock.error());
    return std::nullopt;
}

StoreFailure PostgresEngine::lockTable()
{
    // The advisory key keeps tills out; the table lock keeps out any other program that writes rows.
    Statement lock(*this, QStringLiteral("SELECT pg_advisory_xact_lock($1)"));
    if (!lock.run({kTableLockTag | quint32(m_schemaHash)}))
        return error(StoreError::Kind::Write, lock.error());
    if (const std::optional<QSqlError> failed = run(QStringLiteral("LOCK TABLE ficha IN SHARE ROW EXCLUSIVE MODE")))
        return error(StoreError::Kind::Write, *failed);
    return std::nullopt;
}

StoreFailure PostgresEngine::backupTo(const QString& file)
{
    return StoreError{StoreError::Kind::Write,
                      file,
                      QStringLiteral("a server's copy is made row by row"),
                      StoreError::Cause::Other,
                      {}};
}

StoreResult<bool> PostgresEngine::hasHistory()
{
    const std::optional<QList<QVariantList>> found =
        m_connection->rows(QStringLiteral("SELECT to_regclass('movimientos') IS NOT NULL"));
    if (!found)
        return error(StoreError::Kind::Read, m_connection->lastError());
    return found->value(0).value(0).toBool();
}

StoreResult<bool> PostgresEngine::hasErasures()
{
    const std::optional<QList<QVariantList>> found =
        m_connection->rows(QStringLiteral("SELECT to_regclass('%1') IS NOT NULL").arg(kErasureTable));
    if (!found)
        return error(StoreError::Kind::Read, m_connection->lastError());
    return found->value(0).value(0).toBool();
}

StoreFailure PostgresEngine::prepareHistory()
{
    // Made with the schema; made again here only when it was dropped since (under the schema's lock, so that two
    // tills do not make it at once).
    if (m_schema.history)
        return std::nullopt;
    if (const std::optional<QSqlError> failed = m_connection->run(QStringLiteral("SELECT pg_advisory_xact_lock($1)"),
                                                                  {kSchemaLockTag | quint32(m_schemaHash)}))
        return error(StoreError::Kind::Write, *failed);
    for (const QString& statement :
         {QStringLiteral("CREATE TABLE IF NOT EXISTS movimientos (%1 text, id bigint GENERATED ALWAYS AS IDENTITY "
                         "PRIMARY KEY)")
              .arg(kHistoryColumns.join(QLatin1String(" text, "))),
          QStringLiteral("CREATE INDEX IF NOT EXISTS movimientos_ntarjeta ON movimientos (ntarjeta)")})
        if (const std::optional<QSqlError> failed = run(statement))
            return error(StoreError::Kind::Write, *failed);
    return std::nullopt;
}

StoreFailure PostgresEngine::buildMissingIndexes()
{
    if (StoreFailure failed = prepareOperation(MemberStore::kWholeFileLimit))
        return failed;
    // One index per transaction: other tills' writes wait for one index at a time.
    const QVariantList schemaKey = {kSchemaLockTag | quint32(m_schemaHash)};
    for (const QString& index : kIndexes) {
        for (const auto& [statement, values] : {std::pair{beginWrite(), QVariantList()},
                                                {QStringLiteral("SELECT pg_advisory_xact_lock($1)"), schemaKey},
                                                {index, QVariantList()},
                                                {QStringLiteral("COMMIT"), QVariantList()}}) {
            if (const std::optional<QSqlError> failed = m_connection->run(statement, values)) {
                const StoreError reported = error(StoreError::Kind::Write, *failed);
                run(QStringLiteral("ROLLBACK"));
                return reported;
            }
        }
    }
    m_schema.indexesMissing = false;
    return std::nullopt;
}

StoreResult<MemberStore::Durability> PostgresEngine::durability()
{
    if (StoreFailure failed = prepareOperation(MemberStore::kOperationLimit))
        return *failed;
    const std::optional<QList<QVariantList>> settings =
        m_connection->rows(QStringLiteral("SELECT current_setting('synchronous_commit'), current_setting('fsync')"));
    if (!settings || settings->isEmpty())
        return error(StoreError::Kind::Read, m_connection->lastError());
    const bool durable = settings->front().value(0).toString() != QLatin1String("off") &&
                         settings->front().value(1).toString() == QLatin1String("on");
    return MemberStore::Durability{QStringLiteral("wal"), durable ? 2 : 0};
}
