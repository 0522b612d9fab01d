#include "app/Appearance.h"
#include "app/SociosApp.h"
#include "tests/support/GuiDriving.h"
#include "tests/support/TestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

// The operations end to end: real widgets, the real card number prompt, real key events.
class TestOperationsGui : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { applyAppearance(); }
    void init();
    void cleanup() { m_app.reset(); }

    void queryThroughTheRealPrompt();

private:
    template <typename W = QWidget> W* widget(const char* name) const
    {
        W* found = m_app->view()->findChild<W*>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

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

void TestOperationsGui::queryThroughTheRealPrompt()
{
    ModalDriver driver;
    driver
        .then([](QWidget* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            QVERIFY(input);
            QCOMPARE(input->windowTitle(), QStringLiteral("introducir datos"));
            QCOMPARE(input->labelText(),
                     QStringLiteral("introducir número por teclado,tarjeta magnética o lector de código de barras"));
            QCOMPARE(input->textValue(), QString());
            // 11500 x 7000 twips from the screen's corner, moved only as far as a small screen needs.
            const QRect screen = input->screen()->geometry();
            const QRect frame = input->frameGeometry();
            QCOMPARE(frame.topLeft(), QPoint(std::min(767, screen.right() + 1 - frame.width()),
                                             std::min(467, screen.bottom() + 1 - frame.height())));
            QVERIFY(screen.contains(frame));
            // A card reader types its whole burst, "ñ" included, then Enter.
            QLineEdit* edit = input->findChild<QLineEdit*>();
            typeText(edit, QStringLiteral("ñ0007"));
            QTest::keyClick(edit, Qt::Key_Return);
        })
        .answer(QStringLiteral("0001"),
                [this] {
                    auto* nombre = widget<QLineEdit>("Text25");
                    QCOMPARE(nombre->text(), QString());
                    QVERIFY(!nombre->isEnabled());
                    QCOMPARE(nombre->grab().toImage().pixelColor(nombre->rect().center()), QColor(Qt::red));
                    QCOMPARE(widget<QLineEdit>("Text4")->text(), QStringLiteral("0007"));
                })
        .then([this](QWidget* dialog) {
            QCOMPARE(widget<QLineEdit>("Text25")->text(), QStringLiteral("Ana"));
            QCOMPARE(widget<QLineEdit>("Text2")->text(), QStringLiteral(" 150"));
            QVERIFY(!widget("Command5")->isEnabled());
            QVERIFY(widget("Label18")->isVisible());
            QTest::keyClick(dialog, Qt::Key_Escape); // cancelled: asked again
        })
        .answer(QStringLiteral("*"));

    QTest::mouseClick(widget("Command1"), Qt::LeftButton);
    QVERIFY(driver.finished());
    QVERIFY(widget("Label29")->isVisible());
    QVERIFY(!widget("Label18")->isVisible());
    QVERIFY(widget("Command1")->isEnabled());
    QCOMPARE(widget<QLineEdit>("Text25")->text(), QString());
    QVERIFY(!widget("Text52")->isVisible());
}

QTEST_MAIN(TestOperationsGui)
#include "TestOperationsGui.moc"
