#include "app/Appearance.h"
#include "app/SociosApp.h"
#include "tests/support/GuiDriving.h"
#include "tests/support/TestSupport.h"

#include <QScreen>
#include <QTemporaryDir>

// The operations end to end: the real card number prompt, real widgets, real key and mouse events. What each
// operation does with the window and the store is tested on the window model; here, that the pieces are wired.
class TestOperationsGui : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { applyAppearance(); }
    void init();
    void cleanup() { m_app.reset(); }

    void query();
    void newMember();
    void editMember();
    void addPointsWithTheKeyboard_data();
    void addPointsWithTheKeyboard();

private:
    template <typename W = QWidget> W* widget(const char* name) const { return widgetNamed<W>(m_app->view(), name); }
    // The focus as the operation left it once the prompt has gone.
    QWidget* focusAfterPrompt();
    // Clicks into a box and types over its whole text, as an operator would.
    void retype(const char* box, const QString& text);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<SociosApp> m_app;
};

void TestOperationsGui::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
    m_app = std::make_unique<SociosApp>(m_path);
    QVERIFY(m_app->start(FixedClock(QDate(2026, 3, 10))));
    m_app->view()->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_app->view()));
}

QWidget* TestOperationsGui::focusAfterPrompt()
{
    // A desktop's window manager activates the window again when the prompt closes; the offscreen platform
    // leaves that to us.
    m_app->view()->activateWindow();
    return QTest::qWaitForWindowActive(m_app->view()) ? QApplication::focusWidget() : nullptr;
}

