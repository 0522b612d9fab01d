#pragma once

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>

// The widget of the control `name` in `root`; a missing one ends the test run.
template <typename W = QWidget> W* widgetNamed(const QWidget* root, const char* name)
{
    W* found = root->findChild<W*>(QLatin1String(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

// Types text one key at a time, as a keyboard (or a card reader acting as one) would, including characters that
// QTest::keyClicks cannot type, such as "ñ" and characters outside the Basic Multilingual Plane.
inline void typeText(QWidget* widget, const QString& text)
{
    for (char32_t c : text.toStdU32String()) {
        const QString character = QString::fromUcs4(&c, 1);
        const auto key =
            (c < 128 && QChar(c).isLetterOrNumber()) ? Qt::Key(QChar(c).toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Press, widget, key, character, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, key, character, Qt::NoModifier);
    }
}

// Acts on card number prompts as they open, one step per prompt, while the code under test waits in their exec().
// A step that leaves its prompt open gets it cancelled. Any other dialog, or a prompt after the last step, fails
// the test and is closed ("*" for a prompt), so a test never hangs.
class ModalDriver : public QObject
{
public:
    using Step = std::function<void(QInputDialog* prompt)>;

    ModalDriver()
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
        m_timer.start(5);
    }

    ModalDriver& then(Step step)
    {
        m_steps.append(std::move(step));
        return *this;
    }

    // Typed in and confirmed with Enter, once `check` has looked at the window.
    ModalDriver& answer(
        const QString& text, std::function<void()> check = [] {})
    {
        return then([text, check](QInputDialog* prompt) {
            check();
            typeText(prompt->findChild<QLineEdit*>(), text);
            QTest::keyClick(prompt->findChild<QLineEdit*>(), Qt::Key_Return);
        });
    }

    bool finished() const { return m_steps.isEmpty(); }

private:
    void poll()
    {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("handledByTest").toBool())
            return;
        dialog->setProperty("handledByTest", true);
        auto* prompt = qobject_cast<QInputDialog*>(dialog);
        if (prompt && !m_steps.isEmpty()) {
            m_steps.takeFirst()(prompt);
        } else {
            QTest::qFail("an unexpected dialog opened", __FILE__, __LINE__);
            if (prompt)
                prompt->setTextValue(QStringLiteral("*"));
            dialog->done(prompt ? QDialog::Accepted : QDialog::Rejected);
        }
        if (dialog->isVisible())
            dialog->reject();
    }

    QTimer m_timer;
    QList<Step> m_steps;
};
