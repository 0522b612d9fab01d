#include "store/MemberStore.h"
#include "tests/support/TestSupport.h"
#include "window/Messages.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using Cause = StoreError::Cause;
Q_DECLARE_METATYPE(StoreError::Cause)

// Real failures of the member file: each refused write leaves the file as it was, and the operator's message
// names the file and says what to do.
class TestFailures : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readOnly_data();
    void readOnly();
    void diskFull();
    void lockedByAnotherProcess();
    void killedWhileWriting();

private:
    // Every write the operations make, each expected to fail with `cause` and to change nothing.
    void verifyEveryWriteRefused(const QString& path, Cause cause, const QString& advice);
    // chattr as root, for whom permission bits do not count; permission bits otherwise.
    bool setReadOnly(const QString& path, bool readOnly);

    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_readOnly;
    QString m_mountPoint;
};

void TestFailures::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestFailures::cleanup()
{
    for (const QString& path : m_readOnly)
        setReadOnly(path, false);
    m_readOnly.clear();
    if (!m_mountPoint.isEmpty())
        QProcess::execute(QStringLiteral("umount"), {m_mountPoint});
    m_mountPoint.clear();
}

bool TestFailures::setReadOnly(const QString& path, bool readOnly)
{
    if (geteuid() == 0)
        return QProcess::execute(QStringLiteral("chattr"), {readOnly ? "+i" : "-i", path}) == 0;
    const bool folder = QFileInfo(path).isDir();
    QFile::Permissions permissions = QFile::ReadOwner | (folder ? QFile::ExeOwner : QFile::Permissions());
    if (!readOnly)
        permissions |= QFile::WriteOwner;
    return QFile::setPermissions(path, permissions);
}

void TestFailures::verifyEveryWriteRefused(const QString& path, Cause cause, const QString& advice)
{
    const MemberStore store(path);
    const QByteArray before = fileBytes(path);
    MemberRecord changed = sampleMember(QStringLiteral("0001"), QStringLiteral("Cambiado"));
    const QList<StoreError> errors = {
        store.appendNew(sampleMember(QStringLiteral("0099"))).error(),
        store.rewriteFirst(QStringLiteral("0001"), changed).error(),
        store.changePoints(QStringLiteral("0001"), [](const QString& s) { return s + QLatin1Char('5'); }).error(),
    };
    for (const StoreError& error : errors) {
        QCOMPARE(error.kind, StoreError::Kind::Write);
        QCOMPARE(error.cause, cause);
        const QString message = storeErrorMessage(error);
        QVERIFY2(message.contains(path) && message.contains(advice), qPrintable(message));
    }
    QCOMPARE(fileBytes(path), before);
}

void TestFailures::readOnly_data()
{
    QTest::addColumn<bool>("folder");
    QTest::newRow("file") << false;
    QTest::newRow("folder") << true;
}

void TestFailures::readOnly()
{
    QFETCH(bool, folder);
    const QString path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
    const QString target = folder ? QFileInfo(path).absolutePath() : path;
    if (!setReadOnly(target, true))
        QSKIP("this file system cannot make the file read-only");
    m_readOnly << target;

    // Lookups and start-up work; every save is refused and nothing is lost.
    const MemberStore store(path);
    QCOMPARE(store.openOrCreate(), std::nullopt);
    QCOMPARE(store.rowsWithCard(QStringLiteral("0001"))->size(), std::size_t(1));
    verifyEveryWriteRefused(path, Cause::ReadOnly, QStringLiteral("solo lectura"));
    setReadOnly(target, false);
    QCOMPARE(store.appendNew(sampleMember(QStringLiteral("0099"))).value(), true);
}

void TestFailures::diskFull()
{
    // A small file system of its own, filled up: the engine meets a real "no space left".
    m_mountPoint = m_dir->filePath(QStringLiteral("disco"));
    QDir().mkpath(m_mountPoint);
    if (geteuid() != 0 ||
        QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=512k", "tmpfs", m_mountPoint}) != 0) {
        m_mountPoint.clear();
        QSKIP("needs to mount a small file system (root)");
    }
    const QString path = m_mountPoint + QStringLiteral("/dorvel.mdb");
    QVERIFY(QFile::copy(memberFileFromFixture(*m_dir, QStringLiteral("members.sql")), path));
    QFile filler(m_mountPoint + QStringLiteral("/relleno"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();

    verifyEveryWriteRefused(path, Cause::DiskFull, QStringLiteral("disco está lleno"));
    QCOMPARE(allRows(path).size(), 6);
    QVERIFY(filler.remove());
    QCOMPARE(MemberStore(path).appendNew(sampleMember(QStringLiteral("0099"))).value(), true);
}

void TestFailures::lockedByAnotherProcess()
{
    const QString path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
    QProcess locker;
    locker.start(qEnvironmentVariable("SOCIOS_TEST_HELPER"), {"lock", path, "60000"});
    QVERIFY(locker.waitForReadyRead(10000));
    QCOMPARE(locker.readLine().trimmed(), QByteArray("locked"));

    // The store waits a few seconds, then gives up with a message; the operator tries again later.
    const MemberStore store(path);
    const auto rows = store.rowsWithCard(QStringLiteral("0001"));
    QVERIFY(!rows.ok());
    QCOMPARE(rows.error().cause, Cause::Locked);
    QVERIFY(storeErrorMessage(rows.error()).contains(QStringLiteral("inténtelo de nuevo")));
    locker.kill();
    locker.waitForFinished();
    QCOMPARE(store.appendNew(sampleMember(QStringLiteral("0099"))).value(), true);
}

void TestFailures::killedWhileWriting()
{
    const QString path = createMemberFile(*m_dir);
    QRandomGenerator random(20261206);
    QSet<int> acknowledged;
    for (int round = 0; round < 25; ++round) {
        QProcess writer;
        writer.start(qEnvironmentVariable("SOCIOS_TEST_HELPER"), {"write", path});
        QVERIFY(writer.waitForStarted());
        QTest::qWait(int(random.bounded(20, 150)));
        writer.kill(); // SIGKILL: no chance to finish a write
        writer.waitForFinished();
        int lastPoints = -1;
        for (const QByteArray& line : writer.readAllStandardOutput().split('\n')) {
            if (!line.startsWith("ack "))
                continue;
            const int i = line.mid(4).toInt();
            if (i % 2 == 0)
                acknowledged.insert(i);
            else
                lastPoints = i;
        }

        QString integrity;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery query(QStringLiteral("PRAGMA integrity_check"), db);
            integrity = query.next() ? query.value(0).toString() : QString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        QCOMPARE(integrity, QStringLiteral("ok"));

        // Every acknowledged member is there; the balance is the last acknowledged one or the one being written.
        QSet<QString> cards;
        QString balance;
        for (const MemberRecord& row : allRows(path)) {
            cards.insert(row.ntarjeta);
            if (row.ntarjeta == QLatin1String("W0"))
                balance = row.puntos;
        }
        for (int i : acknowledged)
            QVERIFY2(cards.contains(QStringLiteral("W%1").arg(i)), qPrintable(QString::number(i)));
        if (lastPoints >= 0)
            QVERIFY2(balance.toInt() == lastPoints || balance.toInt() == lastPoints + 2, qPrintable(balance));
        execSql(path, QStringLiteral("DELETE FROM ficha")); // the next round starts with W0 again
        acknowledged.clear();
    }
}

QTEST_GUILESS_MAIN(TestFailures)
#include "TestFailures.moc"
