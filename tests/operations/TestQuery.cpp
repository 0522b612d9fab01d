#include "operations/CardEntry.h"
#include "operations/CardOperations.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The card number prompt and "Consulta".
class TestQuery : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void normalise_data();
    void normalise();

    void promptTextsAndPlace();
    void passes_data();
    void passes();
    void leavingRestoresIdleState();
    void storeFailureEndsTheQuery_data();
    void storeFailureEndsTheQuery();

private:
    // What the member boxes show: "name=text" for every non-empty box, "name:red" for every red one.
    QStringList boxes() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<MemberStore> m_store;
    std::unique_ptr<Form1> m_form;
    FakePrompt m_prompt;
    FakeMessages m_messages;
    std::unique_ptr<CardOperations> m_operations;
};

void TestQuery::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
    m_store = std::make_unique<MemberStore>(m_path);
    m_form = std::make_unique<Form1>();
    QCOMPARE(m_form->Form_Load(*m_store, FixedClock(QDate(2026, 3, 10))), std::nullopt);
    m_prompt = FakePrompt();
    m_messages = FakeMessages();
    m_operations = std::make_unique<CardOperations>(*m_form, *m_store, m_prompt, m_messages);
    m_operations->connectHandlers();
}

QStringList TestQuery::boxes() const
{
    QStringList shown;
    for (Control* box : m_form->memberBoxes()) {
        if (!box->text().isEmpty())
            shown << box->name() + QLatin1Char('=') + box->text();
        if (box->backColor() == Form1::kRed)
            shown << box->name() + QLatin1String(":red");
    }
    return shown;
}

void TestQuery::normalise_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("normalised");

    QTest::newRow("typed") << "0001"
                           << "0001";
    QTest::newRow("card reader") << "ñ0001"
                                 << "0001";
    QTest::newRow("only one ñ dropped") << "ññ0001"
                                        << "ñ0001";
    QTest::newRow("ten characters") << "0123456789"
                                    << "0123456";
    QTest::newRow("ñ then ten characters") << "ñ0123456789"
                                           << "0123456";
    QTest::newRow("leave") << "*"
                           << "*";
    QTest::newRow("ñ then leave") << "ñ*"
                                  << "*";
    QTest::newRow("leave with more") << "*x"
                                     << "*x";
    QTest::newRow("cancelled") << ""
                               << "";
    QTest::newRow("ñ alone") << "ñ"
                             << "";
    QTest::newRow("capital Ñ is kept") << "Ñ0001"
                                       << "Ñ0001";
    QTest::newRow("blanks kept") << " 0001 "
                                 << " 0001 ";
    QTest::newRow("seventh character outside the BMP") << "123456😀89"
                                                       << "123456😀";
    QTest::newRow("ñ, seventh outside the BMP") << "ñ123456😀89"
                                                << "123456😀";
}

void TestQuery::normalise()
{
    QFETCH(QString, entry);
    QFETCH(QString, normalised);
    QCOMPARE(CardEntry::normalise(entry), normalised);
}

void TestQuery::promptTextsAndPlace()
{
    m_prompt.setAnswers({"*"});
    m_form->Command1.click();
    QCOMPARE(m_prompt.lastPrompt,
             QStringLiteral("introducir número por teclado,tarjeta magnética o lector de código de barras"));
    QCOMPARE(m_prompt.lastTitle, QStringLiteral("introducir datos"));
    QCOMPARE(m_prompt.lastPosition, QPoint(11500, 7000));
}

void TestQuery::passes_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QList<QStringList>>("shown"); // the boxes after each pass but the last ("*")

    const QStringList ana = {"Text25=Ana",
                             "Text26=Ruiz Gómez",
                             "Text47=Cliente desde 2019",
                             "Text28=13",
                             "Text29=03",
                             "Text30=1985",
                             "Text34=Plaza Mayor 3",
                             "Text35=28013",
                             "Text36=Madrid",
                             "Text38=915 555 123",
                             "Text40=ana@example.es",
                             "Text1=101",
                             "Text45=06",
                             "Text46=2027",
                             "Text4=0001",
                             "Text2= 150"};
    QStringList allRed;
    for (const char* name : {"Text25", "Text26", "Text47", "Text28", "Text29", "Text30", "Text34", "Text35", "Text36",
                             "Text38", "Text40", "Text1", "Text45", "Text46"})
        allRed << QLatin1String(name) + QLatin1String(":red");
    allRed << "Text4=0007"
           << "Text2:red";
    const QStringList jose = {"Text25=José Antonio",
                              "Text26=Núñez Peña",
                              "Text47:red",
                              "Text28=00",
                              "Text29=00",
                              "Text30=0000",
                              "Text34=C/ Alcalá 45, 2º B",
                              "Text35=28014",
                              "Text36=Madrid",
                              "Text38=600 111 222",
                              "Text40:red",
                              "Text1=112",
                              "Text45=00",
                              "Text46=0000",
                              "Text4=0012",
                              "Text2= 17.5"};

    QTest::newRow("found, then not found") << QStringList{"0001", "9999", "*"} << QList<QStringList>{ana, {}};
    QTest::newRow("empty marks red, then yellow again")
        << QStringList{"0007", "0001", "*"} << QList<QStringList>{allRed, ana};
    QTest::newRow("no dates shown as zeros") << QStringList{"0012", "*"} << QList<QStringList>{jose};
    QTest::newRow("card reader") << QStringList{"ñ0001", "ññ0001", "*"} << QList<QStringList>{ana, {}};
    QTest::newRow("exact text only") << QStringList{"1", "0001 ", "00012345", "*"} << QList<QStringList>{{}, {}, {}};
    QTest::newRow("cancel asks again") << QStringList{"0001", "", "*"} << QList<QStringList>{ana, {}};
    QTest::newRow("star with more is a number") << QStringList{"*x", "ñ*"} << QList<QStringList>{{}};

    QStringList segundo = {"Text25=Segundo", "Text26=Duplicado", "Text47:red", "Text28=06",
                           "Text29=03",      "Text30=1981",      "Text34:red", "Text35:red",
                           "Text36=Segovia", "Text38:red",       "Text40:red", "Text1=121",
                           "Text45=02",      "Text46=2026",      "Text4=0020", "Text2=20"};
    QTest::newRow("duplicates: the last row stays") << QStringList{"0020", "*"} << QList<QStringList>{segundo};
}

