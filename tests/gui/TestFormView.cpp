#include "app/Appearance.h"
#include "app/FormView.h"
#include "app/SociosApp.h"
#include "tests/support/GuiDriving.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The binding of Qt widgets to the window model, on the offscreen platform.
class TestFormView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void widgetsFollowTheDesign();
    void modelChangesReachTheWidgets();
    void disabledRedBoxIsDrawnRed();
    void typingReachesTheModel();
    void buttonsClickOnlyWhenUsable_data();
    void buttonsClickOnlyWhenUsable();
    void focusFollowsTheModel();
    void startupFailureShowsMessageWithoutWindow();

private:
    template <typename W = QWidget> W* widget(const char* name) const
    {
        W* found = m_view->findChild<W*>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<FormView> m_view;
};

void TestFormView::initTestCase()
{
    applyAppearance();
}

void TestFormView::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_form = std::make_unique<Form1>();
    const MemberStore store(memberFileFromFixture(*m_dir, QStringLiteral("members.sql")));
    QCOMPARE(m_form->Form_Load(store, FixedClock(QDate(2026, 3, 10))), std::nullopt);
    m_view = std::make_unique<FormView>(*m_form);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void TestFormView::cleanup()
{
    m_view.reset();
    m_form.reset();
}

void TestFormView::widgetsFollowTheDesign()
{
    QCOMPARE(m_view->size(), QSize(879, 641));
    for (Control* control : m_form->controls()) {
        const ControlSpec& spec = control->spec();
        QWidget* w = m_view->findChild<QWidget*>(control->name());
        QVERIFY2(w, spec.name);
        QCOMPARE(w->parentWidget()->objectName(), QLatin1String(spec.container ? spec.container : "Form1"));
        const Twips& g = spec.geometry;
        QCOMPARE(w->geometry(), QRect(g.left / 15, g.top / 15, g.width / 15, g.height / 15));
        QCOMPARE(w->isVisibleTo(m_view.get()), control->isVisible());
        QCOMPARE(w->isEnabled(), control->isEnabled());
    }
    // Top-level buttons lie over "Acciones" and take clicks there.
    QWidget* command6 = widget("Command6");
    QCOMPARE(m_view->childAt(command6->geometry().center()), command6);
    QCOMPARE(widget("Text25")->accessibleName(), QStringLiteral("nombre"));
    QCOMPARE(widget("Text45")->accessibleName(), QStringLiteral("mes"));
    QCOMPARE(widget<QListWidget>("List1")->count(), m_form->List1.items().size());
    QCOMPARE(widget<QListWidget>("List1")->item(0)->text(), m_form->List1.items().first());
}

void TestFormView::modelChangesReachTheWidgets()
{
    auto* text25 = widget<QLineEdit>("Text25");
    m_form->Text25.setText(QStringLiteral("Íñigo"));
    QCOMPARE(text25->text(), QStringLiteral("Íñigo"));
    m_form->Text47.setText(QString(100000, QLatin1Char('x'))); // no length limit on what a box shows or takes
    QCOMPARE(widget<QLineEdit>("Text47")->text().size(), 100000);
    m_form->Text25.setEnabled(true);
    QVERIFY(text25->isEnabled());
    m_form->Label29.setVisible(false);
    m_form->Label36.setVisible(true);
    QVERIFY(!widget("Label29")->isVisible());
    QVERIFY(widget("Label36")->isVisible());
    m_form->List1.clear();
    QCOMPARE(widget<QListWidget>("List1")->count(), 0);
}

void TestFormView::disabledRedBoxIsDrawnRed()
{
    QWidget* text26 = widget("Text26");
    QVERIFY(!text26->isEnabled());
    const QPoint inside(text26->width() / 2, text26->height() / 2);
    QCOMPARE(text26->grab().toImage().pixelColor(inside), QColor(0xFF, 0xFF, 0xC0));
    m_form->Text26.setBackColor(Form1::kRed);
    QCOMPARE(text26->grab().toImage().pixelColor(inside), QColor(0xFF, 0x00, 0x00));
    m_form->Text26.setBackColor(Form1::kLightYellow);
    QCOMPARE(text26->grab().toImage().pixelColor(inside), QColor(0xFF, 0xFF, 0xC0));
}

