#include "app/Appearance.h"
#include "app/BirthdayListDelegate.h"
#include "app/Language.h"
#include "tests/support/GuiFixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QFile>
#include <QListView>
#include <QScreen>

// The application on the offscreen platform: the widgets bound to the window model, and the operations end to end
// through the real card number prompt and real key and mouse events. What each operation does with the window and
// the store is tested on the window model; here, that the pieces are wired.
class TestGui : public QObject, GuiFixture
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        applyAppearance();
        installSpanishTranslations();
    }
    void init() { startApp(); }
    void cleanup() { stopApp(); }

    void widgetsFollowTheDesign()
    {
        for (Control* control : form().controls()) {
            const ControlDesign& design = control->design();
            QWidget* w = widget(design.name);
            QCOMPARE(w->parentWidget()->objectName(), QLatin1String(design.container ? design.container : "Form1"));
            const Twips& g = design.geometry;
            QCOMPARE(w->geometry(), QRect(g.left / 15, g.top / 15, g.width / 15, g.height / 15));
            QCOMPARE(w->isVisibleTo(m_app->view()), control->isVisible());
            if (auto* list = qobject_cast<QListView*>(w)) // disabled, yet it scrolls: only its lines cannot be selected
                QVERIFY(list->isEnabled() && list->selectionMode() == QAbstractItemView::NoSelection);
            else
                QCOMPARE(w->isEnabled(), control->isEnabled());
            // Frames and boxes are announced by the caption that names them on screen.
            const char* caption = design.kind == ControlKind::Frame ? design.caption
                                  : design.kind == ControlKind::TextBox && design.label
                                      ? form().find(design.label)->design().caption
                                      : nullptr;
            if (caption)
                QCOMPARE(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name), QString::fromUtf8(caption));
        }
        // On a screen that holds the whole form, the window is the form, of the design's size.
        QCOMPARE(m_app->view()->maximumSize(), QSize(879, 641));
        QCOMPARE(m_app->view()->size(), QSize(879, 641));
        // Not children of "Acciones", yet drawn over it and clicked there.
        for (const char* name : {"Command6", "Command3"})
            QCOMPARE(m_app->view()->childAt(widget(name)->geometry().center()), widget(name));
    }

    void keysAndFocusReachTheModel()
    {
        QList<int> codes;
        QStringList textBefore; // the handler runs before the box has the character
        form().nameBox.setKeyPressHandler([&](int& keyCode) {
            codes << keyCode;
            textBefore << form().nameBox.text();
        });
        form().nameBox.setEnabled(true);
        form().nameBox.setFocus();
        form().surnameBox.setFocus(); // disabled: counted and refused
        QCOMPARE(form().focusErrors(), 1);
        QWidget* box = QApplication::focusWidget();
        QCOMPARE(box, widget("Text25"));
        typeText(box, QStringLiteral("Añ"));
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(box, Qt::Key_Tab); // the toolkit's: it moves the focus, and the model follows
        QCOMPARE(form().nameBox.text(), QStringLiteral("Añ"));
        QCOMPARE(codes, (QList<int>{'A', 0xF1, 13, 13}));
        QCOMPARE(textBefore, (QStringList{"", "A", "Añ", "Añ"}));
        QVERIFY(QApplication::focusWidget() != box);
        QCOMPARE(form().focusedControl(), form().find(QApplication::focusWidget()->objectName()));
    }

    void buttonsPressOnlyWhenUsable_data()
    {
        const DataTable<bool, bool, int, int> row("enabled", "visible", "key", "clicks"); // key 0: the mouse
        row("mouse", true, true, 0, 1);
        row("Enter", true, true, Qt::Key_Return, 1);
        row("Space", true, true, Qt::Key_Space, 1);
        row("other key", true, true, Qt::Key_A, 0);
        row("disabled", false, true, 0, 0);
        row("hidden", true, false, 0, 0);
    }

    void buttonsPressOnlyWhenUsable()
    {
        QFETCH(bool, enabled);
        QFETCH(bool, visible);
        QFETCH(int, key);
        int clicked = 0;
        form().queryButton.setClickHandler([&] { ++clicked; });
        form().queryButton.setFocus();
        form().queryButton.setEnabled(enabled);
        form().queryButton.setVisible(visible);
        QWidget* button = widget("Command1");
        QCOMPARE(button->hasFocus(), enabled && visible);
        if (key)
            QTest::keyClick(button, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        else
            QTest::mouseClick(button, Qt::LeftButton);
        QTEST(clicked, "clicks");
    }

    void birthdayLineFields_data()
    {
        // line: as the birthday list holds it; fields: the four columns drawn, "|" between them.
        const DataTable<QString, QString> row("line", "fields");
        row("name, surnames, card, days", "Ana\t\t Ruiz Gómez\t 0001\t3", "Ana|Ruiz Gómez|0001|3");
        row("a name without text", "\t\t Ruiz\t 0001\t0", "|Ruiz|0001|0");
        row("a TAB inside the surnames", "Ana\t\t Ruiz\tGómez\t 0001\t9", "Ana|Ruiz Gómez|0001|9");
    }

    void birthdayLineFields()
    {
        QFETCH(QString, line);
        const std::array<QString, 4> fields = BirthdayListDelegate::fields(line);
        QTEST(QStringList(fields.begin(), fields.end()).join('|'), "fields");
    }

    void startupFailureShowsMessageWithoutWindow_data()
    {
        // store: a file that the test makes in its folder, or a server's address; named: how the message names it.
        const DataTable<QString, QString, QString, QString> row("store", "named", "title", "details");
        row("a foreign file", "otro.mdb", "otro.mdb", "Error en el archivo de socios",
            "Mensaje de la base de datos: file is not a database");
        // No server listens there. The password in the address is never shown.
        row("a server that does not answer", "postgresql://caja:secreto@/socios?host=/nonexistent&port=5999",
            "No se puede usar el servidor de socios:\npostgresql://caja@/socios?host=/nonexistent&port=5999",
            "Error en el servidor de socios",
            "Mensaje de la base de datos: connection to server on socket \"/nonexistent/.s.PGSQL.5999\" failed");
    }

    void startupFailureShowsMessageWithoutWindow()
    {
        QFETCH(QString, store);
        QFETCH(QString, named);
        QFETCH(QString, details);
        std::optional<StoreAddress> address = StoreAddress::parse(store);
        QVERIFY(address);
        if (!address->isServer()) {
            address = StoreAddress::file(m_dir->filePath(store));
            QFile foreign(address->path());
            QVERIFY(foreign.open(QIODevice::WriteOnly) && foreign.write("no soy una base de datos") > 0 &&
                    foreign.flush());
        }
        m_app.reset();

        DialogDriver boxes({}, {}, 0); // ends the event loop if the window shows
        QVERIFY(runSocios(*address, FixedClock(QDate(2026, 3, 10))).how == SociosEnd::How::NotStarted);
        QVERIFY(!boxes.windowShown);
        // The engine's English is in the details, which Qt's own button, in Spanish, shows.
        QCOMPARE(boxes.boxes.size(), 1);
        const DialogDriver::Box& box = boxes.boxes.first();
        QTEST(box.title, "title");
        QVERIFY2(box.text.contains(named) && !box.text.contains("database") && !box.text.contains("secreto"),
                 qPrintable(box.text));
        QVERIFY2(box.details.startsWith(details), qPrintable(box.details));
        QCOMPARE(box.buttons, (QStringList{"Aceptar", "Mostrar los detalles..."}));
        if (!address->isServer())
            QCOMPARE(fileBytes(address->path()), QByteArray("no soy una base de datos"));
    }

    void query()
    {
        const PromptStep firstPrompt = [](QInputDialog* prompt) {
            QCOMPARE(prompt->windowTitle(), QStringLiteral("introducir datos"));
            QCOMPARE(prompt->labelText(),
                     QStringLiteral("introducir número por teclado,tarjeta magnética o lector de código de barras"));
            QCOMPARE(prompt->textValue(), QString());
            QStringList buttons;
            for (const QAbstractButton* button : prompt->findChildren<QAbstractButton*>())
                buttons << button->text();
            QCOMPARE(buttons, (QStringList{"Aceptar", "Cancelar"}));
            // 11500 x 7000 twips from the corner of a screen that holds it there.
            QCOMPARE(prompt->frameGeometry().topLeft(), prompt->screen()->geometry().topLeft() + QPoint(767, 467));
            typeText(prompt->findChild<QLineEdit*>(), QStringLiteral("ñ0007\r")); // a card reader's burst
        };
        const PromptStep cancel = [this](QInputDialog* prompt) {
            // Member 0007 left every field empty: disabled boxes drawn red.
            QCOMPARE(widget("Text25")->grab().toImage().pixelColor(widget("Text25")->rect().center()), QColor(Qt::red));
            typeText(prompt->findChild<QLineEdit*>(), QStringLiteral("0001"));
            QTest::keyClick(prompt, Qt::Key_Escape); // nothing is searched; the prompt comes again
        };
        const PromptStep leave = [this](QInputDialog* prompt) {
            QCOMPARE(widget<QLineEdit>("Text4")->text(), QString());
            typeText(prompt->findChild<QLineEdit*>(), QStringLiteral("*\r"));
        };
        // "*" hands the focus to a control that Enter works on: the birthday list never takes it.
        QCOMPARE(startOperation("Command1", {firstPrompt, cancel, leave}), widget("Command1"));
        QVERIFY(widget("Label29")->isVisible() && widget("Command1")->isEnabled());
    }

    void editMemberAndAddPoints()
    {
        QList<MemberRecord> expected = allRows(m_path);
        // A number without a row, then one with a row.
        QWidget* nombre = startOperation("Command3", {answer(QStringLiteral("9999")), answer(QStringLiteral("ñ0001"))});
        QCOMPARE(nombre, widget("Text25"));
        retype("Text25", QStringLiteral("Anabel Ñúñez"));
        retype("Text28", QStringLiteral("5"));
        retype("Text46", QString());
        retype("Text45", QString());
        QTest::mouseClick(widget("Command10"), Qt::LeftButton);
        verifyMarked(widget("Command1"));
        // Then five points, with the keypad's Enter in the amount box and on "añadir puntos".
        QWidget* amount = startOperation("Command6", {answer(QStringLiteral("0001"))});
        QCOMPARE(amount, widget("Text8"));
        typeText(amount, QStringLiteral("5"));
        QTest::keyClick(amount, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(QApplication::focusWidget(), widget("Command4"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        // One Tab reaches an operation button: the birthday list is not in the way.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), widget("Command3"));
        expected[0].puntos = QStringLiteral(" 155");
        expected[0].nombre = QStringLiteral("Anabel Ñúñez");
        expected[0].fnacimiento = QStringLiteral("05/03/1985");
        expected[0].fcaducidad = QStringLiteral("00/0000");
        QCOMPARE(allRows(m_path), expected);
    }
};

QTEST_MAIN(TestGui)
#include "TestGui.moc"
