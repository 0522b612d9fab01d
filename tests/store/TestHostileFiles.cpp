#include "app/Messages.h"
#include "store/MemberStore.h"
#include "store/sqlite/SqliteFile.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using Cause = StoreError::Cause;
Q_DECLARE_METATYPE(StoreError::Cause)

namespace {

const QString kColumns = QStringLiteral("ntarjeta TEXT, nsocio TEXT, nombre TEXT, apellidos TEXT, calle TEXT, cp TEXT, "
                                        "ciudad TEXT, telefono TEXT, email TEXT, fnacimiento TEXT, observaciones TEXT, "
                                        "puntos TEXT, fcaducidad TEXT");

} // namespace

// Files that are not what they seem: member files changed by other programs so that an operation would act on the
// wrong rows, run code, or destroy text; journals left beside files that were replaced; foreign files that must
// not be touched by being looked at. And the connection that a till keeps: fresh after the file is replaced, never
// blocked by a reader, durable at every commit.
class TestHostileFiles : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_path; // a member file holding tests/data/members.sql
    QList<QStringList> m_undoes;

private slots:
    void init()
    {
        m_dir.emplace();
        m_path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
    }

    void cleanup()
    {
        for (const QStringList& command : std::exchange(m_undoes, {}))
            QProcess::execute(command.first(), command.mid(1));
    }

    // A foreign or unsafe file: refused at start-up, and by a write, without a byte changed.
    void refusedAtStartup_data()
    {
        // content: the file's bytes; sql: then run on it, making "ficha" (and whatever comes with it).
        const DataTable<QByteArray, QString, Cause, QString> table("content", "sql", "cause", "detail");
        const auto row = [&](const char* name, const QString& sql, Cause cause, const QString& detail) {
            table(name, {}, sql, cause, detail);
        };
        table("an Access file", fileBytes(testDataPath("ficha-jet4.mdb")), {}, Cause::NotMemberFile, "not a database");
        table("an empty file", {}, {}, Cause::NotMemberFile, "not a database");
        table("a truncated member file", fileBytes(createMemberFile(QTemporaryDir())).left(100), {}, Cause::Damaged,
              "malformed");
        row("another program's tables", "CREATE TABLE socios (ntarjeta TEXT)", Cause::NotMemberFile,
            "no such table: ficha");
        auto ficha = [](const QString& from, const QString& to, const QString& end = ")") {
            return "CREATE TABLE ficha (" + QString(kColumns).replace(from, to) + end;
        };
        row("a view that wipes on insert",
            "CREATE TABLE socios (" + kColumns +
                ");\nCREATE VIEW ficha AS SELECT * FROM socios;\nCREATE TRIGGER "
                "borra INSTEAD OF INSERT ON ficha BEGIN DELETE FROM socios; END",
            Cause::UnsafeSchema, "ficha is a view");
        row("a trigger on ficha",
            ficha({}, {}) +
                ";\nCREATE TRIGGER borra AFTER UPDATE ON ficha BEGIN DELETE FROM ficha WHERE rowid % 2 = 0; "
                "END",
            Cause::UnsafeSchema, "trigger borra on table ficha");
        row("a trigger on the points history",
            ficha({}, {}) + ";\nCREATE TABLE movimientos (n);\nCREATE TRIGGER t AFTER INSERT ON movimientos BEGIN "
                            "DELETE FROM ficha; END",
            Cause::UnsafeSchema, "trigger t on table movimientos");
        row("numbers for card numbers", ficha("ntarjeta TEXT", "ntarjeta INTEGER"), Cause::UnsafeSchema,
            "column ntarjeta is declared INTEGER");
        row("untyped columns", ficha(" TEXT", ""), Cause::UnsafeSchema, "column ntarjeta is declared without a type");
        row("card numbers compared without case", ficha("ntarjeta TEXT", "ntarjeta TEXT COLLATE NOCASE"),
            Cause::UnsafeSchema, "column ntarjeta compares as NOCASE");
        row("a generated column", ficha("nsocio TEXT", "nsocio TEXT AS (ntarjeta)"), Cause::UnsafeSchema,
            "column nsocio is generated");
        row("every name of the row id taken", ficha("ntarjeta", "rowid, _rowid_, oid, ntarjeta"), Cause::UnsafeSchema,
            "hide the row id");
        row("no row id", ficha("ntarjeta TEXT", "ntarjeta TEXT PRIMARY KEY", ") WITHOUT ROWID"), Cause::UnsafeSchema,
            "WITHOUT ROWID");
        row("a virtual table", "CREATE VIRTUAL TABLE ficha USING fts5(" + QString(kColumns).remove(" TEXT") + ")",
            Cause::UnsafeSchema, "virtual table");
        row("a column missing", ficha(", email TEXT", ""), Cause::NotMemberFile, "no column named email");
    }

    void refusedAtStartup()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, sql);
        QFETCH(Cause, cause);
        QFETCH(QString, detail);
        const QString path = m_dir->filePath(QStringLiteral("ajeno.mdb"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        if (!sql.isEmpty())
            execSql(path, sql);
        const auto before = folderContents(m_dir->path());
        const MemberStore store(path);
        const StoreResult<void> refused = store.openOrCreate();
        QVERIFY(!refused && refused.error().kind == StoreError::Kind::Open && refused.error().path == path);
        QCOMPARE(refused.error().cause, cause);
        QVERIFY2(refused.error().detail.contains(detail), qPrintable(refused.error().detail));
        const QString message = storeErrorMessage(refused.error());
        QVERIFY2(message.contains(cause == Cause::Damaged ? "está dañado" : "No se ha modificado"),
                 qPrintable(message));
        QVERIFY(!store.appendNew(sampleMember("0001")).ok());
        QCOMPARE(folderContents(m_dir->path()), before);
    }

    void mergedFileInAnotherCodePage()
    {
        // Two shops' files merged: a column named rowid whose values are not the rows' own ids. And an older
        // export's "Muñoz" in Windows-1252 bytes: shown as it was meant, and saved as UTF-8 by an edit.
        execSql(m_path, "CREATE TABLE merged AS SELECT 7 - rowid AS rowid, * FROM ficha;\nDROP TABLE ficha;\n"
                        "ALTER TABLE merged RENAME TO ficha;\nUPDATE ficha SET apellidos = CAST(X'4D75F16F7A' AS "
                        "TEXT), observaciones = CAST(X'80209C' AS TEXT) WHERE ntarjeta = '0001'");
        const MemberStore store(m_path);
        VERIFY_OK(store.openOrCreate());
        QList<MemberRecord> expected = allRows(m_path);
        const FoundRow shown = store.rowsWithCard("0001")->front();
        QCOMPARE(shown.record.apellidos, QStringLiteral("Muñoz"));
        QCOMPARE(shown.record.observaciones, QStringLiteral("€ œ"));
        const auto add = store.changePoints("0012", [](const QString&) { return std::optional<QString>(" 1"); });
        QCOMPARE(add->outcome, MemberStore::PointsChange::Outcome::Written);
        expected[2].puntos = " 1";
        expected[0] = shown.record;
        expected[0].telefono = "600 000 000";
        QCOMPARE(store.rewrite(shown, expected[0])->outcome, MemberStore::Rewrite::Outcome::Written);
        QCOMPARE(execSql(m_path, "SELECT hex(apellidos), hex(observaciones) FROM ficha WHERE ntarjeta = '0001'"),
                 (QList<QStringList>{{"4D75C3B16F7A", "E282AC20C593"}}));
        QCOMPARE(allRows(m_path), expected);
    }

    void interruptedSave_data()
    {
        // What happens to the file after a program was killed in the middle of a change that had reached it.
        const DataTable<QString, Cause> row("then", "cause"); // cause: Cause::Other when the start succeeds
        row("the same file", "same", Cause::Other);
        row("an older copy put in its place", "older", Cause::Leftover);
        row("the file deleted", "deleted", Cause::Leftover);
        row("the file read-only", "read-only", Cause::NeedsRepair);
        row("the same file, its change in the log", "same log", Cause::Other);
        row("the file deleted, its change in the log", "deleted log", Cause::Leftover);
        row("the file and its folder read-only, its change in the log", "read-only folder log", Cause::Other);
        row("the file and its folder read-only, its log in the file already", "read-only folder checkpointed log",
            Cause::Other);
    }

    void interruptedSave()
    {
        QFETCH(QString, then);
        QFETCH(Cause, cause);
        // A file of another program, or of an earlier version, with the rollback journal, or a log of its own.
        const bool log = then.endsWith(" log");
        const bool checkpointed = then.contains(" checkpointed");
        then.remove(" log").remove(" checkpointed");
        execSql(m_path, log ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=DELETE");
        // Enough rows for the change to spill pages into the file before its commit.
        execSql(m_path,
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) INSERT INTO ficha "
                "SELECT 'R' || i, nsocio, nombre, apellidos, calle, cp, ciudad, telefono, email, fnacimiento, "
                "observaciones, puntos, fcaducidad FROM n, ficha WHERE ficha.rowid = 1");
        const QByteArray older = fileBytes(m_path);
        execSql(m_path, "UPDATE ficha SET puntos = ' 175' WHERE ntarjeta = '0001'");
        QList<MemberRecord> committed = allRows(m_path);
        const QByteArray beforeChange = fileBytes(m_path);

        QProcess writer;
        // A cache of a few pages: the change spills into the file long before its commit. With a log, a save
        // committed before it is in the log alone.
        QStringList saved = {"PRAGMA wal_autocheckpoint=0", "UPDATE ficha SET puntos = ' 200' WHERE rowid = 1"};
        if (checkpointed)
            saved << "PRAGMA wal_checkpoint(PASSIVE)";
        if (log)
            committed[0].puntos = " 200";
        QVERIFY(startHelper(writer,
                            QStringList{"sql", m_path, "600000", "PRAGMA cache_size=10"} +
                                (log ? saved : QStringList()) +
                                QStringList{"BEGIN IMMEDIATE", "PRAGMA user_version=7",
                                            "UPDATE ficha SET observaciones = hex(randomblob(3000))"},
                            "ready"));
        writer.kill();
        writer.waitForFinished();
        // The change reached the file, which its journal can undo, or the log, where it is not committed.
        QVERIFY(log ? QFileInfo(m_path + "-wal").size() > 4096 : fileBytes(m_path) != beforeChange);
        if (then == "older") {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(older) == older.size());
        } else if (then == "deleted") {
            QVERIFY(QFile::remove(m_path));
        } else if (then.startsWith("read-only")) {
            if (!makeReadOnly(m_path, m_undoes) ||
                (then.endsWith("folder") && !makeReadOnly(QFileInfo(m_path).absolutePath(), m_undoes)))
                QSKIP("this system cannot make the file read-only");
        }

        const auto before = folderContents(m_dir->path());
        const MemberStore store(m_path);
        const StoreResult<void> started = store.openOrCreate();
        if (cause == Cause::Other) {
            VERIFY_OK(started);
            if (then == "read-only folder") {
                // The saves complete in the log are seen, and stay beside the file, which takes no save, until it and
                // its folder can be written again: then the next operation writes them into it.
                QCOMPARE(store.startup().writesRefused, Cause::ReadOnly);
                QCOMPARE(store.startup().logBesideFile, !checkpointed);
                QCOMPARE(store.rowsWithCard("0001")->front().record, committed[0]);
                const StoreError refused = store.appendNew(sampleMember("0099")).error();
                QVERIFY2(refused.cause == Cause::ReadOnly && storeErrorMessage(refused).contains("solo lectura"),
                         qPrintable(storeErrorMessage(refused)));
                cleanup();
                QCOMPARE(store.appendNew(sampleMember("0099")).value(), true);
                committed << sampleMember("0099");
            }
            QCOMPARE(allRows(m_path), committed);
            QCOMPARE(execSql(m_path, "PRAGMA integrity_check"), QList<QStringList>{{"ok"}});
            return;
        }
        QVERIFY(!started);
        QCOMPARE(started.error().cause, cause);
        QCOMPARE(folderContents(m_dir->path()), before); // nothing replayed, nothing created
        QVERIFY(!storeErrorMessage(started.error()).contains("se pueden consultar"));
    }

    void foreignFileWithItsLog()
    {
        // Another program's database in WAL mode, its last changes still in the log: looking at it changes nothing.
        const QString original = m_dir->filePath(QStringLiteral("otro.db"));
        const QString path = m_dir->filePath(QStringLiteral("copia/otro.db"));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            db.setDatabaseName(original);
            QVERIFY(db.open());
            QSqlQuery query(db);
            for (const char* statement : {"PRAGMA journal_mode=WAL", "PRAGMA wal_autocheckpoint=0",
                                          "CREATE TABLE pedidos (n)", "INSERT INTO pedidos VALUES (1)"})
                QVERIFY(query.exec(QLatin1String(statement)));
            // Copied while it is open: the log holds the table.
            QVERIFY(QFile::copy(original, path) && QFile::copy(original + "-wal", path + "-wal"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        const auto before = folderContents(m_dir->path());
        QCOMPARE(MemberStore(path).openOrCreate().error().cause, Cause::NotMemberFile);
        QCOMPARE(folderContents(m_dir->path()), before);
    }

    // A till's file keeps a write-ahead log, and each save is flushed once before it is acknowledged (a commit
    // flushes the log), so that it survives a power cut: a second save costs exactly one flush more than one.
    void oneFlushPerSave()
    {
        if (QProcess::execute("strace", {"-qq", "-o", "/dev/null", "true"}) != 0)
            QSKIP("needs strace (scripts/setup.sh installs it), allowed to trace");
        const auto flushes = [&](int saves) {
            QTemporaryDir logs;
            QProcess till;
            // A build with sanitizers: the leak check cannot run under a tracer, and stops the program there.
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("ASAN_OPTIONS", "detect_leaks=0");
            till.setProcessEnvironment(environment);
            till.start("strace", {"-f", "-qq", "-o", logs.filePath("calls"), "-e", "trace=fsync,fdatasync", "--",
                                  qEnvironmentVariable("SOCIOS_TEST_HELPER"), "till", m_path});
            for (int i = 0; i < saves; ++i)
                till.write("click addPointsButton 0001\nset amountBox 5\nclick addAmountButton\n"
                           "click leavePointsButton\n");
            till.closeWriteChannel();
            if (!till.waitForFinished(60000) || till.exitCode() != 0)
                return -1;
            QFile calls(logs.filePath("calls"));
            return calls.open(QIODevice::ReadOnly) ? int(calls.readAll().count("sync(")) : -1;
        };
        const int one = flushes(1);
        QVERIFY(one > 0);
        QCOMPARE(flushes(2) - one, 1);
        QCOMPARE(execSql(m_path, "PRAGMA journal_mode"), QList<QStringList>{{"wal"}});
    }

    void fileChangedWhileATillWorks()
    {
        const MemberStore store(m_path);
        VERIFY_OK(store.openOrCreate());

        // Another program adds a trigger, then puts a view in place of the table: neither acts.
        execSql(m_path, "CREATE TRIGGER borra AFTER UPDATE ON ficha BEGIN DELETE FROM ficha; END");
        QCOMPARE(store.changePoints("0001", [](const QString&) { return std::optional<QString>("1"); })->outcome,
                 MemberStore::PointsChange::Outcome::Written);
        QCOMPARE(allRows(m_path).size(), 6);
        execSql(m_path, "DROP TRIGGER borra;\nALTER TABLE ficha RENAME TO socios;\nCREATE VIEW ficha AS SELECT * FROM "
                        "socios;\nCREATE TRIGGER vacia INSTEAD OF INSERT ON ficha BEGIN DELETE FROM socios; END");
        QVERIFY(!store.appendNew(sampleMember("0099")).ok());
        QCOMPARE(execSql(m_path, "SELECT count(*) FROM socios"), QList<QStringList>{{"6"}});

        // Another member file put in its place: the till reads and writes that one. Then it is gone: the till says
        // so, and creates nothing.
        QTemporaryDir other;
        QVERIFY(QFile::rename(createMemberFile(other, {sampleMember("0500")}), m_path + ".otro"));
        QVERIFY(QFile::remove(m_path) && QFile::rename(m_path + ".otro", m_path));
        QCOMPARE(store.rowsWithCard("0001")->size(), 0u);
        QCOMPARE(store.appendNew(sampleMember("0501")).value(), true);
        QCOMPARE(allRows(m_path), (QList{sampleMember("0500"), sampleMember("0501")}));
        QVERIFY(QFile::remove(m_path));
        QCOMPARE(store.rowsWithCard("0500").error().cause, Cause::CannotOpen);
        QVERIFY(!QFile::exists(m_path));
    }

    void tillThatEndsLetsGoOfTheFile()
    {
        {
            const MemberStore store(m_path);
            VERIFY_OK(store.openOrCreate());
            QCOMPARE(store.rowsWithCard("0001")->size(), 1u);
            QCOMPARE(store.appendNew(sampleMember("0099")).value(), true);
        }
        // Nothing of this process holds the file, its log or its shared memory open any more.
        const QString file = QFileInfo(m_path).canonicalFilePath();
        for (const QFileInfo& open : QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System))
            QVERIFY2(!open.symLinkTarget().startsWith(file), qPrintable(open.symLinkTarget()));
    }

    void readerHoldingATransaction()
    {
        // A spreadsheet's link or a backup tool reading the file: saves and lookups go on meanwhile.
        const MemberStore store(m_path);
        VERIFY_OK(store.openOrCreate());
        QProcess reader;
        QVERIFY(startHelper(reader, {"sql", m_path, "3000", "BEGIN", "SELECT count(*) FROM ficha"}, "ready"));
        QCOMPARE(store.appendNew(sampleMember("0099")).value(), true);
        QCOMPARE(store.changePoints("0001", [](const QString&) { return std::optional<QString>(" 9"); })->stored, " 9");
        QCOMPARE(store.rowsWithCard("0099")->size(), 1u);
        QCOMPARE(reader.state(), QProcess::Running); // all of it while the reader still held its transaction
        QVERIFY(reader.waitForFinished(10000) && reader.exitCode() == 0);
    }

    void statementStoppedAfterItsTime()
    {
        // Start-up's birthday list, on a day that 5000 members share.
        execSql(m_path,
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
                "INSERT INTO ficha SELECT 'N' || i, '', '', '', '', '', '', '', '', '13/03/1985', '', '', '' FROM n");
        MemberStore store(m_path);
        store.setTimeLimit(std::chrono::milliseconds(50));
        const StoreResult<void> stopped = store.scanBirthdays(
            std::array{QStringLiteral("0313")}, std::array{Field::ntarjeta}, [](const StoredRow&) -> StoreResult<void> {
                QThread::usleep(500);
                return {};
            });
        QVERIFY(!stopped);
        QCOMPARE(stopped.error().cause, Cause::TooSlow);
        QCOMPARE(store.rowsWithCard("0001")->size(), 1u); // the next operation has its own time
    }

    void networkShareKeepsTheRollbackJournal()
    {
        // NFS, SMB, CIFS, SMB2, FUSE (sshfs); not ext4.
        for (quint64 type : {0x6969ull, 0x517Bull, 0xFF534D42ull, 0xFE534D42ull, 0x65735546ull})
            QVERIFY2(SqliteFile::isNetworkFileSystemType(type), qPrintable(QString::number(type, 16)));
        QVERIFY(!SqliteFile::isNetworkFileSystemType(0xEF53));
        QCOMPARE(SqliteFile::journalModeFor(m_path), SqliteFile::JournalMode::WriteAheadLog); // a local disk here
    }
};

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "TestHostileFiles.moc"
