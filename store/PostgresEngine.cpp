#include "store/PostgresEngine.h"

#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlRecord>

#include <libpq-fe.h>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <poll.h>
#endif

#include <QScopeGuard>

#include <atomic>
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

// One connection through Qt's PostgreSQL driver, with its prepared statements.
//
// The statements are prepared on the server under names of this connection's own (PREPARE, then EXECUTE with the
// values as the driver quotes them), not through QSqlQuery::prepare(): the driver frees each of its statements on
// the server when its query object goes, which on a lost connection fails, with a warning, for every one of them.
// These die with the session instead. On a connection known to be lost nothing is sent: the failure is recorded,
// and error() reports it.
class PostgresConnection
{
public:
    explicit PostgresConnection(const StoreAddress& address)
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
        if (handle.isValid() &&
            (qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0))
            m_handle = *static_cast<PGconn* const*>(handle.data());
        if (m_handle)
            PQsetNoticeProcessor(m_handle, &dropNotice, nullptr);
    }

    ~PostgresConnection()
    {
        m_statements.clear();
        m_queries.clear();
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }

    PostgresConnection(const PostgresConnection&) = delete;
    PostgresConnection& operator=(const PostgresConnection&) = delete;

    bool isOpen() const { return m_handle != nullptr; }
    const QSqlError& openError() const { return m_openError; }
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

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

    QSqlQuery& prepared(const QString& sql)
    {
        if (auto found = m_queries.find(sql); found != m_queries.end())
            return *found->second;
        auto query = std::make_unique<QSqlQuery>(database());
        query->setForwardOnly(true);
        m_statements.emplace(query.get(), Prepared{QStringLiteral("socios_%1").arg(m_queries.size() + 1),
                                                   numberedPlaceholders(sql), false});
        return *m_queries.emplace(sql, std::move(query)).first->second;
    }

    bool execute(QSqlQuery& query, const QVariantList& values)
    {
        Prepared& statement = m_statements.at(&query);
        if (broken()) {
            m_failure = lost();
            return false;
        }
        if (!statement.onServer) {
            if (const std::optional<QSqlError> failed =
                    run(QStringLiteral("PREPARE %1 AS %2").arg(statement.name, statement.sql))) {
                m_failure = *failed;
                return false;
            }
            statement.onServer = true;
        }
        QStringList literals;
        QSqlField field;
        for (const QVariant& value : values) {
            field.setMetaType(value.metaType());
            if (value.isNull())
                field.clear();
            else
                field.setValue(value);
            literals << database().driver()->formatValue(field);
        }
        return query.exec(
            literals.isEmpty()
                ? QStringLiteral("EXECUTE ") + statement.name
                : QStringLiteral("EXECUTE %1 (%2)").arg(statement.name, literals.join(QLatin1String(", "))));
    }

    // The failure of the last statement that did not reach the query object: the preparation, or a connection
    // known to be lost.
    std::optional<QSqlError> takeFailure() { return std::exchange(m_failure, std::nullopt); }

    std::optional<QSqlError> run(const QString& sql)
    {
        if (broken())
            return lost();
        QSqlQuery query(database());
        query.setForwardOnly(true);
        if (!query.exec(sql))
            return query.lastError();
        return std::nullopt;
    }

    // Runs one statement without keeping it; returns the rows it gives.
    std::optional<QList<QVariantList>> rows(const QString& sql)
    {
        if (broken()) {
            m_lastError = lost();
            return std::nullopt;
        }
        QSqlQuery query(database());
        query.setForwardOnly(true);
        if (!query.exec(sql)) {
            m_lastError = query.lastError();
            return std::nullopt;
        }
        QList<QVariantList> rows;
        while (query.next()) {
            QVariantList& row = rows.emplace_back();
            for (int i = 0; i < query.record().count(); ++i)
                row << query.value(i);
        }
        if (query.lastError().isValid()) {
            m_lastError = query.lastError();
            return std::nullopt;
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
            run(QStringLiteral("SELECT set_config('statement_timeout', '%1', false)").arg(limit.count()));
        if (!failed)
            m_limit = limit;
        return failed;
    }

private:
    struct Prepared
    {
        QString name;
        QString sql;           // with $1, $2... for its placeholders
        bool onServer = false; // prepared in this session
    };

    // "?" becomes $1, $2...; a "?" inside a quoted literal stays.
    static QString numberedPlaceholders(const QString& sql)
    {
        QString numbered;
        bool quoted = false;
        int count = 0;
        for (const QChar c : sql) {
            if (c == QLatin1Char('\''))
                quoted = !quoted;
            if (c == QLatin1Char('?') && !quoted)
                numbered += QLatin1Char('$') + QString::number(++count);
            else
                numbered += c;
        }
        return numbered;
    }

    QSqlError lost() const
    {
        const QString text = m_handle ? QString::fromUtf8(PQerrorMessage(m_handle)).trimmed() : QString();
        return QSqlError(QStringLiteral("no connection to the server"), text, QSqlError::ConnectionError);
    }

    static inline std::atomic<quint64> s_counter{0};

    QString m_name;
    PGconn* m_handle = nullptr;
    QSqlError m_openError;
    QSqlError m_lastError;
    std::optional<QSqlError> m_failure;
    std::chrono::milliseconds m_limit{0};
    std::unordered_map<QString, std::unique_ptr<QSqlQuery>> m_queries;
    std::unordered_map<const QSqlQuery*, Prepared> m_statements;
};

