#include "app/Appearance.h"
#include "app/InputDialogPrompt.h"
#include "app/Language.h"
#include "tests/support/GuiFixture.h"

#include <QListView>
#include <QPushButton>
#include <QScrollBar>

// The window as the operator sees it at the till: the birthday list's columns, the focus mark, a small screen, and
// stored texts too long to show.
class TestScreen : public QObject, GuiFixture
{
    Q_OBJECT

    // `count` members whose birthdays fall 1 to 9 days after the fixture's today, 10 March 2026.
    static QList<MemberRecord> birthdays(int count)
    {
        QList<MemberRecord> rows;
        for (int i = 0; i < count; ++i)
            rows << sampleMember(QStringLiteral("%1").arg(3000 + i), QStringLiteral("Cumple %1").arg(i),
                                 QStringLiteral("%1/03/1970").arg(11 + i % 9));
        return rows;
    }

private slots:
    void initTestCase()
    {
        applyAppearance();
        installSpanishTranslations();
    }
    void cleanup() { stopApp(); }

    void birthdayListColumns_data()
    {
        const DataTable<QString, QString, QString, bool> row("nombre", "apellidos", "ntarjeta", "scrollBar");
        row("a name of 8 characters (one TAB)", "Federico", "Sanz", "0012", false);
        row("a name and a surname of 17", "Maria Auxiliadora", "Fernández de la Torre", "7069", false);
        row("a card of 7 characters", "Íñigo", "Larrañaga", "7069123", false);
        row("wide letters", "WWWWWWWWWWWWWWWWW", "MMMMMMMMMMMMMMMMM", "8888", false);
        row("with the scroll bar", "Maria Auxiliadora", "Fernández de la Torre", "7069", true);
    }

    void birthdayListColumns()
    {
        QFETCH(QString, nombre);
        QFETCH(QString, apellidos);
        QFETCH(QString, ntarjeta);
        QFETCH(bool, scrollBar);
        MemberRecord member = sampleMember(ntarjeta, nombre, QStringLiteral("19/03/1980"));
        member.apellidos = apellidos;
        startApp(QList<MemberRecord>{member} + (scrollBar ? birthdays(150) : QList<MemberRecord>()));
        auto* list = widget<QListView>("List1");
        QCOMPARE(list->verticalScrollBar()->isVisible(), scrollBar);

        // The member's line (its text is built as the list of start-up shows it).
        const QModelIndex index = list->model()
                                      ->match(list->model()->index(0, 0), Qt::DisplayRole,
                                              "\t " + ntarjeta.left(4) + "\t9", 1, Qt::MatchEndsWith)
                                      .value(0);
        QVERIFY(index.isValid());

        // Each field starts at its heading's left edge and ends before the next heading; the card number and the
        // days, always short, are whole and inside the visible part of the list.
        QList<int> lefts;
        for (const char* heading : {"Label30", "Label31", "Label32", "Label33"})
            lefts << list->viewport()->mapFrom(m_app->view()->surface(), widget(heading)->geometry().topLeft()).x();
        lefts << list->viewport()->width() + 1;
        const QImage image = list->viewport()->grab().toImage();
        const QRect line = list->visualRect(index);
        QList<std::pair<int, int>> fields(4, {-1, -1}); // the first and the last pixel column with ink
        for (int x = 0; x < image.width(); ++x) {
            bool ink = false;
            for (int y = line.top(); y <= line.bottom() && !ink; ++y)
                ink = qGray(image.pixel(x, y)) < 0xB0;
            const qsizetype column = std::upper_bound(lefts.begin(), lefts.end(), x) - lefts.begin() - 1;
            QVERIFY2(!ink || (column >= 0 && column < 4), qPrintable(QStringLiteral("text at %1").arg(x)));
            if (ink)
                fields[column] = {fields[column].first < 0 ? x : fields[column].first, x};
        }
        for (int column = 0; column < 4; ++column) {
            const auto [first, last] = fields[column];
            const int heading = std::max(lefts[column], 0);
            QVERIFY2(first >= heading && first <= heading + 4 && last < lefts[column + 1] - (column < 2 ? 1 : 5),
                     qPrintable(QStringLiteral("field %1 from %2 to %3").arg(column).arg(first).arg(last)));
        }
    }

