#include "tests/support/TestStore.h"

#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>

#include <atomic>

bool testingServer()
{
    return qEnvironmentVariable("SOCIOS_TEST_STORE") == QLatin1String("postgresql");
}

QString testServerUri()
{
    const QString uri = QString::fromUtf8(fileBytes(qEnvironmentVariable("SOCIOS_TEST_POSTGRES"))).trimmed();
    if (uri.isEmpty())
        qFatal("the test server is not running: SOCIOS_TEST_POSTGRES names no address (CTest starts the server with "
               "scripts/test-postgres.sh; PostgreSQL must be installed: scripts/setup.sh)");
    return uri;
}

TestStore::TestStore(const QString& serverUri)
{
    if (serverUri.isEmpty()) {
        m_dir.emplace();
        m_uri = m_dir->filePath(QStringLiteral("MIS PROGRAMAS/dorvel.mdb"));
        m_address = StoreAddress::file(m_uri);
        return;
    }
    static std::atomic<int> counter{0};
    m_server = serverUri;
    m_schema = QStringLiteral("t%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    const std::optional<StoreAddress> server = StoreAddress::parse(m_server);
    if (!server)
        qFatal("not a server address: %s", qUtf8Printable(m_server));
    ::execSql(*server, QStringLiteral("CREATE SCHEMA ") + m_schema);
    // The store's connections find (and make) their tables in the schema, as libpq's own option sets it.
    m_uri = m_server + (m_server.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?')) +
            QStringLiteral("options=") + QString::fromLatin1(QUrl::toPercentEncoding("-csearch_path=" + m_schema));
    m_address = *StoreAddress::parse(m_uri);
}

TestStore::~TestStore()
{
    if (m_schema.isEmpty())
        return;
    // Another process may still hold a lock on the schema's tables (a till the test killed): left to the
    // throwaway server's end rather than waited for.
    const QString name = QStringLiteral("test-store-drop");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setConnectOptions(StoreAddress::parse(m_server)->connectOptions());
        QSqlQuery query(db);
        if (!db.open() || !query.exec(QStringLiteral("SET lock_timeout = 2000")) ||
            !query.exec(QStringLiteral("SET client_min_messages = warning")) ||
            !query.exec(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(m_schema)))
            qWarning("schema %s left on the test server", qUtf8Printable(m_schema));
    }
    QSqlDatabase::removeDatabase(name);
}

TestStore& TestStore::create(const QList<MemberRecord>& rows)
{
    const MemberStore store(m_address);
    StoreResult<void> made = store.openOrCreate();
    for (const MemberRecord& row : rows)
        if (made)
            made = store.append(row);
    if (!made)
        qFatal("cannot create the member store: %s", qUtf8Printable(made.error().toString()));
    return *this;
}

TestStore& TestStore::createFromFixture(const QString& script)
{
    create();
    QFile file(testDataPath(script));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qUtf8Printable(file.fileName()));
    execSql(QString::fromUtf8(file.readAll()));
    return *this;
}

QString TestStore::rowOrder() const
{
    return onServer() ? QStringLiteral("id") : QStringLiteral("rowid");
}

QList<QStringList> TestStore::execSql(const QString& sql) const
{
    return ::execSql(m_address, sql);
}

QList<MemberRecord> TestStore::allRows() const
{
    QStringList names;
    for (Field f : allFields())
        names << QLatin1String(fieldName(f));
    QList<MemberRecord> rows;
    for (const QStringList& values : execSql("SELECT " + names.join(',') + " FROM ficha ORDER BY " + rowOrder())) {
        MemberRecord& row = rows.emplace_back();
        for (Field f : allFields())
            row[f] = values[int(f)];
    }
    return rows;
}

bool startHelper(QProcess& helper, const QStringList& arguments, const QByteArray& ready)
{
    helper.start(qEnvironmentVariable("SOCIOS_TEST_HELPER"), arguments);
    return helper.waitForReadyRead(20000) && helper.readLine() == ready + '\n';
}

PrivateServer::PrivateServer()
{
    if (!start())
        qFatal("cannot start a PostgreSQL server of the test's own (scripts/test-postgres.sh)");
}

PrivateServer::~PrivateServer()
{
    script(QStringLiteral("stop"));
}

bool PrivateServer::script(const QString& command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(qEnvironmentVariable("SOCIOS_TEST_POSTGRES_SCRIPT"), {command, m_dir.path()});
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool PrivateServer::start()
{
    return script(QStringLiteral("start"));
}

bool PrivateServer::stop()
{
    return script(QStringLiteral("pause"));
}

QString PrivateServer::uri() const
{
    return QString::fromUtf8(fileBytes(m_dir.filePath(QStringLiteral("uri")))).trimmed();
}
