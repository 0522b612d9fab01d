#include "store/MemberStore.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
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
    void missingFileIsNotCreatedByOperations();

    void scanVisitsRowsInTableOrder();
    void scanStopsWithVisitorError();
    void cardMatchIsExactText_data();
    void cardMatchIsExactText();
    void noValueIsAFailure();

    void appendKeepsEveryTextExactly();
    void rewriteChangesFirstMatchOnly();
    void changePointsWorksOnTheStoredBalance();
    void appendNewRefusesATakenNumber();
    void refusedWriteLeavesNothing();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestMemberStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
}

void TestMemberStore::firstStartCreatesEmptyFile()
{
    const QString path = m_dir->filePath(QStringLiteral("nueva/carpeta con espacios/dorvel.mdb"));
    const MemberStore store(path);
    QCOMPARE(store.openOrCreate(), std::nullopt);
    QVERIFY(QFile::exists(path));
    QCOMPARE(allRows(path).size(), 0);
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{"dorvel.mdb"});

    // The next start opens the file it made, rows and all.
    QCOMPARE(store.append(sampleMember(QStringLiteral("0001"))), std::nullopt);
    QCOMPARE(store.openOrCreate(), std::nullopt);
    QCOMPARE(allRows(path).size(), 1);
}

void TestMemberStore::foreignFileIsLeftUntouched_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("sql");

    QByteArray random(4096, '\0');
    QRandomGenerator generator(7);
    for (char& c : random)
        c = char(generator.bounded(256));
    const QByteArray database = fileBytes(createMemberFile(QTemporaryDir()));

    QTest::newRow("text file") << QByteArray("nombre;apellidos\nAna;Ruiz\n") << "";
    QTest::newRow("random bytes") << random << "";
    QTest::newRow("Access file") << fileBytes(testDataPath(QStringLiteral("ficha-jet4.mdb"))) << "";
    QTest::newRow("truncated database") << database.left(100) << "";
    QTest::newRow("empty file") << QByteArray() << "";
    QTest::newRow("no table ficha") << QByteArray() << "CREATE TABLE socios (ntarjeta TEXT)";
    QTest::newRow("column missing") << QByteArray()
                                    << "CREATE TABLE ficha (ntarjeta TEXT, nsocio TEXT, nombre TEXT, apellidos TEXT, "
                                       "calle TEXT, cp TEXT, ciudad TEXT, telefono TEXT, fnacimiento TEXT, "
                                       "observaciones TEXT, puntos TEXT, fcaducidad TEXT)";
}