    void newMemberOnASmallScreen()
    {
        startApp({}, "small");
        FormView* view = m_app->view();
        const QRect screen = screenNamed("small")->availableGeometry();
        QVERIFY(screen.contains(view->frameGeometry()));
        QList<MemberRecord> expected = allRows(m_path);

        // The whole form is drawn, smaller, without scroll bars, and every caption of the operation buttons is
        // whole on its button.
        QVERIFY(view->scale() < 1 && !view->horizontalScrollBar()->isVisible() &&
                !view->verticalScrollBar()->isVisible());
        QCOMPARE(view->viewport()->size(), view->surface()->size());
        for (const Control* button : form().operationButtons()) {
            const auto* shown = widget<QPushButton>(button->design().name);
            QVERIFY2(shown->fontMetrics().horizontalAdvance(shown->text()) < shown->width(), qPrintable(shown->text()));
            QVERIFY(shown->font().pointSizeF() < designFont(button->design().font).pointSizeF());
        }

        // The card prompt is whole on the screen, placed from the scaled place it asks for, and without the focus
        // mark over it. A number already taken, then a new one.
        const PromptStep taken = [&](QInputDialog* dialog) {
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QTRY_VERIFY(!view->findChild<FocusMark*>()->isVisible());
            const QRect frame = dialog->frameGeometry();
            QVERIFY(screen.contains(frame));
            // Its wanted place, 11500 x 7000 twips from the screen's corner, is drawn at the form's scale.
            const QPoint wanted(twipsToPixels(11500, view->scale()), twipsToPixels(7000, view->scale()));
            QCOMPARE(frame.topLeft(),
                     placeDialog(screen, frame.size(), screen.topLeft() + wanted, view->memberBoxesOnScreen()));
            answer(QStringLiteral("0001"))(dialog);
        };
        QCOMPARE(startOperation("Command5", {taken, answer(QStringLiteral("ñ0040"))}), widget("Text25"));
        // The whole member from the keyboard: Enter leads round the boxes, each scrolled into view, and back to
        // "nombre".
        for (const char* text : {"Zoë 😀", "O'Brien \"Ñoño\"", "31", "4", "1990", "", "", "A Coruña", "", "", "", "", "",
                                 "5", "llamar antes de las 10; 'urgente'"}) {
            QWidget* box = QApplication::focusWidget();
            QVERIFY(view->viewport()->rect().contains(QRect(box->mapTo(view->viewport(), QPoint(0, 0)), box->size())));
            typeText(box, QString::fromUtf8(text) + QLatin1Char('\r'));
        }
        verifyMarked(widget("Text25"));
        QTest::mouseClick(widget("command2"), Qt::LeftButton); // 31 April: refused, nothing stored
        retype("Text28", QStringLiteral("30"));
        QTest::mouseClick(widget("command2"), Qt::LeftButton);
        expected.append({"0040", "*****", "Zoë 😀", "O'Brien \"Ñoño\"", "*****", "*****", "A Coruña", "*****", "*****",
                         "30/04/1990", "llamar antes de las 10; 'urgente'", "5", "00/0000"});
        QCOMPARE(allRows(m_path), expected);
    }

    void dialogPlacement_data()
    {
        const DataTable<QRect, QSize, QList<QRect>, QPoint> row("screen", "dialog", "avoid", "placed");
        const QRect small(0, 0, 800, 600);
        const QSize dialog(300, 150);
        const QPoint wanted(767, 467);
        row("fits where wanted, boxes or not", QRect(0, 0, 1280, 1024), dialog, {QRect(700, 400, 500, 500)}, wanted);
        row("nearest free place", small, dialog, {QRect(100, 0, 300, 600)}, QPoint(500, 450));
        row("clear of two columns of boxes", small, dialog, {QRect(0, 0, 320, 600), QRect(480, 0, 320, 600)},
            QPoint(320, 450));
        row("under the boxes", small, dialog, {QRect(0, 0, 800, 420)}, QPoint(500, 450));
        row("covers the least when nothing is free", small, dialog, {QRect(0, 0, 800, 500), QRect(0, 500, 400, 100)},
            QPoint(500, 450));
        row("a screen that is not the first", QRect(800, 0, 800, 600), dialog, {}, QPoint(1300, 450));
        row("larger than the screen", small, QSize(900, 700), {}, QPoint(0, 0));
    }

    void dialogPlacement()
    {
        QFETCH(QRect, screen);
        QFETCH(QSize, dialog);
        QFETCH(QList<QRect>, avoid);
        QTEST(placeDialog(screen, dialog, screen.topLeft() + QPoint(767, 467), avoid), "placed");
    }

    void longStoredText_data()
    {
        // A name of `length` characters; what typing "y" at its end leaves stored
        const DataTable<qint64, bool> row("length", "cut");
        row("the longest shown whole", FormView::kShownChars, false);
        row("one character too long", FormView::kShownChars + 1, true);
        row("150 MB", 150'000'000, true);
    }

    void longStoredText()
    {
        QFETCH(qint64, length);
        QFETCH(bool, cut);
        startApp({sampleMember(QStringLiteral("0500"))});
        // Made inside the file, as another program would leave it.
        const QString name =
            QStringLiteral("substr(replace(hex(zeroblob(%1)), '0', 'x'), 1, %2)").arg(length / 2 + 1).arg(length);
        execSql(m_path, "UPDATE ficha SET nombre = " + name + " WHERE ntarjeta = '0500';\n");

        QWidget* box = startOperation("Command3", {answer(QStringLiteral("0500"))});
        const QString shown = widget<QLineEdit>("Text25")->text();
        QCOMPARE(widget<QLineEdit>("Text25")->isReadOnly(), cut);
        QCOMPARE(shown.endsWith(QLatin1String(" caracteres]")), cut);
        QVERIFY(shown.size() <= FormView::kShownChars + 60);
        QTest::keyClick(box, Qt::Key_End);
        typeText(box, QStringLiteral("y"));

        // The window still answers, and a box it could not show whole is saved as it was stored.
        QTest::mouseClick(widget("Command10"), Qt::LeftButton);
        const QList<QStringList> stored =
            execSql(m_path, "SELECT length(nombre), nombre = " + name +
                                ", substr(nombre, -1) FROM ficha WHERE ntarjeta = '0500'");
        QCOMPARE(stored,
                 (QList<QStringList>{{QString::number(length + (cut ? 0 : 1)), cut ? "1" : "0", cut ? "x" : "y"}}));
    }
};

QTEST_MAIN(TestScreen)
#include "TestScreen.moc"
