#include "store/postgres/PostgresConnection.h"

#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlDriver>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <poll.h>
#endif

#include <QScopeGuard>

namespace postgres {

namespace {

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

// The server's type numbers (pg_type.oid) of the columns read as something other than text.
constexpr Oid kBoolType = 16;
constexpr Oid kBigintType = 20;
constexpr Oid kSmallintType = 21;
constexpr Oid kIntegerType = 23;

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

} // namespace

// The same 32 bits on every till, whatever its platform or version.
qint32 hash32(const QString& text)
{
    const QByteArray digest = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1);
    return qint32(quint32(uchar(digest[0])) << 24 | quint32(uchar(digest[1])) << 16 | quint32(uchar(digest[2])) << 8 |
                  quint32(uchar(digest[3])));
}

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

// Connection parameters as libpq's keyword calls take them: two lists of UTF-8 texts, each ending in a null.
class ConnectionKeywords
{
public:
    explicit ConnectionKeywords(const QMap<QString, QString>& parameters)
    {
        for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
            m_texts.push_back(it.key().toUtf8());
            m_texts.push_back(it.value().toUtf8());
        }
        for (std::size_t i = 0; i < m_texts.size(); i += 2) {
            m_keys.push_back(m_texts[i].constData());
            m_values.push_back(m_texts[i + 1].constData());
        }
        m_keys.push_back(nullptr);
        m_values.push_back(nullptr);
    }
    const char* const* keys() const { return m_keys.data(); }
    const char* const* values() const { return m_values.data(); }

private:
    std::vector<QByteArray> m_texts;
    std::vector<const char*> m_keys, m_values;
};

// Why a connection could not be made: asks the server whether it accepts connections at all, without logging
// in. One that does refused this one (password, permission, database); one that does not is unreachable.
StoreError::Cause whyNotConnected(const StoreAddress& address)
{
    QMap<QString, QString> parameters = address.parameters();
    parameters.remove(QStringLiteral("password"));
    parameters.insert(QStringLiteral("connect_timeout"), QStringLiteral("2"));
    const ConnectionKeywords keywords(parameters);
    switch (PQpingParams(keywords.keys(), keywords.values(), 0)) {
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

// Whether the server answers a new connection within kAnswerWait. The connection is made without blocking
// (PQconnectStartParams, PQconnectPoll) and dropped once the question is settled: a server that accepts it, or that
// refuses this login, answers; so does one that cannot be reached at all (refused at once: the normal connection
// then tells why). Only a server that keeps silent (stopped, or a network that drops the packets) does not. The
// waiting hook runs every kWaitSlice meanwhile.
bool answersInTime(const StoreAddress& address, const std::function<void()>& waiting)
{
    QMap<QString, QString> all = kDefaultParameters;
    all.insert(address.parameters());
    const ConnectionKeywords keywords(all);
    PGconn* connection = PQconnectStartParams(keywords.keys(), keywords.values(), 0);
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
        const bool ready =
            socketReady(PQsocket(connection), state == PGRES_POLLING_READING, std::min(left, kWaitSlice));
        if (waiting)
            waiting();
        if (ready)
            state = PQconnectPoll(connection);
    }
    return true;
}

// A field of a result as the store reads it: no value as a null QVariant, truth values as bool, whole numbers as
// qlonglong, everything else as the text the server sent (UTF-8, the connection's client encoding).
QVariant valueAt(const PGresult* result, int row, int column)
{
    // libpq also answers "null" for no result (no current row), or a row or column it does not have.
    if (PQgetisnull(result, row, column))
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

} // namespace postgres

using namespace postgres;

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
