#include "backup/Backups.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <latch>

// The daily copies of the member file, rotated over many days, made once a day by tills that start together, and
// thrown away when they fail, with the member file taken for damaged only by its own check; and restoring a copy,
// refused whenever it cannot be put in place whole.
class TestBackups : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_path;
    QList<QStringList> m_undoes;

    QList<QDate> copiedDays(const Backups& backups)
    {
        QList<QDate> days;
        for (const Backups::Copy& copy : backups.copies())
            days << copy.day;
        return days;
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

    void daysToKeep_data()
    {
        const DataTable<QList<QDate>, QDate, QList<QDate>> row("days", "today", "kept");
        QList<QDate> everyDay; // 1 January to 30 April 2026
        for (QDate day(2026, 1, 1); day <= QDate(2026, 4, 30); day = day.addDays(1))
            everyDay << day;
        QList<QDate> lastFourteen;
        for (QDate day(2026, 4, 17); day <= QDate(2026, 4, 30); day = day.addDays(1))
            lastFourteen << day;
        row("every day: 14 newest and the last of each month", everyDay, QDate(2026, 4, 30),
            QList{QDate(2026, 1, 31), QDate(2026, 2, 28), QDate(2026, 3, 31)} + lastFourteen);
        QList<QDate> sparse = {QDate(2025, 3, 15), QDate(2025, 4, 15), QDate(2025, 5, 10), QDate(2025, 5, 20)};
        for (int i = 0; i < 14; ++i)
            sparse << QDate(2026, 4, 1).addDays(i);
        row("a shop closed for months", sparse, QDate(2026, 4, 14),
            QList{QDate(2025, 5, 20)} + sparse.mid(4)); // May 2025 is the 12th month back; April 2025 the 13th
    }

    void daysToKeep()
    {
        QFETCH(QList<QDate>, days);
        QFETCH(QDate, today);
        QFETCH(QList<QDate>, kept);
        const std::set<QDate> keep = Backups::daysToKeep(std::vector<QDate>(days.begin(), days.end()), today);
        QCOMPARE(QList<QDate>(keep.begin(), keep.end()), kept);
    }

    void dailyCopiesOverMonths()
    {
        // One start a day for 100 days, through the clock's date: one copy a day, never more, rotated.
        const MemberStore store(m_path);
        const Backups backups(m_path);
        const QDate first(2026, 1, 1);
        for (QDate today = first; today < first.addDays(100); today = today.addDays(1)) {
            QCOMPARE(backups.makeDailyCopy(store, today).outcome, Backups::Daily::Outcome::Made);
            QCOMPARE(backups.makeDailyCopy(store, today).outcome, Backups::Daily::Outcome::Existed);
        }
        const QList<QDate> days = copiedDays(backups);
        QCOMPARE(days.size(), 2 + 14); // 31 January, 28 February, and the 14 newest: 28 March to 10 April
        QCOMPARE(days.last(), first.addDays(99));
        QCOMPARE(allRows(backups.newest()->path), allRows(m_path));
        QVERIFY(QDir(backups.folder()).entryList(QDir::Files).size() == days.size()); // no temporary left
    }

    void tillsStartingOnTheSameDay()
    {
        // Four tills start at once, each with its own store, on each of ten days: one copy a day between them, and
        // none of them is told that the copy failed.
        execSql(m_path, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) INSERT INTO "
                        "ficha SELECT 'T' || i, nsocio, nombre, apellidos, calle, cp, ciudad, telefono, email, "
                        "fnacimiento, observaciones, puntos, fcaducidad FROM n, ficha WHERE ficha.rowid = 1");
        const Backups backups(m_path);
        for (QDate today(2026, 6, 1); today <= QDate(2026, 6, 10); today = today.addDays(1)) {
            constexpr int kTills = 4;
            std::latch started(kTills);
            std::vector<Backups::Daily> outcomes(kTills);
            std::vector<std::unique_ptr<QThread>> tills;
            for (int i = 0; i < kTills; ++i)
                tills.emplace_back(QThread::create([&, i] {
                    const MemberStore store(m_path);
                    started.arrive_and_wait();
                    outcomes[std::size_t(i)] = backups.makeDailyCopy(store, today);
                }));
            for (const auto& till : tills)
                till->start();
            for (const auto& till : tills)
                QVERIFY(till->wait(60000));
            QStringList seen;
            for (const Backups::Daily& daily : outcomes)
                seen << (daily.error ? daily.error->toString() : QString::number(int(daily.outcome)));
            seen.sort();
            QCOMPARE(seen, (QStringList{"0", "1", "1", "1"})); // one Made, three Existed
        }
        QCOMPARE(copiedDays(backups).size(), 10);
        QCOMPARE(QDir(backups.folder()).entryList(QDir::Files).size(), 10); // nothing else there
    }

    void dailyCopyFailures_data()
    {
        // fileDamaged: whether the member file is to be taken for damaged (it then takes no more saves).
        const DataTable<QString, StoreError::Cause, bool> row("failure", "cause", "fileDamaged");
        row("the member file damaged", "damaged", StoreError::Cause::Damaged, true);
        row("the check of the copy stopped", "stopped", StoreError::Cause::TooSlow, false);
        row("the copies' disk full", "full", StoreError::Cause::DiskFull, false);
    }

    void dailyCopyFailures()
    {
        // A copy that cannot be made or checked is thrown away, and no good copy goes. Only the member file's own
        // check says that the member file is damaged.
        QFETCH(QString, failure);
        QFETCH(StoreError::Cause, cause);
        QFETCH(bool, fileDamaged);
        const Backups backups(m_path);
        for (int day = 1; day <= 20; ++day)
            QCOMPARE(backups.makeDailyCopy(MemberStore(m_path), QDate(2026, 5, day)).outcome,
                     Backups::Daily::Outcome::Made);
        const QList<QDate> before = copiedDays(backups);
        execSql(m_path, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) INSERT INTO "
                        "ficha SELECT 'D' || i, '', '', '', '', '', '', '', '', '', '', '', '' FROM n;\n"
                        "PRAGMA wal_checkpoint(TRUNCATE)");
        if (failure == "damaged") {
            // Part of a page of the table written over, as a failing disk would: every page still reads, and only a
            // check finds it.
            const QList<QStringList> pages = execSql(m_path, "SELECT pageno FROM dbstat WHERE name = 'ficha' AND "
                                                             "pagetype = 'leaf'");
            QFile file(m_path);
            QVERIFY(pages.size() > 2 && file.open(QIODevice::ReadWrite) &&
                    file.seek((pages[1][0].toLongLong() - 1) * 4096 + 100) && file.write(QByteArray(50, '\0')) == 50);
        } else if (failure == "full") {
            // A small file system of its own for the copies, too small for one more.
            QVERIFY(QDir().rename(backups.folder(), m_dir->filePath("antes")));
            if (!mountSmallDisk(backups.folder(), "256k", m_undoes))
                QSKIP("needs to mount a small file system (root on Linux)");
            for (const QString& name : QDir(m_dir->filePath("antes")).entryList(QDir::Files))
                QVERIFY(QFile::copy(m_dir->filePath("antes/" + name), backups.folder() + '/' + name));
        }

        Backups::Daily daily;
        // The check of the copy is stopped as the time limit stops it; a till that ends stops it the same way.
        std::unique_ptr<QThread> check(QThread::create([&] {
            if (failure == "stopped")
                QThread::currentThread()->requestInterruption();
            daily = backups.makeDailyCopy(MemberStore(m_path), QDate(2026, 5, 21));
        }));
        check->start();
        QVERIFY(check->wait(60000));
        QCOMPARE(daily.outcome, Backups::Daily::Outcome::Failed);
        QVERIFY2(daily.error->cause == cause, qPrintable(daily.error->toString()));
        QCOMPARE(daily.fileDamaged, fileDamaged);
        QCOMPARE(copiedDays(backups), before);
        QCOMPARE(QDir(backups.folder()).entryList(QDir::Files).size(), before.size()); // nothing of it left
    }

    void restoreFailures_data()
    {
        // kind: how the restore is refused, or -1 when the copy is put in place; detail: a part of what it says.
        const DataTable<QString, int, QString> row("copy", "kind", "detail");
        const auto refused = [&](const char* name, const char* copy, RestoreError::Kind kind, const char* detail) {
            row(name, copy, int(kind), detail);
        };
        row("a copy", "copy", -1, "");
        row("no member file in place", "no member file", -1, "");
        row("its last change still in its log", "log", -1, "");
        refused("a log beside it that would spoil it", "foreign log", RestoreError::Kind::BadCopy, "no such table");
        refused("not a member file", "not a member file", RestoreError::Kind::BadCopy, "is not a member file");
        refused("damaged", "damaged", RestoreError::Kind::BadCopy, "is not a sound member file");
        refused("an extra column that refuses missing values in the points history", "movimientos NOT NULL",
                RestoreError::Kind::BadCopy, "table movimientos has a column caja that socios does not write");
        refused("a column of another program", "ficha column", RestoreError::Kind::BadCopy,
                "table ficha has a column extra");
        refused("card numbers that must be unique", "unique", RestoreError::Kind::BadCopy, "refuses repeated values");
        refused("a till has the member file open", "till", RestoreError::Kind::InUse, "a till has");
        refused("another program reads the member file", "reader", RestoreError::Kind::InUse, "a program has");
    }

    void restoreFailures()
    {
        QFETCH(QString, copy);
        QFETCH(int, kind);
        QFETCH(QString, detail);
        // The copy: the members as they were, before one more was added to the member file.
        const QString file = m_dir->filePath("copia.mdb");
        VERIFY_OK(MemberStore(m_path).backupTo(file));
        QList<MemberRecord> restored = allRows(file);
        VERIFY_OK(MemberStore(m_path).append(sampleMember("0099")));
        const QList<MemberRecord> current = allRows(m_path);
        QList<QProcess*> others;
        const auto startOther = [&](const QStringList& arguments, const QByteArray& ready) {
            others << new QProcess(this);
            return startHelper(*others.last(), arguments, ready);
        };
        const auto copyFiles = [&] { // the copy and what is beside it
            QMap<QString, QByteArray> files = folderContents(m_dir->path());
            files.removeIf([](const auto& file) { return !file.key().startsWith("copia.mdb"); });
            return files;
        };
        const auto killOthers = [&] {
            for (QProcess* other : std::exchange(others, {})) {
                other->kill();
                other->waitForFinished();
                delete other;
            }
        };
        const auto logBeside = [&](const QString& database, const QString& change) {
            // A program killed after a change that sits in the log beside its file.
            return startOther({"sql", database, "60000", "PRAGMA journal_mode=WAL", change}, "ready");
        };

        if (copy == "no member file") {
            QVERIFY(QFile::remove(m_path));
        } else if (copy == "log") {
            QVERIFY(logBeside(file, "INSERT INTO ficha SELECT '0777', nsocio, nombre, apellidos, calle, cp, ciudad, "
                                    "telefono, email, fnacimiento, observaciones, puntos, fcaducidad FROM ficha "
                                    "WHERE ntarjeta = '0001'"));
            restored << restored.front();
            restored.back().ntarjeta = "0777";
        } else if (copy == "foreign log") {
            const QString other = m_dir->filePath("otro.db");
            QVERIFY(logBeside(other, "CREATE TABLE pedidos (n)"));
            killOthers();
            QVERIFY(QFile::copy(other + "-wal", file + "-wal"));
        } else if (copy == "not a member file") {
            QVERIFY(QFile::remove(file) && QFile::copy(testDataPath("ficha-jet4.mdb"), file));
        } else if (copy == "damaged") {
            QFile damaged(file);
            QVERIFY(damaged.open(QIODevice::ReadWrite) && damaged.seek(4096) &&
                    damaged.write(QByteArray(4096, '\x55')) == 4096);
        } else if (copy == "movimientos NOT NULL") {
            execSql(file, "CREATE TABLE movimientos (fecha TEXT, ntarjeta TEXT, antes TEXT, cantidad TEXT, despues "
                          "TEXT, operacion TEXT, equipo TEXT, caja TEXT NOT NULL)");
        } else if (copy == "ficha column") {
            execSql(file, "ALTER TABLE ficha ADD COLUMN extra TEXT");
        } else if (copy == "unique") {
            execSql(file, "DELETE FROM ficha WHERE rowid = 5;\nCREATE UNIQUE INDEX tarjeta ON ficha (ntarjeta)");
        } else if (copy == "till") {
            // A till that looked a member up, and waits for the operator.
            others << new QProcess(this);
            others.last()->start(qEnvironmentVariable("SOCIOS_TEST_HELPER"), {"till", m_path});
            others.last()->write("click Command1 0001\n");
            QVERIFY(others.last()->waitForReadyRead(20000));
        } else if (copy == "reader") {
            QVERIFY(startOther({"sql", m_path, "60000", "BEGIN", "SELECT count(*) FROM ficha"}, "ready"));
        }
        if (copy == "log")
            killOthers();
        const QMap<QString, QByteArray> copyBefore = copyFiles();
        const auto before = folderContents(QFileInfo(m_path).absolutePath());

        const auto result = restoreCopy(file, m_path);
        killOthers();
        QCOMPARE(copyFiles(), copyBefore); // the copy is never changed
        const QStringList left = QDir(QFileInfo(m_path).absolutePath()).entryList({"*.new-*"}, QDir::Files);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
        if (kind >= 0) {
            const RestoreError* failed = result ? nullptr : &result.error();
            QVERIFY2(failed, "restored");
            QCOMPARE(int(failed->kind), kind);
            const QString said = failed->detail + (failed->store ? ' ' + failed->store->toString() : QString());
            QVERIFY2(said.contains(detail), qPrintable(said));
            QCOMPARE(folderContents(QFileInfo(m_path).absolutePath()), before);
            return;
        }
        QVERIFY2(result, result ? "" : qPrintable(result.error().detail));
        const Restored* done = &*result;
        QCOMPARE(done->members, restored.size());
        QCOMPARE(allRows(m_path), restored);
        if (copy == "no member file")
            QVERIFY(done->keptAside.isEmpty());
        else
            QVERIFY2(QFileInfo(done->keptAside)
                             .fileName()
                             .contains(QRegularExpression(
                                 R"(^dorvel \(antes de restaurar \d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d\)\.mdb$)")) &&
                         allRows(done->keptAside) == current,
                     qPrintable(done->keptAside));
        VERIFY_OK(MemberStore(m_path).append(sampleMember("0100"))); // it takes saves
    }
};

QTEST_GUILESS_MAIN(TestBackups)
#include "TestBackups.moc"
