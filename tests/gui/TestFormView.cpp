#include "app/Appearance.h"
#include "app/FormView.h"
#include "app/SociosApp.h"
#include "tests/support/GuiDriving.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

// The binding of Qt widgets to the window model, on the offscreen platform.
class TestFormView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { applyAppearance(); }
    void init();
    void cleanup() { m_view.reset(); }

    void widgetsFollowTheDesign();
    void modelChangesReachTheWidgets();
    void typingReachesTheModel();
    void buttonsPressOnlyWhenUsable_data();
    void buttonsPressOnlyWhenUsable();
    void focusFollowsTheModel();
    void startupFailureShowsMessageWithoutWindow();

private:
    template <typename W = QWidget> W* widget(const char* name) const { return widgetNamed<W>(m_view.get(), name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<FormView> m_view;
};

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

void TestFormView::widgetsFollowTheDesign()
{
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
    // Not children of "Acciones", yet drawn over it and clicked there.
    for (const char* name : {"Command6", "Command3"})
        QCOMPARE(m_view->childAt(widget(name)->geometry().center()), widget(name));
    QCOMPARE(widget("Text25")->accessibleName(), QStringLiteral("nombre"));
    QCOMPARE(widget("Text45")->accessibleName(), QStringLiteral("mes"));
}

void TestFormView::modelChangesReachTheWidgets()
{
    m_form->Text25.setText(QStringLiteral("Íñigo"));
    QCOMPARE(widget<QLineEdit>("Text25")->text(), QStringLiteral("Íñigo"));
    m_form->Text47.setText(QString(100000, QLatin1Char('x'))); // no length limit on what a box shows or takes
    QCOMPARE(widget<QLineEdit>("Text47")->text().size(), 100000);
    m_form->Text25.setEnabled(true);
    QVERIFY(widget("Text25")->isEnabled());
    m_form->Label29.setVisible(false);
    m_form->Label36.setVisible(true);
    QVERIFY(!widget("Label29")->isVisible() && widget("Label36")->isVisible());
    m_form->List1.clear();
    m_form->List1.addItem(QStringLiteral("Ana\tRuiz"));
    QCOMPARE(widget<QListWidget>("List1")->count(), 1);
    QCOMPARE(widget<QListWidget>("List1")->item(0)->text(), QStringLiteral("Ana\tRuiz"));

    // A disabled box still shows the member, in its background colour.
    QWidget* text26 = widget("Text26");
    QVERIFY(!text26->isEnabled());
    QCOMPARE(text26->grab().toImage().pixelColor(text26->rect().center()), QColor(0xFF, 0xFF, 0xC0));
    m_form->Text26.setBackColor(Form1::kRed);
    QCOMPARE(text26->grab().toImage().pixelColor(text26->rect().center()), QColor(0xFF, 0x00, 0x00));
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

void TestFormView::buttonsPressOnlyWhenUsable_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("key"); // 0: mouse
    QTest::addColumn<int>("clicks");

    QTest::newRow("mouse") << true << true << 0 << 1;
    QTest::newRow("Enter") << true << true << int(Qt::Key_Return) << 1;
    QTest::newRow("keypad Enter") << true << true << int(Qt::Key_Enter) << 1;
    QTest::newRow("Space") << true << true << int(Qt::Key_Space) << 1;
    QTest::newRow("other key") << true << true << int(Qt::Key_A) << 0;
    QTest::newRow("disabled, mouse") << false << true << 0 << 0;
    QTest::newRow("disabled, Enter") << false << true << int(Qt::Key_Return) << 0;
    QTest::newRow("hidden, mouse") << true << false << 0 << 0;
}

void TestFormView::buttonsPressOnlyWhenUsable()
{
    QFETCH(bool, enabled);
    QFETCH(bool, visible);
    QFETCH(int, key);
    QFETCH(int, clicks);
    int clicked = 0;
    m_form->Command1.setClickHandler([&] { ++clicked; });
    m_form->Command1.setFocus();
    m_form->Command1.setEnabled(enabled);
    m_form->Command1.setVisible(visible);
    auto* button = widget<QPushButton>("Command1");
    QCOMPARE(button->hasFocus(), enabled && visible);
    if (key)
        QTest::keyClick(button, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    else
        QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicked, clicks);
}

void TestFormView::focusFollowsTheModel()
{
    m_form->Text25.setEnabled(true);
    m_form->Text25.setFocus();
    QCOMPARE(QApplication::focusWidget(), widget("Text25"));

    m_form->Text26.setFocus(); // disabled
    QCOMPARE(m_form->focusErrors(), 1);
    QCOMPARE(QApplication::focusWidget(), widget("Text25"));

    // The operator moves the focus with the mouse: the model follows.
    widget("Command5")->setFocus(Qt::MouseFocusReason);
    QCOMPARE(m_form->focusedControl(), &m_form->Command5);
}

void TestFormView::startupFailureShowsMessageWithoutWindow()
{
    m_view.reset();
    const QString path = m_dir->filePath(QStringLiteral("otro.mdb"));
    QFile foreign(path);
    QVERIFY(foreign.open(QIODevice::WriteOnly) && foreign.write("no soy una base de datos") > 0);
    foreign.close();

    QString shown;
    bool windowShown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            windowShown = windowShown || (qobject_cast<FormView*>(w) && w->isVisible());
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    QVERIFY(runSocios(path, FixedClock(QDate(2026, 3, 10))) != 0);
    QVERIFY(!windowShown);
    QVERIFY2(shown.contains(path) && shown.contains(QLatin1String("file is not a database")), qPrintable(shown));
    QCOMPARE(fileBytes(path), QByteArray("no soy una base de datos"));
}

QTEST_MAIN(TestFormView)
#include "TestFormView.moc"