void TestFormView::typingReachesTheModel()
{
    QList<int> codes;
    QStringList textBefore; // the handler runs before the box has the character
    m_form->Text25.setKeyPressHandler([&](int& keyAscii) {
        codes << keyAscii;
        textBefore << m_form->Text25.text();
    });
    m_form->Text25.setEnabled(true);
    m_form->Text25.setFocus();
    typeText(widget("Text25"), QStringLiteral("Añ"));
    QTest::keyClick(widget("Text25"), Qt::Key_Return);
    QTest::keyClick(widget("Text25"), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(widget("Text25"), Qt::Key_Tab);
    QCOMPARE(m_form->Text25.text(), QStringLiteral("Añ"));
    QCOMPARE(codes, (QList<int>{'A', 0xF1, 13, 13}));
    QCOMPARE(textBefore, (QStringList{"", "A", "Añ", "Añ"}));
}

void TestFormView::buttonsClickOnlyWhenUsable_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("key"); // 0: mouse
    QTest::addColumn<int>("clicks");

    QTest::newRow("mouse") << true << 0 << 1;
    QTest::newRow("Enter") << true << int(Qt::Key_Return) << 1;
    QTest::newRow("keypad Enter") << true << int(Qt::Key_Enter) << 1;
    QTest::newRow("Space") << true << int(Qt::Key_Space) << 1;
    QTest::newRow("other key") << true << int(Qt::Key_A) << 0;
    QTest::newRow("disabled, mouse") << false << 0 << 0;
}

void TestFormView::buttonsClickOnlyWhenUsable()
{
    QFETCH(bool, enabled);
    QFETCH(int, key);
    QFETCH(int, clicks);
    int clicked = 0;
    m_form->Command1.setClickHandler([&] { ++clicked; });
    m_form->Command1.setEnabled(enabled);
    auto* button = widget<QPushButton>("Command1");
    if (key) {
        m_form->Command1.setFocus();
        QVERIFY(button->hasFocus());
        QTest::keyClick(button, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    } else {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QCOMPARE(clicked, clicks);
    // The model refuses a click that the toolkit could not make either.
    m_form->Command1.setVisible(false);
    m_form->Command1.click();
    QCOMPARE(clicked, clicks);
}

void TestFormView::focusFollowsTheModel()
{
    m_form->Text25.setEnabled(true);
    m_form->Text25.setFocus();
    QCOMPARE(QApplication::focusWidget(), widget("Text25"));
    QVERIFY(m_form->Text25.hasFocus());

    m_form->Text26.setFocus(); // disabled
    QCOMPARE(m_form->focusErrors(), 1);
    QCOMPARE(QApplication::focusWidget(), widget("Text25"));

    // The operator moves the focus with the mouse: the model follows.
    widget("Command5")->setFocus(Qt::MouseFocusReason);
    QCOMPARE(m_form->focusedControl(), &m_form->Command5);
}

void TestFormView::startupFailureShowsMessageWithoutWindow()
{
    const QString path = m_dir->filePath(QStringLiteral("otro.mdb"));
    QFile foreign(path);
    QVERIFY(foreign.open(QIODevice::WriteOnly));
    foreign.write("no soy una base de datos");
    foreign.close();
    m_view.reset();

    QString shown;
    bool windowShown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            windowShown = windowShown || (qobject_cast<FormView*>(w) && w->isVisible());
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        shown = box->text();
        box->accept();
    });
    QCOMPARE(runSocios(path, FixedClock(QDate(2026, 3, 10))), 1);
    QVERIFY(!windowShown);
    QVERIFY2(shown.contains(path), qPrintable(shown));
    QVERIFY2(shown.contains(QLatin1String("file is not a database")), qPrintable(shown));
    QCOMPARE(fileBytes(path), QByteArray("no soy una base de datos"));
}

QTEST_MAIN(TestFormView)
#include "TestFormView.moc"
