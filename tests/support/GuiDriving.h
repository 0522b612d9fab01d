#pragma once

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>

// Types text one key at a time, as a keyboard (or a card reader acting as one) would, including characters that
// QTest::keyClicks cannot type, such as "ñ" and characters outside the Basic Multilingual Plane; "\r" is Return.
inline void typeText(QWidget* widget, const QString& text)
{
    for (char32_t c : text.toStdU32String()) {
        const auto key = c == '\r'                                  ? Qt::Key_Return
                         : (c < 128 && QChar(c).isLetterOrNumber()) ? Qt::Key(QChar(c).toUpper().unicode())
                                                                    : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Press, widget, key, QString::fromUcs4(&c, 1), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, key, QString::fromUcs4(&c, 1), Qt::NoModifier);
    }
}

using PromptStep = std::function<void(QInputDialog* prompt)>;

// Types `text` into the prompt and confirms it with Enter.
inline PromptStep answer(const QString& text)
{
    return [text](QInputDialog* prompt) { typeText(prompt->findChild<QLineEdit*>(), text + QLatin1Char('\r')); };
}

// Acts on card number prompts as they open, one step per prompt, while the code under test waits in their exec().
// A step that leaves its prompt open gets it cancelled. Any other dialog, or a prompt after the last step, fails
// the test and is closed ("*" for a prompt), so a test never hangs.
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(QList<PromptStep> steps) : m_steps(std::move(steps))
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
        m_timer.start(5);
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
        if (!prompt || m_steps.isEmpty()) {
            QTest::qFail("an unexpected dialog opened", __FILE__, __LINE__);
            m_steps = {answer(QStringLiteral("*"))};
        }
        if (prompt)
            m_steps.takeFirst()(prompt);
        if (dialog->isVisible())
            dialog->reject();
    }

    QTimer m_timer;
    QList<PromptStep> m_steps;
};
