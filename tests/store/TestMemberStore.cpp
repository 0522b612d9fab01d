#include "store/MemberStore.h"
#include "tests/support/TestSupport.h"
#include "window/Messages.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using Cause = StoreError::Cause;
Q_DECLARE_METATYPE(StoreError::Cause)

// The member file: its creation, foreign files, lookups and writes, and real failures: a read-only file or folder,
// a full disk, another till holding the lock, a writer killed in the middle of its writes. A refused write leaves
// the file as it was, and the operator's message names the file.
class TestMemberStore : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_path;              // a member file holding tests/data/members.sql
    QList<QStringList> m_undoes; // commands that undo what a test changed beyond its folder

    // Start-up and lookups work; every write the operations make is refused for `cause`, with a message that names
    // the file and says `advice`, and leaves the file as it was.
    void verifyWritesRefused(const QString& path, Cause cause, const QString& advice)
    {
        const MemberStore store(path);
        QCOMPARE(store.openOrCreate(), std::nullopt);
        QCOMPARE(store.rowsWithCard("0001")->size(), 1u);
        const QByteArray before = fileBytes(path);
        for (const StoreError& error :
             {store.appendNew(sampleMember("0099")).error(), store.rewriteFirst("0001", sampleMember("0001")).error(),
              store.changePoints("0001", [](const QString& stored) { return stored + '5'; }).error()}) {
            QCOMPARE(error.kind, StoreError::Kind::Write);
            QCOMPARE(error.cause, cause);
            const QString message = storeErrorMessage(error);
            QVERIFY2(message.contains(path) && message.contains(advice), qPrintable(message));
        }
        QCOMPARE(fileBytes(path), before);
    }

    // Starts the helper that holds the write lock while it saves member `card`, and waits until it holds it.
    static bool startLockHolder(QProcess& holder, const QString& path, int milliseconds, const QString& card)
    {
        holder.start(qEnvironmentVariable("SOCIOS_TEST_HELPER"), {"lock", path, QString::number(milliseconds), card});
        return holder.waitForReadyRead(10000) && holder.readLine() == "locked\n";
    }

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

    void firstStartCreatesFolderAndFile()
    {
        // Only the start-up check creates the file: a lookup or a write finds none, in a new folder or an old one.
        const QString path = m_dir->filePath(QStringLiteral("nueva/carpeta con espacios/dorvel.mdb"));
        for (const QString& missing : {path, m_dir->filePath(QStringLiteral("dorvel.mdb"))}) {
            QCOMPARE(MemberStore(missing).rowsWithCard("0001").error().cause, Cause::CannotOpen);
            QCOMPARE(MemberStore(missing).appendNew(sampleMember("0001")).error().cause, Cause::CannotOpen);
            QVERIFY(!QFile::exists(missing));
        }
        const MemberStore store(path);
        QCOMPARE(store.openOrCreate(), std::nullopt);
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{"dorvel.mdb"});
        QCOMPARE(store.append(sampleMember("0001")), std::nullopt);
        QCOMPARE(store.openOrCreate(), std::nullopt); // the next start opens it, rows and all
        QCOMPARE(allRows(path), QList<MemberRecord>{sampleMember("0001")});
    }

    void foreignFileIsLeftUntouched_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("sql"); // run on the file first
        QTest::addColumn<Cause>("cause");
        QByteArray random(4096, '\0');
        QRandomGenerator generator(7);
        for (char& c : random)
            c = char(generator.bounded(256));
        const Cause foreign = Cause::NotMemberFile;
        QTest::newRow("text file") << QByteArray("nombre;apellidos\nAna;Ruiz\n") << QString() << foreign;
        QTest::newRow("random bytes") << random << QString() << foreign;
        QTest::newRow("Access file") << fileBytes(testDataPath("ficha-jet4.mdb")) << QString() << foreign;
        QTest::newRow("truncated database")
            << fileBytes(createMemberFile(QTemporaryDir())).left(100) << QString() << Cause::Damaged;
        QTest::newRow("empty file") << QByteArray() << QString() << foreign;
        QTest::newRow("no table ficha") << QByteArray() << "CREATE TABLE socios (ntarjeta TEXT)" << foreign;
        QTest::newRow("column missing") << QByteArray()
                                        << "CREATE TABLE ficha (ntarjeta, nsocio, nombre, apellidos, calle, cp, "
                                           "ciudad, telefono, fnacimiento, observaciones, puntos, fcaducidad)"
                                        << foreign;
    }

    void foreignFileIsLeftUntouched()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, sql);
        QFETCH(Cause, cause);
        const QString path = m_dir->filePath(QStringLiteral("foreign.mdb"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        execSql(path, sql);
        const QByteArray before = fileBytes(path);

        const MemberStore store(path);
        const StoreStatus failure = store.openOrCreate();
        QVERIFY(failure && failure->kind == StoreError::Kind::Open && failure->path == path);
        QCOMPARE(failure->cause, cause);
        QVERIFY(!store.appendNew(sampleMember("0001")).ok());
        QCOMPARE(fileBytes(path), before);
    }

    void cardMatchIsExactText_data()
    {
        QTest::addColumn<QString>("card");
        QTest::addColumn<QStringList>("found"); // the names of the rows found, or the failure ("F" for the file)
        QTest::newRow("one row") << "0001" << QStringList{"Ana"};
        QTest::newRow("duplicates in table order") << "0020" << QStringList{"Primero", "Segundo"};
        QTest::newRow("zeros count") << "0012" << QStringList{"José Antonio"};
        QTest::newRow("not a number compare") << "1" << QStringList{};
        QTest::newRow("trailing blank counts") << "0001 " << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("quote") << "0001' OR '1'='1" << QStringList{};
        QTest::newRow("a field without value") << "12" << QStringList{"no value in field F: email"};
    }

    void cardMatchIsExactText()
    {
        QFETCH(QString, card);
        QFETCH(QStringList, found);
        execSql(m_path, "UPDATE ficha SET email = NULL WHERE ntarjeta = '12'"); // as only another program can
        const MemberStore store(m_path);
        const auto rows = store.rowsWithCard(card);
        QStringList names;
        for (const MemberRecord& row : rows ? rows.value() : std::vector<MemberRecord>())
            names << row.nombre;
        QCOMPARE(rows ? names : QStringList{rows.error().toString().replace(m_path, "F")}, found);
        QCOMPARE(store.holdsCard(card).value(), !found.isEmpty());
    }

    void writesChangeTheFirstMatchingRow()
    {
        using Outcome = MemberStore::PointsChange::Outcome;
        const MemberStore store(m_path);
        QList<MemberRecord> expected = allRows(m_path);
        expected[3] = sampleMember("0020", "Cambiado");
        QCOMPARE(store.rewriteFirst("0020", expected[3]).value(), true);
        QCOMPARE(store.rewriteFirst("9999", expected[3]).value(), false);

        // A points change sees the balance stored now, in the first row holding the card, and may leave it alone.
        QStringList seen;
        auto setTo = [&seen](std::optional<QString> balance) {
            return [&seen, balance](const QString& stored) {
                seen << stored;
                return balance;
            };
        };
        execSql(m_path, "UPDATE ficha SET puntos = '12' WHERE rowid = 4");
        const auto written = store.changePoints("0020", setTo(" 35"));
        QVERIFY(written->outcome == Outcome::Written && written->stored == " 35");
        expected[3].puntos = " 35";
        QCOMPARE(store.changePoints("0020", setTo(std::nullopt))->outcome, Outcome::Declined);
        QCOMPARE(store.changePoints("9999", setTo("0"))->outcome, Outcome::NoRow);
        QCOMPARE(seen, (QStringList{"12", " 35"}));

        // A new row only for a number that no row holds as its exact text.
        QCOMPARE(store.appendNew(sampleMember("0012")).value(), false);
        QCOMPARE(store.appendNew(sampleMember("012")).value(), true);
        QCOMPARE(allRows(m_path), expected << sampleMember("012"));
    }

    void readOnly_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("file") << false;
        QTest::newRow("folder") << true;
    }

    void readOnly()
    {
        QFETCH(bool, folder);
        // chattr as root, for whom permission bits do not count; permission bits otherwise.
        const QString target = folder ? QFileInfo(m_path).absolutePath() : m_path;
        const bool root = geteuid() == 0;
        m_undoes << (root ? QStringList{"chattr", "-i", target} : QStringList{"chmod", "u+w", target});
        if (QProcess::execute(root ? "chattr" : "chmod", {root ? "+i" : "a-w", target}) != 0)
            QSKIP("this file system cannot make the file read-only");

        verifyWritesRefused(m_path, Cause::ReadOnly, "solo lectura");
        cleanup();
        QCOMPARE(MemberStore(m_path).appendNew(sampleMember("0099")).value(), true);
    }

    void diskFull()
    {
        // A small file system of its own, filled up: the engine meets a real "no space left".
        const QString mount = m_dir->filePath(QStringLiteral("disco"));
        QDir().mkpath(mount);
        if (geteuid() != 0 || QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=512k", "tmpfs", mount}) != 0)
            QSKIP("needs to mount a small file system (root)");
        m_undoes << QStringList{"umount", mount};
        const QString path = mount + QStringLiteral("/dorvel.mdb");
        QVERIFY(QFile::copy(m_path, path));
        QFile filler(mount + QStringLiteral("/relleno"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
        }
        filler.close();

        verifyWritesRefused(path, Cause::DiskFull, "disco está lleno");
        QVERIFY(filler.remove());
        QCOMPARE(MemberStore(path).appendNew(sampleMember("0099")).value(), true);
    }

    void anotherTillHoldsTheLock()
    {
        // Another till in the middle of saving member 0099. Lookups go on; a save waits a few seconds, then gives up
        // with a message, and works once that till is gone (its row was never saved).
        const MemberStore store(m_path);
        QProcess holder;
        QVERIFY(startLockHolder(holder, m_path, 60000, "0099"));
        QCOMPARE(store.rowsWithCard("0001")->size(), 1u);
        const StoreError error = store.appendNew(sampleMember("0098")).error();
        QCOMPARE(error.cause, Cause::Locked);
        QVERIFY2(storeErrorMessage(error).contains("inténtelo de nuevo"), qPrintable(storeErrorMessage(error)));
        holder.kill();
        holder.waitForFinished();
        QCOMPARE(store.appendNew(sampleMember("0099")).value(), true);

        // Another till saves 0098 while this one waits to save it too: the number is checked once the lock is ours.
        QVERIFY(startLockHolder(holder, m_path, 1000, "0098"));
        QCOMPARE(store.appendNew(sampleMember("0098")).value(), false);
        QVERIFY(holder.waitForFinished() && holder.exitCode() == 0);
        QCOMPARE(store.rowsWithCard("0098")->size(), 1u);
    }

    void killedWhileWriting()
    {
        QRandomGenerator random(20261206);
        for (int round = 0; round < 25; ++round) {
            QProcess writer;
            writer.start(qEnvironmentVariable("SOCIOS_TEST_HELPER"), {"write", m_path});
            QVERIFY(writer.waitForStarted());
            QTest::qWait(int(random.bounded(20, 150)));
            writer.kill(); // SIGKILL: no chance to finish a write
            writer.waitForFinished();
            int last = -1;
            for (const QByteArray& line : writer.readAllStandardOutput().split('\n'))
                last = line.startsWith("ack ") ? line.mid(4).toInt() : last;

            // Every acknowledged step is there: it added W<i> and set the balance of W0 to i. The step under way
            // may have done either or both.
            QCOMPARE(execSql(m_path, "PRAGMA integrity_check"), QList<QStringList>{{"ok"}});
            const QList<QStringList> saved =
                execSql(m_path, "SELECT ntarjeta, puntos FROM ficha WHERE ntarjeta LIKE 'W%' ORDER BY rowid");
            QVERIFY2(saved.size() == last + 1 || saved.size() == last + 2, qPrintable(QString::number(last)));
            for (int i = 0; i <= last; ++i)
                QCOMPARE(saved[i][0], QStringLiteral("W%1").arg(i));
            if (last >= 0)
                QVERIFY(saved[0][1] == QString::number(last) || saved[0][1] == QString::number(last + 1));
            execSql(m_path, "DELETE FROM ficha WHERE ntarjeta LIKE 'W%'"); // the next writer starts at W0 again
        }
    }
};

QTEST_GUILESS_MAIN(TestMemberStore)
#include "TestMemberStore.moc"