void TestOperationsGui::retype(const char* box, const QString& text)
{
    QTest::mouseClick(widget(box), Qt::LeftButton);
    QTest::keyClick(widget(box), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(widget(box), Qt::Key_Backspace);
    typeText(widget(box), text);
}

void TestOperationsGui::query()
{
    ModalDriver driver;
    driver
        .then([](QInputDialog* prompt) {
            QCOMPARE(prompt->windowTitle(), QStringLiteral("introducir datos"));
            QCOMPARE(prompt->labelText(),
                     QStringLiteral("introducir número por teclado,tarjeta magnética o lector de código de barras"));
            QCOMPARE(prompt->textValue(), QString());
            // 11500 x 7000 twips from the screen's corner, moved only as far as a small screen needs.
            const QRect screen = prompt->screen()->geometry();
            const QRect frame = prompt->frameGeometry();
            QCOMPARE(frame.topLeft(), QPoint(std::min(767, screen.right() + 1 - frame.width()),
                                             std::min(467, screen.bottom() + 1 - frame.height())));
            // A card reader types its whole burst, "ñ" included, then Enter.
            typeText(prompt->findChild<QLineEdit*>(), QStringLiteral("ñ0007"));
            QTest::keyClick(prompt->findChild<QLineEdit*>(), Qt::Key_Return);
        })
        .then([this](QInputDialog* prompt) {
            // Member 0007 left every field empty: disabled boxes, drawn red.
            auto* nombre = widget<QLineEdit>("Text25");
            QVERIFY(nombre->text().isEmpty() && !nombre->isEnabled());
            QCOMPARE(nombre->grab().toImage().pixelColor(nombre->rect().center()), QColor(Qt::red));
            QCOMPARE(widget<QLineEdit>("Text4")->text(), QStringLiteral("0007"));
            typeText(prompt->findChild<QLineEdit*>(), QStringLiteral("0001"));
            QTest::keyClick(prompt, Qt::Key_Escape); // cancelled: nothing is searched, the prompt comes again
        })
        .answer(QStringLiteral("*"), [this] { QCOMPARE(widget<QLineEdit>("Text4")->text(), QString()); });

    QTest::mouseClick(widget("Command1"), Qt::LeftButton);
    QVERIFY(driver.finished());
    QVERIFY(widget("Label29")->isVisible() && widget("Command1")->isEnabled());
}

void TestOperationsGui::newMember()
{
    ModalDriver driver;
    driver.answer(QStringLiteral("0001")).answer(QStringLiteral("ñ0040"), [this] {
        QVERIFY(widget("Label14")->isVisible()); // taken
    });
    QTest::mouseClick(widget("Command5"), Qt::LeftButton);
    QVERIFY(driver.finished());

    // The whole member from the keyboard: Enter moves round the boxes, from "nombre" back to it.
    QCOMPARE(focusAfterPrompt(), widget("Text25"));
    for (const char* text : {"Zoë 😀", "O'Brien \"Ñoño\"", "31", "4", "1990", "", "", "A Coruña", "", "", "", "", "",
                             "5", "llamar antes de las 10; 'urgente'"}) {
        typeText(QApplication::focusWidget(), QString::fromUtf8(text));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    QCOMPARE(QApplication::focusWidget(), widget("Text25"));

    const QList<MemberRecord> before = allRows(m_path);
    QTest::mouseClick(widget("command2"), Qt::LeftButton); // 31 April
    QVERIFY(widget("Label5")->isVisible());
    QCOMPARE(allRows(m_path), before);
    retype("Text28", QStringLiteral("30"));
    QTest::mouseClick(widget("command2"), Qt::LeftButton);

    QList<MemberRecord> expected = before;
    expected.append({"0040", "*****", "Zoë 😀", "O'Brien \"Ñoño\"", "*****", "*****", "A Coruña", "*****", "*****",
                     "30/04/1990", "llamar antes de las 10; 'urgente'", "5", "00/0000"});
    QCOMPARE(allRows(m_path), expected);
    QVERIFY(widget("Label29")->isVisible());
    QCOMPARE(m_app->form().focusErrors(), 0);
}

void TestOperationsGui::editMember()
{
    ModalDriver driver;
    driver.answer(QStringLiteral("9999")).answer(QStringLiteral("ñ0001"), [this] {
        QVERIFY(widget("Label35")->isVisible()); // no such member
    });
    QTest::mouseClick(widget("Command3"), Qt::LeftButton);
    QVERIFY(driver.finished());

    QWidget* nombre = focusAfterPrompt();
    QCOMPARE(nombre, widget("Text25"));
    QTest::keyClick(nombre, Qt::Key_A, Qt::ControlModifier);
    typeText(nombre, QStringLiteral("Anabel Ñúñez"));
    retype("Text28", QStringLiteral("5"));
    retype("Text46", QString());
    retype("Text45", QString());
    QList<MemberRecord> expected = allRows(m_path);
    QTest::mouseClick(widget("Command10"), Qt::LeftButton);

    expected[0].nombre = QStringLiteral("Anabel Ñúñez");
    expected[0].fnacimiento = QStringLiteral("05/03/1985");
    expected[0].fcaducidad = QStringLiteral("00/0000");
    QCOMPARE(allRows(m_path), expected);
    QVERIFY(widget("Label29")->isVisible());
}

void TestOperationsGui::addPointsWithTheKeyboard_data()
{
    QTest::addColumn<int>("modifier");
    QTest::newRow("Return") << int(Qt::NoModifier);
    QTest::newRow("keypad Enter") << int(Qt::KeypadModifier);
}

void TestOperationsGui::addPointsWithTheKeyboard()
{
    QFETCH(int, modifier);
    const Qt::Key enter = modifier == Qt::KeypadModifier ? Qt::Key_Enter : Qt::Key_Return;
    ModalDriver driver;
    driver.answer(QStringLiteral("ñ0001"));
    QTest::mouseClick(widget("Command6"), Qt::LeftButton);
    QVERIFY(driver.finished());

    QWidget* amount = focusAfterPrompt();
    QCOMPARE(amount, widget("Text8"));
    typeText(amount, QStringLiteral("5"));
    QTest::keyClick(amount, enter, Qt::KeyboardModifiers(modifier));
    QCOMPARE(QApplication::focusWidget(), widget("Command4"));
    QCOMPARE(allRows(m_path).first().puntos, QStringLiteral(" 150")); // Enter in the box only moves the focus
    QTest::keyClick(QApplication::focusWidget(), enter, Qt::KeyboardModifiers(modifier));
    QCOMPARE(allRows(m_path).first().puntos, QStringLiteral(" 155"));
}

QTEST_MAIN(TestOperationsGui)
#include "TestOperationsGui.moc"
