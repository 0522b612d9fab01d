#include "app/Messages.h"
#include "operations/CardOperations.h"
#include "store/MemberStore.h"
#include "tests/support/OperationFixture.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestSupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

using Cause = StoreError::Cause;
Q_DECLARE_METATYPE(StoreError::Cause)

namespace {

const QString kColumns = QStringLiteral("ntarjeta text, nsocio text, nombre text, apellidos text, calle text, cp text, "
                                        "ciudad text, telefono text, email text, fnacimiento text, observaciones text, "
                                        "puntos text, fcaducidad text");
const QString kIdentity = QStringLiteral(", id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY");

const MemberStore::BalanceChange add5 = [](const QString& stored) { return std::optional<QString>(stored + '5'); };

// A TCP port on the loopback that takes connections (the system completes them) and never reads or answers.
class SilentServer
{
public:
    SilentServer()
    {
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(m_socket, 16) != 0 ||
            getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            qFatal("cannot listen on the loopback");
        m_port = ntohs(address.sin_port);
    }
    ~SilentServer() { close(m_socket); }
    int port() const { return m_port; }

private:
    int m_socket = -1;
    int m_port = 0;
};

} // namespace

// The member store on a PostgreSQL server of the test's own, which the tests stop and start: the schema made once
// on an empty database, and a foreign one refused untouched; passwords from PGPASSFILE; a role that may only read;
// another till holding a member; the server lost between operations, during one, and for a while. A failure is told
// naming the server, leaves nothing half-written, and once the server is back the next operation works.
class TestServer : public QObject
{
    Q_OBJECT

    std::optional<PrivateServer> m_server;
    std::optional<TestStore> m_store; // holding tests/data/members.sql

    // The store's address with some of its connection parameters changed (a user, a database, a port).
    StoreAddress with(const QMap<QString, QString>& changes) const
    {
        QMap<QString, QString> parameters = m_store->address().parameters();
        parameters.insert(changes);
        return *StoreAddress::server(parameters);
    }

    // Runs SQL as the server's superuser, in the server's database, outside any test's schema.
    QList<QStringList> admin(const QString& sql) const { return execSql(*StoreAddress::parse(m_server->uri()), sql); }

    // What the schema holds: each relation and its kind.
    static QList<QStringList> relations(const TestStore& store)
    {
        return store.execSql("SELECT relname, relkind::text FROM pg_class WHERE relnamespace = "
                             "current_schema()::regnamespace ORDER BY relname");
    }

private slots:
    void initTestCase()
    {
        m_server.emplace();
        // "caja" must give its password (a member of con_clave); "consulta" logs in without one.
        admin("CREATE ROLE caja LOGIN PASSWORD 'secreto' IN ROLE con_clave;\nCREATE ROLE consulta LOGIN");
    }

    void init()
    {
        m_store.emplace(m_server->uri()).createFromFixture(QStringLiteral("members.sql"));
        m_store->execSql("DO $$ BEGIN EXECUTE format('GRANT USAGE ON SCHEMA %I TO caja, consulta', current_schema()); "
                         "END $$;\nGRANT SELECT, INSERT, UPDATE ON ficha, movimientos TO caja;\n"
                         "GRANT SELECT ON ficha, movimientos TO consulta");
    }

    void cleanup()
    {
        QVERIFY(m_server->start()); // a test that failed half-way may have left it stopped
        m_store.reset();
    }

