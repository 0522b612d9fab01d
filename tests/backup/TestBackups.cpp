#include "backup/Backups.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The daily copies of the member file, rotated over many days; a damaged file that must not push good copies out;
// and restoring a copy, refused while a till has the file open.
class TestBackups : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_path;

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

    void damagedFileNeverPushesGoodCopiesOut()
    {
        const MemberStore store(m_path);
        const Backups backups(m_path);
        for (int day = 1; day <= 20; ++day)
            QCOMPARE(backups.makeDailyCopy(store, QDate(2026, 5, day)).outcome, Backups::Daily::Outcome::Made);
        const QList<QDate> before = copiedDays(backups);

        // Part of a page of the table written over, as a failing disk would: every page still reads, and only a
        // check of the copy finds it.
        execSql(m_path, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) INSERT INTO "
                        "ficha SELECT 'D' || i, '', '', '', '', '', '', '', '', '', '', '', '' FROM n;\n"
                        "PRAGMA wal_checkpoint(TRUNCATE)");
        const QList<QStringList> pages = execSql(m_path, "SELECT pageno FROM dbstat WHERE name = 'ficha' AND "
                                                         "pagetype = 'leaf'");
        QFile file(m_path);
        QVERIFY(pages.size() > 2 && file.open(QIODevice::ReadWrite) &&
                file.seek((pages[1][0].toLongLong() - 1) * 4096 + 100) && file.write(QByteArray(50, '\0')) == 50);
        file.close();

        const Backups::Daily daily = MemberStore(m_path).openOrCreate()
                                         ? Backups::Daily{}
                                         : backups.makeDailyCopy(MemberStore(m_path), QDate(2026, 5, 21));
        QCOMPARE(daily.outcome, Backups::Daily::Outcome::Failed);
        QCOMPARE(daily.error->cause, StoreError::Cause::Damaged);
        QCOMPARE(copiedDays(backups), before);
        QCOMPARE(backups.newest()->day, QDate(2026, 5, 20));
        QCOMPARE(QDir(backups.folder()).entryList(QDir::Files).size(), before.size());
    }

    void restore()
    {
        const QString copy = m_dir->filePath("copia.mdb");
        QCOMPARE(MemberStore(m_path).backupTo(copy), std::nullopt);
        const QList<MemberRecord> saved = allRows(m_path);
        QCOMPARE(MemberStore(m_path).append(sampleMember("0099")), std::nullopt);
        const QByteArray current = fileBytes(m_path);

        // Refused while another program holds the file open.
        QProcess reader;
        QVERIFY(startHelper(reader, {"sql", m_path, "60000", "BEGIN", "SELECT count(*) FROM ficha"}, "ready"));
        const auto refused = restoreCopy(copy, m_path);
        reader.kill();
        reader.waitForFinished();
        QCOMPARE(std::get<RestoreError>(refused).kind, RestoreError::Kind::InUse);
        QCOMPARE(fileBytes(m_path), current);

        // Not a member file: refused. Then the copy: in place, the file that was there kept aside.
        QCOMPARE(std::get<RestoreError>(restoreCopy(testDataPath("members.sql"), m_path)).kind,
                 RestoreError::Kind::BadCopy);
        const auto restored = restoreCopy(copy, m_path);
        QCOMPARE(std::get<Restored>(restored).members, saved.size());
        QCOMPARE(allRows(m_path), saved);
        QCOMPARE(allRows(std::get<Restored>(restored).keptAside).size(), saved.size() + 1);
    }
};

QTEST_GUILESS_MAIN(TestBackups)
#include "TestBackups.moc"
