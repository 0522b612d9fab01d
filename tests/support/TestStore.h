#pragma once

#include "store/MemberStore.h"

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

// The store's tests run on SQLite member files, or, with SOCIOS_TEST_STORE=postgresql, on the test server whose
// address scripts/test-postgres.sh wrote into the file that SOCIOS_TEST_POSTGRES names (CTest starts it around the
// tests that need it). A run on the server without the server stops at once: it never passes by skipping.
bool testingServer();

// The address of the test server's database "socios".
QString testServerUri();

// A member store of one test's own: a new member file in a temporary folder, or a new schema of the server's
// database "socios" (the test server's, or `serverUri`), dropped at the end.
class TestStore
{
public:
    explicit TestStore(const QString& serverUri = testingServer() ? testServerUri() : QString());
    ~TestStore();
    TestStore(const TestStore&) = delete;
    TestStore& operator=(const TestStore&) = delete;

    // Makes the store as a first start makes it, with `rows` added in order; or from an SQL script of tests/data
    // (tests/data/members.sql) run on the new store.
    TestStore& create(const QList<MemberRecord>& rows = {});
    TestStore& createFromFixture(const QString& script);

    const StoreAddress& address() const { return m_address; }
    // What names the store to another process: socios --database, socios-test-helper.
    const QString& uri() const { return m_uri; }
    bool onServer() const { return m_address.isServer(); }
    // The column that keeps table order, for SQL run outside the store ("rowid", "id").
    QString rowOrder() const;

    // Runs SQL on the store as another program would, outside it (statements each ending with ';' at the end of a
    // line); returns the rows that the last one selects.
    QList<QStringList> execSql(const QString& sql) const;
    // Every row of "ficha" in table order, read outside the store.
    QList<MemberRecord> allRows() const;

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_server; // the server's database, without the schema
    QString m_schema;
    QString m_uri;
    StoreAddress m_address;
};

// Starts socios-test-helper with `arguments` and waits until it says `ready` (a line of its own).
bool startHelper(QProcess& helper, const QStringList& arguments, const QByteArray& ready);

// Runs SQL on a store outside it; see TestStore::execSql.
QList<QStringList> execSql(const StoreAddress& store, const QString& sql);

// A PostgreSQL server of one test's own (scripts/test-postgres.sh), which the test may stop and start again;
// removed at the end.
class PrivateServer
{
public:
    PrivateServer();
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    // Start and stop (pg_ctl stop -m fast) the server; false, with the script's words on stderr, when it fails.
    bool start();
    bool stop();
    // The address of its database "socios" over the Unix socket.
    QString uri() const;

private:
    bool script(const QString& command);
    QTemporaryDir m_dir;
};
