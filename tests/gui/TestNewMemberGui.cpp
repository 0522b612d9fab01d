#include "app/Appearance.h"
#include "app/SociosApp.h"
#include "tests/support/GuiDriving.h"
#include "tests/support/TestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// "Alta" end to end: the real prompt, real widgets, real key and mouse events.
class TestNewMemberGui : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { applyAppearance(); }
    void init();
    void cleanup() { m_app.reset(); }

    void registersAMemberTypedIntoTheWidgets();

private:
    template <typename W = QWidget> W* widget(const char* name) const
    {
        W* found = m_app->view()->findChild<W*>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    // Clicks into a box, as the operator moves there with the mouse, and types.
    void clickAndType(const char* box, const QString& text);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<SociosApp> m_app;
};

void TestNewMemberGui::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
    m_app = std::make_unique<SociosApp>(m_path);
    QVERIFY(m_app->start(FixedClock(QDate(2026, 3, 10))));
    m_app->view()->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_app->view()));
}

void TestNewMemberGui::clickAndType(const char* box, const QString& text)
{
    auto* edit = widget<QLineEdit>(box);
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), edit);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    typeText(edit, text);
}

void TestNewMemberGui::registersAMemberTypedIntoTheWidgets()
{
    ModalDriver driver;
    driver.answer(QStringLiteral("0001")).answer(QStringLiteral("ñ0040"), [this] {
        QVERIFY(widget("Label14")->isVisible());
        QVERIFY(!widget("Label17")->isVisible());
        QVERIFY(!widget("Command5")->isEnabled());
    });
    QTest::mouseClick(widget("Command5"), Qt::LeftButton);
    QVERIFY(driver.finished());

    auto* text4 = widget<QLineEdit>("Text4");
    QCOMPARE(text4->text(), QStringLiteral("0040"));
    QVERIFY(!text4->isEnabled());
    QVERIFY(widget("Label17")->isVisible());
    QVERIFY(!widget("Label14")->isVisible());
    QVERIFY(!widget("Command1")->isEnabled());
    auto* nombre = widget<QLineEdit>("Text25");
    // The offscreen platform has no window manager to hand the activation back once the prompt has gone.
    m_app->view()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_app->view()));
    QCOMPARE(QApplication::focusWidget(), nombre);
    typeText(nombre, QStringLiteral("Zoë 😀"));

    clickAndType("Text26", QStringLiteral("O'Brien \"Ñoño\""));
    clickAndType("Text28", QStringLiteral("31"));
    clickAndType("Text29", QStringLiteral("4"));
    clickAndType("Text30", QStringLiteral("1990"));
    clickAndType("Text36", QStringLiteral("A Coruña"));
    clickAndType("Text47", QStringLiteral("llamar antes de las 10; 'urgente'"));
    clickAndType("Text2", QStringLiteral("5"));

    auto* salvar = widget<QPushButton>("command2");
    QVERIFY(salvar->isVisible() && salvar->isEnabled());
    QVERIFY(widget("Command9")->isVisible());
    const QList<MemberRecord> before = allRows(m_path);
    QTest::mouseClick(salvar, Qt::LeftButton);
    QVERIFY(widget("Label5")->isVisible());
    QVERIFY(!widget("Label17")->isVisible());
    QCOMPARE(widget<QLineEdit>("Text28")->text(), QStringLiteral("31"));
    QCOMPARE(allRows(m_path), before);

    clickAndType("Text28", QStringLiteral("30"));
    QTest::mouseClick(salvar, Qt::LeftButton);

    MemberRecord stored{"0040",
                        "*****",
                        "Zoë 😀",
                        "O'Brien \"Ñoño\"",
                        "*****",
                        "*****",
                        "A Coruña",
                        "*****",
                        "*****",
                        "30/04/1990",
                        "llamar antes de las 10; 'urgente'",
                        "5",
                        "00/0000"};
    QList<MemberRecord> expected = before;
    expected.append(stored);
    QCOMPARE(allRows(m_path), expected);

    QVERIFY(!salvar->isVisible());
    QVERIFY(!widget("Command9")->isVisible());
    QVERIFY(widget("Label29")->isVisible());
    QVERIFY(!widget("Label5")->isVisible());
    QVERIFY(widget("Command5")->isEnabled());
    QVERIFY(!nombre->isEnabled());
    QCOMPARE(nombre->text(), QString());
    QCOMPARE(m_app->form().focusErrors(), 0);
}

QTEST_MAIN(TestNewMemberGui)
#include "TestNewMemberGui.moc"
