#include "app/Appearance.h"
#include "app/SociosApp.h"
#include "tests/support/GuiDriving.h"
#include "tests/support/TestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// "Modificar" end to end: the real prompt, real widgets, the operator's keys and mouse.
class TestMemberEditGui : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { applyAppearance(); }
    void init();
    void cleanup() { m_app.reset(); }

    void editAMember();

private:
    template <typename W = QWidget> W* widget(const char* name) const
    {
        W* found = m_app->view()->findChild<W*>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    // Clicks into a box and replaces its whole text, as an operator would.
    void retype(const char* name, const QString& text);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<SociosApp> m_app;
};

void TestMemberEditGui::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
    m_app = std::make_unique<SociosApp>(m_path);
    QVERIFY(m_app->start(FixedClock(QDate(2026, 3, 10))));
    m_app->view()->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_app->view()));
}

void TestMemberEditGui::retype(const char* name, const QString& text)
{
    auto* box = widget<QLineEdit>(name);
    QTest::mouseClick(box, Qt::LeftButton);
    QTRY_VERIFY(box->hasFocus());
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Backspace);
    else
        typeText(box, text);
    QCOMPARE(box->text(), text);
}

void TestMemberEditGui::editAMember()
{
    const QList<MemberRecord> before = allRows(m_path);
    ModalDriver driver;
    driver.answer(QStringLiteral("9999")).answer(QStringLiteral("ñ0001"), [this] {
        QVERIFY(widget("Label35")->isVisible());
    });
    QTest::mouseClick(widget("Command3"), Qt::LeftButton);
    QVERIFY(driver.finished());

    auto* nombre = widget<QLineEdit>("Text25");
    QCOMPARE(nombre->text(), QStringLiteral("Ana"));
    // The offscreen platform has no window manager to give the window back its activation after the prompt.
    m_app->view()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_app->view()));
    QTRY_VERIFY(nombre->hasFocus());
    QVERIFY(widget("Label37")->isVisible());
    QVERIFY(!widget("Label35")->isVisible());
    QVERIFY(!widget("Text4")->isEnabled());
    QVERIFY(!widget("Command1")->isEnabled());

    // The focus is in "nombre": select all and type over it.
    QTest::keyClick(nombre, Qt::Key_A, Qt::ControlModifier);
    typeText(nombre, QStringLiteral("Anabel Ñúñez"));
    retype("Text28", QStringLiteral("31"));
    retype("Text29", QStringLiteral("4"));
    retype("Text45", QString());
    retype("Text46", QString());

    QTest::mouseClick(widget("Command10"), Qt::LeftButton);
    QVERIFY(widget("Label5")->isVisible());
    QVERIFY(!widget("Label37")->isVisible());
    QCOMPARE(allRows(m_path), before);

    retype("Text28", QStringLiteral("5"));
    retype("Text29", QStringLiteral("3"));
    QTest::mouseClick(widget("Command10"), Qt::LeftButton);

    QList<MemberRecord> expected = before;
    expected[0].nombre = QStringLiteral("Anabel Ñúñez");
    expected[0].fnacimiento = QStringLiteral("05/03/1985");
    expected[0].fcaducidad = QStringLiteral("00/0000");
    QCOMPARE(allRows(m_path), expected);

    QVERIFY(widget("Label29")->isVisible());
    QVERIFY(!widget("Label5")->isVisible());
    QVERIFY(!widget("Command10")->isVisible());
    QVERIFY(!widget("Command11")->isVisible());
    QVERIFY(widget("Command1")->isEnabled());
    QTRY_VERIFY(widget("Command1")->hasFocus());
    QCOMPARE(nombre->text(), QString());
    QVERIFY(!nombre->isEnabled());
    QCOMPARE(m_app->form().focusErrors(), 0);
}

QTEST_MAIN(TestMemberEditGui)
#include "TestMemberEditGui.moc"