PostgresEngine::PostgresEngine(StoreAddress address) : StoreEngine(address.displayName()), m_address(std::move(address))
{}

PostgresEngine::~PostgresEngine() = default;

StoreError PostgresEngine::failure(StoreError::Kind kind, StoreError::Cause cause, const QString& detail) const
{
    return StoreError{kind, m_path, detail, cause, {}};
}

StoreError PostgresEngine::error(StoreError::Kind kind, const QSqlError& error) const
{
    const QSqlError reported = (m_connection ? m_connection->takeFailure() : std::nullopt).value_or(error);
    StoreError::Cause cause = causeOf(reported.nativeErrorCode(), kind);
    // libpq's own failures carry no SQLSTATE: "server closed the connection unexpectedly", "no connection to the
    // server". The connection's state tells them.
    if (cause == StoreError::Cause::Other && (!m_connection || m_connection->broken()))
        cause = StoreError::Cause::ServerUnreachable;
    if (cause == StoreError::Cause::ServerUnreachable)
        m_broken = true;
    return failure(kind, cause, engineText(reported));
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
            connection->run(QStringLiteral("SELECT set_config('lock_timeout', '%1', false), "
                                           "set_config('idle_in_transaction_session_timeout', '%2', false)")
                                .arg(kLockWaitMs)
                                .arg(kIdleInTransactionMs))) {
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
    if (const std::optional<QSqlError> refused = m_connection->run(
            QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockTag | quint32(m_schemaHash))))
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

QSqlQuery& PostgresEngine::prepared(const QString& sql)
{
    return m_connection->prepared(sql);
}

bool PostgresEngine::execute(QSqlQuery& query, const QVariantList& values)
{
    return m_connection->execute(query, values);
}

std::optional<QSqlError> PostgresEngine::run(const QString& sql)
{
    return m_connection->run(sql);
}

StoreFailure PostgresEngine::lockCard(const QString& card)
{
    // Shared on the table's key first, then the card's: always in this order, so two writers never wait for each
    // other in a circle.
    Statement lock(*this, QStringLiteral("SELECT pg_advisory_xact_lock_shared(?), pg_advisory_xact_lock(?, ?)"));
    if (!lock.run({kTableLockTag | quint32(m_schemaHash), m_schemaHash, hash32(card)}))
        return error(StoreError::Kind::Write, lock.query().lastError());
    return std::nullopt;
}

StoreFailure PostgresEngine::lockTable()
{
    // The advisory key keeps tills out; the table lock keeps out any other program that writes rows.
    Statement lock(*this, QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
    if (!lock.run({kTableLockTag | quint32(m_schemaHash)}))
        return error(StoreError::Kind::Write, lock.query().lastError());
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
    for (const QString& statement :
         {QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockTag | quint32(m_schemaHash)),
          QStringLiteral("CREATE TABLE IF NOT EXISTS movimientos (%1 text, id bigint GENERATED ALWAYS AS IDENTITY "
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
    for (const QString& index : kIndexes) {
        for (const QString& statement :
             {beginWrite(),
              QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockTag | quint32(m_schemaHash)), index,
              QStringLiteral("COMMIT")}) {
            if (const std::optional<QSqlError> failed = run(statement)) {
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
