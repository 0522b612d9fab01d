#include "app/Appearance.h"
#include "app/SociosApp.h"
#include "tests/support/GuiDriving.h"
#include "tests/support/TestSupport.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

// "Añadir Puntos" with the keyboard alone, as the operator works at the till.
class TestPointsGui : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { applyAppearance(); }
    void amountThenEnterTwice_data();
    void amountThenEnterTwice();
};

void TestPointsGui::amountThenEnterTwice_data()
{
    QTest::addColumn<int>("modifier");
    QTest::newRow("Return") << int(Qt::NoModifier);
    QTest::newRow("keypad Enter") << int(Qt::KeypadModifier);
}

void TestPointsGui::amountThenEnterTwice()
{
    QFETCH(int, modifier);
    const Qt::Key enter = modifier == Qt::KeypadModifier ? Qt::Key_Enter : Qt::Key_Return;
    QTemporaryDir dir;
    const QString path = memberFileFromFixture(dir, QStringLiteral("members.sql"));
    SociosApp app(path);
    QVERIFY(app.start(FixedClock(QDate(2026, 3, 10))));
    QWidget* view = app.view();
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));

    ModalDriver driver;
    driver.answer(QStringLiteral("ñ0001"));
    QTest::mouseClick(view->findChild<QWidget*>(QStringLiteral("Command6")), Qt::LeftButton);
    QVERIFY(driver.finished());

    // A desktop's window manager activates the window again when the prompt closes; the offscreen platform
    // leaves that to us. The focus is then where the operation put it.
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
    QWidget* amount = QApplication::focusWidget();
    QCOMPARE(amount->objectName(), QStringLiteral("Text8"));
    typeText(amount, QStringLiteral("5"));
    QTest::keyClick(amount, enter, Qt::KeyboardModifiers(modifier));
    QWidget* button = QApplication::focusWidget();
    QCOMPARE(button->objectName(), QStringLiteral("Command4"));
    QCOMPARE(allRows(path).first().puntos, QStringLiteral(" 150")); // Enter in the box only moves the focus
    QTest::keyClick(button, enter, Qt::KeyboardModifiers(modifier));

    QCOMPARE(allRows(path).first().puntos, QStringLiteral(" 155"));
    QCOMPARE(view->findChild<QLineEdit*>(QStringLiteral("Text2"))->text(), QStringLiteral(" 155"));
    QVERIFY(!amount->isVisible());
    QVERIFY(view->findChild<QWidget*>(QStringLiteral("Label29"))->isVisible());
}

QTEST_MAIN(TestPointsGui)
#include "TestPointsGui.moc"