    void firstStartMakesTheSchemaOnce()
    {
        // Four tills started at once on an empty database: one makes the tables, and all of them start. The lock
        // that a till takes on a schema before it makes the tables (a key every version must share) is held here
        // until all four wait for it, so that three of them find the tables made.
        TestStore empty(m_server->uri());
        const QByteArray digest = QCryptographicHash::hash(
            empty.execSql("SELECT current_schema()").value(0).value(0).toUtf8(), QCryptographicHash::Sha1);
        const qint64 key = qint64(0x534F4353) << 32 | qFromBigEndian<quint32>(digest.constData());
        std::array<QString, 4> failures;
        std::array<bool, 4> created{};
        {
            QSqlDatabase holder = QSqlDatabase::addDatabase("QPSQL", "schema lock");
            holder.setConnectOptions(empty.address().connectOptions());
            QSqlQuery lock(holder);
            QVERIFY(holder.open() && lock.exec("BEGIN") &&
                    lock.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(key)));
            std::vector<std::jthread> tills;
            for (int i = 0; i < 4; ++i)
                tills.emplace_back([&, i] {
                    const MemberStore store(empty.address());
                    const StoreResult<void> started = store.openOrCreate();
                    failures[i] = !started ? started.error().toString() : QString();
                    created[i] = started && store.startup().created;
                });
            QTRY_COMPARE(admin("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND NOT granted"),
                         QList<QStringList>{{"4"}});
            QVERIFY(lock.exec("COMMIT"));
        }
        QSqlDatabase::removeDatabase("schema lock");
        QCOMPARE(QStringList(failures.begin(), failures.end()).join(""), QString());
        QCOMPARE(std::count(created.begin(), created.end(), true), 1);
        const QList<QStringList> schema = {
            {"ficha", "r"},           {"ficha_cumple", "i"}, {"ficha_id_seq", "S"},       {"ficha_ntarjeta", "i"},
            {"ficha_pkey", "i"},      {"movimientos", "r"},  {"movimientos_id_seq", "S"}, {"movimientos_ntarjeta", "i"},
            {"movimientos_pkey", "i"}};
        QCOMPARE(relations(empty), schema);
    }

    void foreignSchemaIsLeftUntouched_data()
    {
        // sql: what another program made in an empty schema.
        const DataTable<QString, Cause, QString> row("sql", "cause", "detail");
        auto ficha = [](const QString& from, const QString& to) {
            return "CREATE TABLE ficha (" + QString(kColumns + kIdentity).replace(from, to) + ")";
        };
        const QString plain = ficha({}, {});
        const QString trigger =
            ";\nCREATE FUNCTION borra() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN DELETE FROM ficha; "
            "RETURN NULL; END';\nCREATE TRIGGER borra AFTER UPDATE ON ";
        row("another program's tables", "CREATE TABLE clientes (nombre text)", Cause::NotMemberFile,
            "other tables, but no table ficha");
        row("a view", "CREATE TABLE socios (" + kColumns + kIdentity + ");\nCREATE VIEW ficha AS SELECT * FROM socios",
            Cause::UnsafeSchema, "ficha is not a plain table");
        row("a trigger on ficha", plain + trigger + "ficha FOR EACH ROW EXECUTE FUNCTION borra()", Cause::UnsafeSchema,
            "triggers act on the tables of socios: ficha borra");
        row("a trigger on the points history",
            plain + ";\nCREATE TABLE movimientos (n text)" + trigger + "movimientos EXECUTE FUNCTION borra()",
            Cause::UnsafeSchema, "movimientos borra");
        row("a trigger on the register of erasures",
            plain + ";\nCREATE TABLE supresiones (ntarjeta text, fecha text)" + trigger +
                "supresiones EXECUTE FUNCTION borra()",
            Cause::UnsafeSchema, "supresiones borra");
        row("a rule", plain + ";\nCREATE RULE borra AS ON UPDATE TO ficha DO ALSO DELETE FROM ficha",
            Cause::UnsafeSchema, "rules act on the tables of socios: ficha borra");
        row("numbers for card numbers", ficha("ntarjeta text", "ntarjeta integer"), Cause::UnsafeSchema,
            "column ntarjeta of ficha is integer, not text");
        row("card numbers compared without case",
            "CREATE COLLATION sin_mayusculas (provider = icu, locale = 'und-u-ks-level2', deterministic = false);\n" +
                ficha("ntarjeta text", "ntarjeta text COLLATE sin_mayusculas"),
            Cause::UnsafeSchema, "column ntarjeta of ficha compares texts that differ as equal");
        row("a generated column", ficha("nsocio text", "nsocio text GENERATED ALWAYS AS (ntarjeta) STORED"),
            Cause::UnsafeSchema, "column nsocio of ficha is generated");
        row("rows hidden by row security", plain + ";\nALTER TABLE ficha ENABLE ROW LEVEL SECURITY",
            Cause::UnsafeSchema, "row security");
        row("a column missing", ficha("email text, ", ""), Cause::NotMemberFile, "table ficha has no column email");
        row("no id", "CREATE TABLE ficha (" + kColumns + ")", Cause::NotMemberFile, "table ficha has no column id");
        row("an id that nobody fills in", ficha(kIdentity, ", id bigint PRIMARY KEY"), Cause::UnsafeSchema,
            "not a number that the server fills in");
        row("ids that may repeat", ficha("PRIMARY KEY", ""), Cause::UnsafeSchema, "column id of ficha is not unique");
    }

    void foreignSchemaIsLeftUntouched()
    {
        QFETCH(QString, sql);
        QFETCH(Cause, cause);
        QFETCH(QString, detail);
        TestStore foreign(m_server->uri());
        foreign.execSql(sql);
        const QList<QStringList> before = relations(foreign);

        const MemberStore store(foreign.address());
        const StoreResult<void> refused = store.openOrCreate();
        QVERIFY(!refused);
        QCOMPARE(refused.error().cause, cause);
        QVERIFY2(refused.error().detail.contains(detail), qPrintable(refused.error().detail));
        const QString message = storeErrorMessage(refused.error());
        QVERIFY2(message.contains("No se ha modificado") && message.contains(store.path()), qPrintable(message));
        QVERIFY(!store.appendNew(sampleMember("0001")).ok());
        QCOMPARE(relations(foreign), before);
    }

    void foreignSchemaThatFits()
    {
        // Made by another program, with ids of four bytes that the server fills in: used as it is.
        TestStore other(m_server->uri());
        other.execSql("CREATE TABLE ficha (" + kColumns + ", id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY)");
        const MemberStore store(other.address());
        VERIFY_OK(store.openOrCreate());
        QCOMPARE(store.appendNew(sampleMember("0001")).value(), true);
    }

    void passwords_data()
    {
        // pgpass: the password file's text (user caja); change: to the store's address; cause: Other when it works.
        const DataTable<QString, QString, Cause> row("pgpass", "change", "cause");
        row("the password from PGPASSFILE", "*:*:*:caja:secreto\n", "user=caja", Cause::Other);
        row("a wrong password", "*:*:*:caja:otra\n", "user=caja", Cause::ServerRefused);
        row("no such database", "", "dbname=nada", Cause::ServerRefused);
        row("no server at the port", "", "port=1", Cause::ServerUnreachable);
        // Takes connections and never answers, like a server cut off by a network that drops its packets: the
        // operation fails within a second, and the caller's window is kept painted meanwhile.
        row("a server that keeps silent", "", "silent", Cause::ServerUnreachable);
    }

    void passwords()
    {
        QFETCH(QString, pgpass);
        QFETCH(QString, change);
        QFETCH(Cause, cause);
        QTemporaryDir home;
        QFile file(home.filePath("pgpass"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(pgpass.toUtf8()) == pgpass.size());
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)); // libpq ignores a file others may read
        const QByteArray kept = qgetenv("PGPASSFILE");
        qputenv("PGPASSFILE", QFile::encodeName(file.fileName()));
        std::optional<SilentServer> silent;
        if (change == "silent")
            change = QStringLiteral("host=127.0.0.1 port=%1").arg(silent.emplace().port());
        QMap<QString, QString> changes;
        for (const QString& parameter : change.split(' '))
            changes.insert(parameter.section('=', 0, 0), parameter.section('=', 1));
        MemberStore store(with(changes));
        int waits = 0;
        store.setWaiting([&] { ++waits; });
        const StoreResult<void> started = store.openOrCreate();
        const StoreResult<bool> added = store.appendNew(sampleMember("0099"));
        qputenv("PGPASSFILE", kept);

        if (cause == Cause::Other) {
            VERIFY_OK(started);
            QCOMPARE(added.value(), true); // a role that is no superuser adds rows: the identity needs no grant
            return;
        }
        QVERIFY(!started);
        QCOMPARE(started.error().cause, cause);
        QCOMPARE(added.error().cause, cause);
        QVERIFY(!silent || waits > 1);
        const QString message = storeErrorMessage(started.error());
        QVERIFY2(message.contains("No se puede usar el servidor de socios:\n" + store.path()) &&
                     message.contains(cause == Cause::ServerRefused ? ".pgpass" : "No hay conexión"),
                 qPrintable(message));
        QCOMPARE(m_store->allRows().size(), 6);
    }

    void roleThatMayOnlyRead()
    {
        const MemberStore store(with({{"user", "consulta"}}));
        VERIFY_OK(store.openOrCreate());
        QCOMPARE(store.startup().writesRefused, Cause::ReadOnly);
        QCOMPARE(store.rowsWithCard("0001")->size(), 1u);
        const QList<MemberRecord> before = m_store->allRows();
        for (const StoreError& error :
             {store.appendNew(sampleMember("0099")).error(),
              store.rewrite(store.rowsWithCard("0001")->front(), sampleMember("0001")).error(),
              store.changePoints("0001", add5).error()}) {
            QCOMPARE(error.kind, StoreError::Kind::Write);
            QCOMPARE(error.cause, Cause::ReadOnly);
            QVERIFY2(storeErrorMessage(error).contains("solo permite consultar"), qPrintable(storeErrorMessage(error)));
        }
        QCOMPARE(m_store->allRows(), before);

        // Rights taken away while a till works: the server's own refusal reads the same for writes; for reads it is
        // a refusal of the server.
        m_store->execSql("GRANT INSERT, UPDATE ON ficha, movimientos TO consulta");
        const MemberStore till(with({{"user", "consulta"}}));
        VERIFY_OK(till.openOrCreate());
        m_store->execSql("REVOKE INSERT, UPDATE ON ficha, movimientos FROM consulta");
        QCOMPARE(till.changePoints("0001", add5).error().cause, Cause::ReadOnly);
        m_store->execSql("REVOKE SELECT ON ficha, movimientos FROM consulta");
        QCOMPARE(till.rowsWithCard("0001").error().cause, Cause::ServerRefused);
        QCOMPARE(m_store->allRows(), before);
    }

    void anotherTillHoldsTheMember_data()
    {
        // Another till is in the middle of adding a point to 0001 for `hold` ms; this one tries the same under
        // `limit`: it waits for the other till's lock for 3 s, or stops at its own time limit before that.
        const DataTable<int, int, Cause, QString> row("hold", "limit", "cause", "advice");
        row("held longer than a till waits", 3300, 5000, Cause::Locked, "Otra caja está guardando");
        row("a time limit shorter than the wait", 700, 200, Cause::TooSlow, "ha tardado demasiado");
    }

    void anotherTillHoldsTheMember()
    {
        QFETCH(int, hold);
        QFETCH(int, limit);
        QFETCH(Cause, cause);
        QFETCH(QString, advice);
        QProcess holder;
        QVERIFY(startHelper(holder, {"hold", m_store->uri(), QString::number(hold), "0001"}, "holding"));

        MemberStore store(m_store->address());
        store.setTimeLimit(std::chrono::milliseconds(limit));
        // Lookups never wait, nor do writes that concern other members.
        QCOMPARE(store.rowsWithCard("0001")->front().record.puntos, " 150");
        QCOMPARE(store.changePoints("0007", add5)->stored, "*****5");
        QCOMPARE(store.appendNew(sampleMember("0099")).value(), true);
        const StoreError waited = store.changePoints("0001", add5).error();
        QCOMPARE(waited.cause, cause);
        QVERIFY2(storeErrorMessage(waited).contains(advice), qPrintable(storeErrorMessage(waited)));

        QVERIFY(holder.waitForFinished(10000) && holder.exitCode() == 0);
        QCOMPARE(store.changePoints("0001", add5)->stored, " 1515"); // the other till's point, then this one's 5
    }

    void serverLostBetweenOrDuringOperations()
    {
        // The server stopped and started while the till was idle: the connection it kept is gone. The next
        // operation notices, connects again, and works without a word to the operator.
        const MemberStore store(m_store->address());
        const QList<MemberRecord> before = m_store->allRows();
        QCOMPARE(store.rowsWithCard("0001")->size(), 1u);
        QVERIFY(m_server->stop());
        QVERIFY(m_server->start());
        QCOMPARE(store.rowsWithCard("0001")->size(), 1u);

        // The server ends the till's connection while its transaction holds the member: nothing of the change is
        // kept, neither the balance nor its record, and the next operation connects again.
        const auto cut = store.changePoints("0001", [&](const QString& stored) {
            admin("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = 'socios' AND "
                  "state = 'idle in transaction'");
            return std::optional<QString>(stored + '5');
        });
        QCOMPARE(cut.error().kind, StoreError::Kind::Write);
        QCOMPARE(cut.error().cause, Cause::ServerUnreachable);
        QCOMPARE(m_store->allRows(), before);
        QCOMPARE(m_store->execSql("SELECT count(*) FROM movimientos"), QList<QStringList>{{"0"}});
        QCOMPARE(store.changePoints("0001", add5)->stored, " 1505");
        QCOMPARE(m_store->execSql("SELECT count(*) FROM movimientos"), QList<QStringList>{{"1"}});
    }

    void serverDownForAWhile()
    {
        // The operator at the till while the server is down: each operation is refused with a message that names
        // the server, the window goes back to "elegir proceso", and nothing is written. Once it is back, the
        // operations work again in the same till.
        const MemberStore store(m_store->address());
        Form1 form;
        FakePrompt prompt;
        FakeMessages messages;
        CardOperations operations(form, store, prompt, messages);
        operations.connectHandlers();
        VERIFY_OK(form.load(store, FixedClock(QDate(2026, 3, 10))));
        const QList<MemberRecord> before = m_store->allRows();

        QVERIFY(m_server->stop());
        prompt.setAnswers({"0001"});
        form.queryButton.click();
        QCOMPARE(messages.failures.size(), 1);
        const StoreError lost = messages.failures.takeFirst();
        QCOMPARE(lost.cause, Cause::ServerUnreachable);
        QCOMPARE(storeErrorTitle(lost), "Error en el servidor de socios");
        const QString message = storeErrorMessage(lost);
        QVERIFY2(message.contains(" servidor de socios:\n" + store.path()) &&
                     message.contains("No hay conexión con el servidor") && !message.contains("archivo"),
                 qPrintable(message));
        QCOMPARE(OperationFixture::window(form), kIdle);
        QCOMPARE(store.changePoints("0001", add5).error().cause, Cause::ServerUnreachable);
        QCOMPARE(store.appendNew(sampleMember("0099")).error().cause, Cause::ServerUnreachable);

        QVERIFY(m_server->start());
        prompt.setAnswers({"0001", "*"});
        form.queryButton.click();
        QCOMPARE(messages.failures.size(), 0);
        QCOMPARE(m_store->allRows(), before);
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "TestServer.moc"
