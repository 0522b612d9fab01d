#include "store/MemberStore.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

class TestMemberStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstStartCreatesEmptyFile();
    void foreignFileIsLeftUntouched_data();
    void foreignFileIsLeftUntouched();
    void cardMatchIsExactText_data();
    void cardMatchIsExactText();
    void noValueIsAFailure();
    void writesChangeTheFirstMatchingRow();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestMemberStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
}

void TestMemberStore::firstStartCreatesEmptyFile()
{
    const QString path = m_dir->filePath(QStringLiteral("nueva/carpeta con espacios/dorvel.mdb"));
    const MemberStore store(path);
    QVERIFY(store.rowsWithCard(QStringLiteral("0001")).error().kind == StoreError::Kind::Open);
    QVERIFY(!QFile::exists(path)); // only the start-up check creates the file
    QCOMPARE(store.openOrCreate(), std::nullopt);
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{"dorvel.mdb"});
    QCOMPARE(allRows(path).size(), 0);
    QCOMPARE(store.append(sampleMember(QStringLiteral("0001"))), std::nullopt);
    QCOMPARE(store.openOrCreate(), std::nullopt); // the next start opens it, rows and all
    QCOMPARE(allRows(path).size(), 1);
}

void TestMemberStore::foreignFileIsLeftUntouched_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("damaged"); // a database with broken contents, rather than no member file at all

    QByteArray random(4096, '\0');
    QRandomGenerator generator(7);
    for (char& c : random)
        c = char(generator.bounded(256));
    QTest::newRow("text file") << QByteArray("nombre;apellidos\nAna;Ruiz\n") << "" << false;
    QTest::newRow("random bytes") << random << "" << false;
    QTest::newRow("Access file") << fileBytes(testDataPath(QStringLiteral("ficha-jet4.mdb"))) << "" << false;
    QTest::newRow("truncated database") << fileBytes(createMemberFile(QTemporaryDir())).left(100) << "" << true;
    QTest::newRow("empty file") << QByteArray() << "" << false;
    QTest::newRow("no table ficha") << QByteArray() << "CREATE TABLE socios (ntarjeta TEXT)" << false;
    QTest::newRow("column missing") << QByteArray()
                                    << "CREATE TABLE ficha (ntarjeta TEXT, nsocio TEXT, nombre TEXT, apellidos TEXT, "
                                       "calle TEXT, cp TEXT, ciudad TEXT, telefono TEXT, fnacimiento TEXT, "
                                       "observaciones TEXT, puntos TEXT, fcaducidad TEXT)"
                                    << false;
}

void TestMemberStore::foreignFileIsLeftUntouched()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, sql);
    QFETCH(bool, damaged);
    const QString path = m_dir->filePath(QStringLiteral("foreign.mdb"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    if (!sql.isEmpty())
        execSql(path, sql);
    const QByteArray before = fileBytes(path);

    const MemberStore store(path);
    const StoreStatus failure = store.openOrCreate();
    QVERIFY(failure);
    QCOMPARE(failure->kind, StoreError::Kind::Open);
    QCOMPARE(failure->cause, damaged ? StoreError::Cause::Damaged : StoreError::Cause::NotMemberFile);
    QCOMPARE(failure->path, path);
    QVERIFY(!store.appendNew(sampleMember(QStringLiteral("0001"))).ok());
    QCOMPARE(fileBytes(path), before);
}

void TestMemberStore::cardMatchIsExactText_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("one row") << "0001" << QStringList{"Ana"};
    QTest::newRow("duplicates in table order") << "0020" << QStringList{"Primero", "Segundo"};
    QTest::newRow("zeros count") << "12" << QStringList{"Íñigo"};
    QTest::newRow("not a number compare") << "1" << QStringList{};
    QTest::newRow("trailing blank counts") << "0001 " << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("quote") << "0001' OR '1'='1" << QStringList{};
}

void TestMemberStore::cardMatchIsExactText()
{
    QFETCH(QString, card);
    QFETCH(QStringList, names);
    const MemberStore store(m_path);
    const auto rows = store.rowsWithCard(card);
    QStringList found;
    for (const MemberRecord& row : rows.value())
        found << row.nombre;
    QCOMPARE(found, names);
    QCOMPARE(store.holdsCard(card).value(), !names.isEmpty());
}

void TestMemberStore::noValueIsAFailure()
{
    execSql(m_path, QStringLiteral("UPDATE ficha SET email = NULL WHERE ntarjeta = '0001'"));
    const MemberStore store(m_path);
    const auto rows = store.rowsWithCard(QStringLiteral("0001"));
    QCOMPARE(rows.error().kind, StoreError::Kind::NoValue);
    QCOMPARE(rows.error().detail, QStringLiteral("email"));
    QVERIFY(store.rowsWithCard(QStringLiteral("0007")).ok()); // rows not asked for are not read
}

void TestMemberStore::writesChangeTheFirstMatchingRow()
{
    using Outcome = MemberStore::PointsChange::Outcome;
    const MemberStore store(m_path);
    QList<MemberRecord> expected = allRows(m_path);
    const MemberRecord changed = sampleMember(QStringLiteral("0020"), QStringLiteral("Cambiado"));
    QCOMPARE(store.rewriteFirst(QStringLiteral("0020"), changed).value(), true);
    expected[3] = changed;
    QCOMPARE(store.rewriteFirst(QStringLiteral("9999"), changed).value(), false);

    // A points change sees the balance stored now, in the first row holding the card.
    QStringList seen;
    auto setTo = [&seen](const char* balance) {
        return [&seen, balance](const QString& stored) {
            seen << stored;
            return balance ? std::optional<QString>(QString::fromUtf8(balance)) : std::nullopt;
        };
    };
    execSql(m_path, QStringLiteral("UPDATE ficha SET puntos = '12' WHERE rowid = 4"));
    const auto written = store.changePoints(QStringLiteral("0020"), setTo(" 35"));
    QCOMPARE(written->outcome, Outcome::Written);
    QCOMPARE(written->stored, QStringLiteral(" 35"));
    expected[3].puntos = QStringLiteral(" 35");
    QCOMPARE(store.changePoints(QStringLiteral("0020"), setTo(nullptr))->outcome, Outcome::Declined);
    QCOMPARE(store.changePoints(QStringLiteral("9999"), setTo("0"))->outcome, Outcome::NoRow);
    QCOMPARE(seen, (QStringList{"12", " 35"}));

    QCOMPARE(store.appendNew(sampleMember(QStringLiteral("0012"))).value(), false);
    QCOMPARE(allRows(m_path), expected);
    QCOMPARE(store.appendNew(sampleMember(QStringLiteral("012"))).value(), true);
    expected << sampleMember(QStringLiteral("012"));
    QCOMPARE(allRows(m_path), expected);
}

QTEST_GUILESS_MAIN(TestMemberStore)
#include "TestMemberStore.moc"
