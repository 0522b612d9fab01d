#pragma once

#include "store/StoreAddress.h"
#include "store/StoreEngine.h"

#include <memory>

class PostgresConnection;

// Table "ficha" of a PostgreSQL database, on a connection that Qt's QPSQL driver opens and libpq's own calls then
// use, with every value sent apart from the statement's text: the member base that the tills of several shops
// share.
//
// Schema: "ficha" holds the thirteen fields as text, then "id", an identity column that keeps table order; the
// lookup indexes; and the points history "movimientos" (seven text columns and an id). A database that holds no
// table in the schema the connection creates into gets them at start-up, in one transaction under an advisory
// lock, so two tills starting at once on an empty database make them once. Anything else must already hold a
// "ficha" that is a plain table with the thirteen columns as text and an id that the server fills in, and no
// trigger or rule on a table that socios writes; otherwise it is refused before anything is written.
//
// Concurrency: write transactions run at READ COMMITTED. A write that concerns one card number first takes a
// transaction-level advisory lock on the number (on a hash of it and of the schema: two numbers that share a hash
// only wait for each other) and a shared lock on the table's key, which fillEmpty() takes exclusively; each
// statement after that sees every change committed before it, and the row to change is locked (FOR UPDATE). A
// lock that another till holds for more than a few seconds gives Locked.
//
// Connection: one kept connection. Before each operation, what the server sent meanwhile is read without a round
// trip, so a connection that the server closed (stopped, restarted) is noticed and made again; so is one that
// failed during the previous operation. The server stops each statement after the operation's time limit; on TCP,
// keepalives and a user timeout end a connection to a server that stopped answering. The password comes from
// ~/.pgpass or PGPASSFILE, which libpq reads itself, unless the address carries one.
class PostgresEngine final : public StoreEngine
{
public:
    explicit PostgresEngine(StoreAddress address);
    ~PostgresEngine() override;

    StoreResult<void> openOrCreate(StoreStartup& startup, StoreIndexes indexes, StoreShape shape) override;
    StoreResult<void> prepareOperation(std::chrono::milliseconds limit) override;
    PreparedStatement& prepared(const QString& sql) override;
    QString placeholder(int number) const override;
    std::optional<QSqlError> run(const QString& sql) override;

    QString rowId() const override { return QStringLiteral("id"); }
    QString read(Field field) const override { return QLatin1String(fieldName(field)); }
    QString text(const QVariant& value) const override { return value.toString(); }

    QString beginWrite() const override { return QStringLiteral("BEGIN ISOLATION LEVEL READ COMMITTED"); }
    StoreResult<void> lockCard(const QString& card) override;
    StoreResult<void> lockTable() override;
    QString lockRow() const override { return QStringLiteral(" FOR UPDATE"); }

    StoreResult<std::vector<FoundRow>> rowsWithCard(const QString& card) override
    {
        return rowsWithCardByStatement(*this, card);
    }
    // A server's copy is made row by row by MemberStore::backupTo().
    StoreResult<void> backupTo(const QString& file) override;
    StoreResult<void> prepareHistory() override;
    StoreResult<bool> hasHistory() override;
    StoreResult<bool> hasErasures() override;

    StoreError error(StoreError::Kind kind, const QSqlError& error) const override;

    StoreResult<void> buildMissingIndexes() override;
    // A server has no check of its files that a client may start; it checks its pages itself (data checksums).
    StoreResult<bool> quickCheck() override { return true; }

private:
    // What the examination of the database found.
    struct Schema
    {
        bool ficha = false;    // "ficha" exists
        bool empty = false;    // no "ficha", and no other table in the schema where it would be made
        bool readOnly = false; // a standby, a read-only default, or no right to add and change rows
        bool history = false;  // "movimientos" exists
        bool indexesMissing = false;
    };

    // Opens the kept connection and examines the database.
    StoreResult<void> connect();
    StoreResult<Schema> examine();
    // Makes the tables and indexes in the empty database; false when another till made them meanwhile.
    StoreResult<bool> createSchema();
    StoreError failure(StoreError::Kind kind, StoreError::Cause cause, const QString& detail) const;

    StoreAddress m_address;
    std::unique_ptr<PostgresConnection> m_connection;
    Schema m_schema;
    qint32 m_schemaHash = 0; // of the schema that holds "ficha": the advisory lock keys of one member base
    // Set when an error showed that the connection is gone: the next operation makes a new one.
    mutable bool m_broken = false;
};
