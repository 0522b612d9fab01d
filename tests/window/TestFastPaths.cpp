#include "app/conversions/Characters.h"
#include "bench/MemberGenerator.h"
#include "tests/support/TestSupport.h"
#include "window/Form1.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The indexed lookups against the plain way (every row read), on generated members with duplicate card numbers,
// empty marks and odd birth texts.
class TestFastPaths : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void birthdayListEveryDay_data();
    void birthdayListEveryDay();
    void cardLookups();
    void unindexedFileGivesTheSameRows();

private:
    QTemporaryDir m_dir;
    QString m_path;
    QList<MemberRecord> m_rows;
};

void TestFastPaths::initTestCase()
{
    m_path = m_dir.filePath(QStringLiteral("dorvel.mdb"));
    GeneratorOptions options;
    options.members = 4000;
    options.oddities = true;
    QCOMPARE(generateMemberFile(m_path, options), std::nullopt);
    m_rows = allRows(m_path);
    QVERIFY(m_rows.size() > options.members); // duplicates appended
}

void TestFastPaths::birthdayListEveryDay_data()
{
    QTest::addColumn<int>("year");
    QTest::newRow("common year") << 2026;
    QTest::newRow("leap year") << 2028;
}

void TestFastPaths::birthdayListEveryDay()
{
    QFETCH(int, year);
    const MemberStore store(m_path);
    static const QRegularExpression twoDigits(QStringLiteral("^[0-9][0-9]$"));
    for (QDate today(year, 1, 1); today.year() == year; today = today.addDays(1)) {
        QStringList expected;
        for (const MemberRecord& row : m_rows) {
            const QString day = midChars(row.fnacimiento, 1, 2), month = midChars(row.fnacimiento, 4, 2);
            if (row.fnacimiento == kEmptyMark || row.fnacimiento == QLatin1String("00/00/0000") ||
                !twoDigits.match(day).hasMatch() || !twoDigits.match(month).hasMatch())
                continue;
            const qint64 days = today.daysTo(QDate(year, month.toInt(), day.toInt()));
            if (days < 1 || days > 9)
                continue;
            auto column = [](const QString& text) {
                const QString cut = leftChars(text, 17);
                return cut + (charCount(cut) > 7 ? QStringLiteral("\t ") : QStringLiteral("\t\t "));
            };
            expected << column(row.nombre) + column(row.apellidos) + leftChars(row.ntarjeta, 4) + QLatin1Char('\t') +
                            QString::number(days);
        }
        Form1 form;
        QCOMPARE(form.Form_Load(store, FixedClock(today)), std::nullopt);
        QVERIFY2(form.List1.items() == expected, qPrintable(today.toString(Qt::ISODate)));
    }
}

void TestFastPaths::cardLookups()
{
    const MemberStore store(m_path);
    QStringList cards;
    for (int i = 0; i < m_rows.size(); i += 3)
        cards << m_rows[i].ntarjeta;
    cards << QStringLiteral("0") << QStringLiteral("") << m_rows[0].ntarjeta + QLatin1Char(' ');
    int duplicates = 0;
    for (const QString& card : cards) {
        QList<MemberRecord> expected;
        for (const MemberRecord& row : m_rows)
            if (row.ntarjeta == card)
                expected << row;
        const auto found = store.rowsWithCard(card);
        QVERIFY(found.ok());
        QCOMPARE(QList<MemberRecord>(found->begin(), found->end()), expected);
        QCOMPARE(store.holdsCard(card).value(), !expected.isEmpty());
        duplicates += expected.size() > 1;
    }
    QVERIFY(duplicates > 10);
}

void TestFastPaths::unindexedFileGivesTheSameRows()
{
    // A file made by another program, or by an earlier version, has no indexes until the next start adds them.
    const QString copy = m_dir.filePath(QStringLiteral("copia.mdb"));
    QVERIFY(QFile::copy(m_path, copy));
    execSql(copy, QStringLiteral("DROP INDEX ficha_ntarjeta;\nDROP INDEX ficha_cumple"));
    const MemberStore unindexed(copy), indexed(m_path);
    const QString card = m_rows[1234].ntarjeta;
    QCOMPARE(unindexed.rowsWithCard(card).value(), indexed.rowsWithCard(card).value());
    Form1 slow, fast;
    QCOMPARE(slow.Form_Load(unindexed, FixedClock(QDate(2026, 5, 20))), std::nullopt);
    QCOMPARE(fast.Form_Load(indexed, FixedClock(QDate(2026, 5, 20))), std::nullopt);
    QCOMPARE(slow.List1.items(), fast.List1.items());
    QVERIFY(!fast.List1.items().isEmpty());

    QCOMPARE(unindexed.openOrCreate(), std::nullopt);
    const QString indexes = "SELECT sql FROM sqlite_master WHERE type = 'index' ORDER BY name";
    QCOMPARE(execSql(copy, indexes), execSql(m_path, indexes));
    QCOMPARE(allRows(copy), m_rows);
    const QByteArray indexedOnce = fileBytes(copy);
    QCOMPARE(unindexed.openOrCreate(), std::nullopt);
    QCOMPARE(fileBytes(copy), indexedOnce); // added once, then left alone
}

QTEST_GUILESS_MAIN(TestFastPaths)
#include "TestFastPaths.moc"
