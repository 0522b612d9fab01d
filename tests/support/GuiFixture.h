#pragma once

#include "app/FocusMark.h"
#include "app/SociosApp.h"
#include "tests/support/GuiDriving.h"
#include "tests/support/TestSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>

// The application on a member file made from tests/data/members.sql, started on 10 March 2026, with its window
// shown on one of the test platform's screens ("till", the primary one, or "small").
class GuiFixture
{
protected:
    // Starts the application on the fixture's file with `rows` added after those of members.sql.
    void startApp(const QList<MemberRecord>& rows = {}, const char* screen = "till")
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = memberFileFromFixture(*m_dir, QStringLiteral("members.sql"));
        const MemberStore store(m_path);
        for (const MemberRecord& row : rows)
            VERIFY_OK(store.append(row));
        m_app = std::make_unique<SociosApp>(m_path);
        QVERIFY(m_app->start(FixedClock(QDate(2026, 3, 10))));
        m_app->view()->winId();
        m_app->view()->windowHandle()->setScreen(screenNamed(screen));
        m_app->view()->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_app->view()));
    }
    void stopApp() { m_app.reset(); }

    static QScreen* screenNamed(const char* name)
    {
        for (QScreen* screen : QGuiApplication::screens())
            if (screen->name() == QLatin1String(name))
                return screen;
        qFatal("no screen %s: the GUI tests need tests/data/screens.json", name);
    }

    Form1& form() const { return m_app->form(); }
    // The widget of the control `name`; a missing one ends the test run.
    template <typename W = QWidget> W* widget(const char* name) const
    {
        if (W* found = m_app->view()->findChild<W*>(QLatin1String(name)))
            return found;
        qFatal("no widget %s", name);
    }
    // Clicks the operation's button and runs the prompt's steps; returns where the operation left the focus.
    QWidget* startOperation(const char* button, QList<PromptStep> steps)
    {
        DialogDriver driver(std::move(steps));
        QTest::mouseClick(widget(button), Qt::LeftButton);
        if (!QTest::qVerify(driver.finished() && driver.boxes.isEmpty(), "driver.finished() && driver.boxes.isEmpty()",
                            "a prompt step was left, or a message box opened", __FILE__, __LINE__))
            return nullptr;
        // A desktop's window manager activates the window again when the prompt closes; the offscreen platform
        // leaves that to us.
        m_app->view()->activateWindow();
        return QTest::qWaitForWindowActive(m_app->view()) ? QApplication::focusWidget() : nullptr;
    }
    // Clicks into a box and types over its whole text, as an operator would.
    void retype(const char* box, const QString& text)
    {
        QTest::mouseClick(widget(box), Qt::LeftButton);
        QTest::keyClick(widget(box), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(widget(box), Qt::Key_Backspace);
        typeText(widget(box), text);
    }

    // `target` has the focus and the focus mark: a dark ring inside the control, around its face. Once the focus
    // has gone (Tab), the control as it was.
    void verifyMarked(QWidget* target)
    {
        QCOMPARE(QApplication::focusWidget(), target);
        QCOMPARE(m_app->view()->findChild<FocusMark*>()->marked(), target);
        const QImage marked = target->grab().toImage();
        QTest::keyClick(target, Qt::Key_Tab);
        QVERIFY(!target->hasFocus());
        const QImage unmarked = target->grab().toImage();
        const QPoint face(target->width() / 2, FocusMark::kRingWidth + FocusMark::kInnerWidth + 1);
        for (const QPoint& ring : {QPoint(1, target->height() / 2), QPoint(target->width() / 2, 1),
                                   QPoint(target->width() - 2, target->height() - 3)}) {
            QCOMPARE(marked.pixelColor(ring), FocusMark::kRingColour);
            QVERIFY(unmarked.pixelColor(ring) != FocusMark::kRingColour);
        }
        QCOMPARE(marked.pixelColor(FocusMark::kRingWidth, target->height() / 2), FocusMark::kInnerColour);
        QCOMPARE(marked.pixelColor(face), unmarked.pixelColor(face));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<SociosApp> m_app;
};