void TestMemberStore::foreignFileIsLeftUntouched()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, sql);
    const QString path = m_dir->filePath(QStringLiteral("foreign.mdb"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    if (!sql.isEmpty())
        execSql(path, sql);
    const QByteArray before = fileBytes(path);

    const MemberStore store(path);
    const StoreStatus failure = store.openOrCreate();
    QVERIFY(failure);
    QCOMPARE(failure->kind, StoreError::Kind::Open);
    QCOMPARE(failure->path, path);
    QVERIFY(!failure->detail.isEmpty());
    QVERIFY(store.append(sampleMember(QStringLiteral("0001"))).has_value());
    QVERIFY(!store.rowsWithCard(QStringLiteral("0001")).ok());
    QCOMPARE(fileBytes(path), before);
}

void TestMemberStore::missingFileIsNotCreatedByOperations()
{
    QVERIFY(QFile::remove(m_path));
    const MemberStore store(m_path);
    const auto rows = store.rowsWithCard(QStringLiteral("0001"));
    QVERIFY(!rows.ok());
    QCOMPARE(rows.error().kind, StoreError::Kind::Open);
    QVERIFY(store.append(sampleMember(QStringLiteral("0001"))).has_value());
    QVERIFY(!QFile::exists(m_path));
}

void TestMemberStore::scanVisitsRowsInTableOrder()
{
    const MemberStore store(m_path);
    QStringList seen;
    static constexpr Field kFields[] = {Field::nombre, Field::ntarjeta};
    const StoreStatus failure = store.scan(kFields, [&](const StoredRow& row) -> StoreStatus {
        seen << row.text(Field::ntarjeta).value() + QLatin1Char(' ') + row.text(Field::nombre).value();
        return std::nullopt;
    });
    QCOMPARE(failure, std::nullopt);
    QCOMPARE(seen,
             (QStringList{"0001 Ana", "0007 *****", "0012 José Antonio", "0020 Primero", "0020 Segundo", "12 Íñigo"}));
}

void TestMemberStore::scanStopsWithVisitorError()
{
    const MemberStore store(m_path);
    int visited = 0;
    static constexpr Field kFields[] = {Field::ntarjeta};
    const StoreStatus failure = store.scan(kFields, [&](const StoredRow&) -> StoreStatus {
        return ++visited == 2 ? std::make_optional(StoreError{StoreError::Kind::Read, m_path, "stop"}) : std::nullopt;
    });
    QVERIFY(failure);
    QCOMPARE(failure->detail, QStringLiteral("stop"));
    QCOMPARE(visited, 2);
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
    QVERIFY(rows.ok());
    QStringList found;
    for (const MemberRecord& row : *rows)
        found << row.nombre;
    QCOMPARE(found, names);
    QCOMPARE(store.holdsCard(card).value(), !names.isEmpty());
}

void TestMemberStore::noValueIsAFailure()
{
    execSql(m_path, QStringLiteral("UPDATE ficha SET email = NULL WHERE ntarjeta = '0001'"));
    const MemberStore store(m_path);
    const auto rows = store.rowsWithCard(QStringLiteral("0001"));
    QVERIFY(!rows.ok());
    QCOMPARE(rows.error().kind, StoreError::Kind::NoValue);
    QCOMPARE(rows.error().detail, QStringLiteral("email"));
    // Rows without the card number are not read, so they do not fail.
    QVERIFY(store.rowsWithCard(QStringLiteral("0007")).ok());
}

void TestMemberStore::appendKeepsEveryTextExactly()
{
    MemberRecord member = sampleMember(QStringLiteral("ñ7"));
    member.nombre = QStringLiteral("O'Brien \"el Rápido\" 😀");
    member.apellidos = QStringLiteral("'; DROP TABLE ficha; --");
    member.observaciones = QString(100000, QLatin1Char('x'));
    member.calle = QStringLiteral(" ");
    const MemberStore store(m_path);
    QCOMPARE(store.append(member), std::nullopt);
    const QList<MemberRecord> rows = allRows(m_path);
    QCOMPARE(rows.size(), 7);
    QCOMPARE(rows.last(), member);
}

void TestMemberStore::rewriteChangesFirstMatchOnly()
{
    const MemberStore store(m_path);
    const QList<MemberRecord> before = allRows(m_path);
    MemberRecord changed = sampleMember(QStringLiteral("0020"), QStringLiteral("Cambiado"));
    QCOMPARE(store.rewriteFirst(QStringLiteral("0020"), changed).value(), true);
    QList<MemberRecord> expected = before;
    expected[3] = changed;
    QCOMPARE(allRows(m_path), expected);

    QCOMPARE(store.rewriteFirst(QStringLiteral("9999"), changed).value(), false);
    QCOMPARE(allRows(m_path), expected);
}

void TestMemberStore::changePointsWorksOnTheStoredBalance()
{
    using Outcome = MemberStore::PointsChange::Outcome;
    const MemberStore store(m_path);
    QStringList seen;
    auto setTo = [&](const char* balance) {
        return [&seen, balance](const QString& stored) {
            seen << stored;
            return balance ? std::optional<QString>(QString::fromUtf8(balance)) : std::nullopt;
        };
    };
    const auto changed = store.changePoints(QStringLiteral("0020"), setTo(" 35"));
    QCOMPARE(changed->outcome, Outcome::Written);
    QCOMPARE(changed->stored, QStringLiteral(" 35"));
    QList<MemberRecord> rows = allRows(m_path);
    QCOMPARE(rows[3].puntos, QStringLiteral(" 35")); // the first of the two rows holding 0020
    QCOMPARE(rows[4].puntos, QStringLiteral("20"));

    QCOMPARE(store.changePoints(QStringLiteral("0020"), setTo(nullptr))->outcome, Outcome::Declined);
    QCOMPARE(store.changePoints(QStringLiteral("9999"), setTo("0"))->outcome, Outcome::NoRow);
    QCOMPARE(seen, (QStringList{"10", " 35"}));
    QCOMPARE(allRows(m_path), rows);
}

void TestMemberStore::appendNewRefusesATakenNumber()
{
    const MemberStore store(m_path);
    const QList<MemberRecord> before = allRows(m_path);
    QCOMPARE(store.appendNew(sampleMember(QStringLiteral("0012"))).value(), false);
    QCOMPARE(allRows(m_path), before);
    QCOMPARE(store.appendNew(sampleMember(QStringLiteral("012"))).value(), true);
    QCOMPARE(allRows(m_path).size(), before.size() + 1);
}

void TestMemberStore::refusedWriteLeavesNothing()
{
    // The engine refuses every change of a row, after the statement has begun.
    execSql(m_path, QStringLiteral("CREATE TRIGGER refuse_insert AFTER INSERT ON ficha BEGIN "
                                   "SELECT RAISE(ABORT, 'insert refused'); END;\n"
                                   "CREATE TRIGGER refuse_update AFTER UPDATE ON ficha BEGIN "
                                   "SELECT RAISE(ABORT, 'update refused'); END"));
    const QList<MemberRecord> before = allRows(m_path);
    const MemberStore store(m_path);

    const StoreStatus appended = store.append(sampleMember(QStringLiteral("0099")));
    QVERIFY(appended);
    QCOMPARE(appended->kind, StoreError::Kind::Write);
    QVERIFY(appended->detail.contains(QLatin1String("insert refused")));

    const auto rewritten = store.rewriteFirst(QStringLiteral("0001"), sampleMember(QStringLiteral("0001"), "X"));
    QVERIFY(!rewritten.ok());
    QVERIFY(rewritten.error().detail.contains(QLatin1String("update refused")));
    QVERIFY(!store.changePoints(QStringLiteral("0001"), [](const QString&) { return QStringLiteral("0"); }).ok());
    QVERIFY(!store.appendNew(sampleMember(QStringLiteral("0099"))).ok());

    QCOMPARE(allRows(m_path), before);
}

QTEST_GUILESS_MAIN(TestMemberStore)
#include "TestMemberStore.moc"