void TestQuery::passes()
{
    QFETCH(QStringList, answers);
    QFETCH(QList<QStringList>, shown);
    QList<QStringList> seen;
    m_prompt.setAnswers(answers);
    m_prompt.setBeforeEachAnswer([&](int asked) {
        if (asked > 0)
            seen << boxes();
        // While prompting: operation buttons disabled, footnote shown, boxes locked.
        for (Control* button : m_form->operationButtons())
            QVERIFY(!button->isEnabled());
        QVERIFY(m_form->Label18.isVisible());
        QVERIFY(!m_form->Label29.isVisible());
        for (Control* box : m_form->memberBoxes())
            QVERIFY(!box->isEnabled());
    });
    const QList<MemberRecord> before = allRows(m_path);
    m_form->Command1.click();
    QCOMPARE(m_prompt.asked(), answers.size());
    QCOMPARE(seen, shown);
    // The pass of "*" runs in full: it clears the boxes and their colours.
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(allRows(m_path), before);
    QVERIFY(m_messages.failures.isEmpty());
}

void TestQuery::leavingRestoresIdleState()
{
    m_form->Label35.setVisible(true); // left by an earlier operation: the query does not touch it
    m_prompt.setAnswers({"0001", "*"});
    m_form->Command1.click();
    Form1& f = *m_form;
    for (Control* button : f.operationButtons())
        QVERIFY(button->isEnabled());
    QVERIFY(f.Label29.isVisible());
    QVERIFY(!f.Label18.isVisible());
    QVERIFY(f.Label35.isVisible());
    QCOMPARE(f.Text52.text(), QString());
    QCOMPARE(f.focusErrors(), 0);
    // The next query starts prompting again.
    m_prompt.setAnswers({"*"});
    f.Command1.click();
    QCOMPARE(m_prompt.asked(), 3);
}

void TestQuery::storeFailureEndsTheQuery_data()
{
    QTest::addColumn<QString>("sabotage");
    QTest::newRow("file removed") << "remove";
    QTest::newRow("file replaced by text") << "replace";
    QTest::newRow("table dropped") << "DROP TABLE ficha";
    QTest::newRow("field without value") << "UPDATE ficha SET ciudad = NULL WHERE ntarjeta = '0001'";
}

void TestQuery::storeFailureEndsTheQuery()
{
    QFETCH(QString, sabotage);
    m_prompt.setAnswers({"0007", "0001", "*"});
    m_prompt.setBeforeEachAnswer([&](int asked) {
        if (asked != 1)
            return;
        if (sabotage == QLatin1String("remove")) {
            QVERIFY(QFile::remove(m_path));
        } else if (sabotage == QLatin1String("replace")) {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("esto no es una base de datos");
        } else {
            execSql(m_path, sabotage);
        }
    });
    m_form->Command1.click();

    QCOMPARE(m_prompt.asked(), 2);
    QCOMPARE(m_messages.failures.size(), 1);
    QCOMPARE(m_messages.failures.first().path, m_path);
    Form1& f = *m_form;
    for (Control* button : f.operationButtons())
        QVERIFY(button->isEnabled());
    QVERIFY(f.Label29.isVisible());
    for (Control* label : {&f.Label18, &f.Label14, &f.Label17, &f.Label35, &f.Label36, &f.Label37, &f.Label5})
        QVERIFY(!label->isVisible());
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(f.Text52.text(), QString());
    QCOMPARE(f.focusErrors(), 0);
}

QTEST_GUILESS_MAIN(TestQuery)
#include "TestQuery.moc"
