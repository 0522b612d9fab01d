#include "store/postgres/PostgresEngine.h"

#include "store/MemberStore.h"
#include "store/postgres/PostgresConnection.h"

#include <QSqlDatabase>

#include <QScopeGuard>

using namespace postgres;

PostgresEngine::PostgresEngine(StoreAddress address)
    : StoreEngine(address.displayName(), StoreError::Store::Server), m_address(std::move(address))
{}

PostgresEngine::~PostgresEngine() = default;

StoreError PostgresEngine::failure(StoreError::Kind kind, StoreError::Cause cause, const QString& detail) const
{
    return StoreError{kind, m_path, detail, cause, {}, StoreError::Store::Server};
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

StoreResult<void> PostgresEngine::connect()
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
    return {};
}

StoreResult<void> PostgresEngine::prepareOperation(std::chrono::milliseconds limit)
{
    if (m_connection && (m_broken || !m_connection->connected()))
        m_connection.reset();
    if (m_connection && m_connection->inTransaction())
        m_connection->run(QStringLiteral("ROLLBACK"));
    if (!m_connection) {
        if (StoreResult<void> done = connect(); !done)
            return done;
    }
    if (const std::optional<QSqlError> failed = m_connection->setLimit(limit))
        return error(StoreError::Kind::Open, *failed);
    return {};
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

StoreResult<void> PostgresEngine::lockCard(const QString& card)
{
    // Shared on the table's key first, then the card's: always in this order, so two writers never wait for each
    // other in a circle.
    Statement lock(*this, QStringLiteral("SELECT pg_advisory_xact_lock_shared($1), pg_advisory_xact_lock($2, $3)"));
    if (!lock.run({kTableLockTag | quint32(m_schemaHash), m_schemaHash, hash32(card)}))
        return error(StoreError::Kind::Write, lock.error());
    return {};
}

StoreResult<void> PostgresEngine::lockTable()
{
    // The advisory key keeps tills out; the table lock keeps out any other program that writes rows.
    Statement lock(*this, QStringLiteral("SELECT pg_advisory_xact_lock($1)"));
    if (!lock.run({kTableLockTag | quint32(m_schemaHash)}))
        return error(StoreError::Kind::Write, lock.error());
    if (const std::optional<QSqlError> failed = run(QStringLiteral("LOCK TABLE ficha IN SHARE ROW EXCLUSIVE MODE")))
        return error(StoreError::Kind::Write, *failed);
    return {};
}

StoreResult<void> PostgresEngine::backupTo(const QString& file)
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

StoreResult<void> PostgresEngine::prepareHistory()
{
    // Made with the schema; made again here only when it was dropped since (under the schema's lock, so that two
    // tills do not make it at once).
    if (m_schema.history)
        return {};
    if (const std::optional<QSqlError> failed = m_connection->run(QStringLiteral("SELECT pg_advisory_xact_lock($1)"),
                                                                  {kSchemaLockTag | quint32(m_schemaHash)}))
        return error(StoreError::Kind::Write, *failed);
    for (const QString& statement : historyDefinition())
        if (const std::optional<QSqlError> failed = run(statement))
            return error(StoreError::Kind::Write, *failed);
    return {};
}

StoreResult<void> PostgresEngine::buildMissingIndexes()
{
    if (StoreResult<void> done = prepareOperation(MemberStore::kWholeFileLimit); !done)
        return done;
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
    return {};
}
