#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
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

// Acts on dialogs as they open, while the code under test waits in their exec(). Card number prompts: one step per
// prompt; a step that leaves its prompt open gets it cancelled, and a prompt after the last step fails the test and
// is answered "*", so a test never hangs. Message boxes: what each one showed is noted in `boxes`; the start-up
// question "accessImportQuestion" gets the button `answer`, any other box is accepted. Other dialogs (a progress
// window) are left alone. Once the application's window has shown and `quitAfter` boxes have been answered, ends the
// application's event loop.
class DialogDriver : public QObject
{
public:
    struct Box
    {
        QString name, title, text, details;
        QStringList buttons;
    };

    explicit DialogDriver(QList<PromptStep> steps, QString answer = {}, qsizetype quitAfter = -1)
        : m_steps(std::move(steps)), m_answer(std::move(answer)), m_quitAfter(quitAfter)
    {
        connect(&m_timer, &QTimer::timeout, this, &DialogDriver::poll);
        m_timer.start(5);
    }
    bool finished() const { return m_steps.isEmpty(); }
    QStringList names() const
    {
        QStringList names;
        for (const Box& box : boxes)
            names << box.name;
        return names;
    }

    QList<Box> boxes;
    bool windowShown = false;

private:
    void poll()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            windowShown = windowShown || (w->objectName() == QLatin1String("Form1Window") && w->isVisible());
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog && !dialog->property("handledByTest").toBool()) {
            dialog->setProperty("handledByTest", true);
            if (auto* prompt = qobject_cast<QInputDialog*>(dialog)) {
                if (m_steps.isEmpty()) {
                    QTest::qFail("a prompt after the last step", __FILE__, __LINE__);
                    m_steps = {answer(QStringLiteral("*"))};
                }
                m_steps.takeFirst()(prompt);
                if (prompt->isVisible())
                    prompt->reject();
            } else if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                Box& seen = boxes.emplace_back(
                    Box{box->objectName(), box->windowTitle(), box->text(), box->detailedText(), {}});
                const bool question = seen.name == QLatin1String("accessImportQuestion");
                for (QAbstractButton* button : box->buttons()) {
                    seen.buttons << button->text();
                    if (question && button->text() == m_answer)
                        button->click();
                }
                if (!question)
                    box->accept();
            }
        }
        if (windowShown && m_quitAfter >= 0 && boxes.size() >= m_quitAfter)
            QApplication::quit();
    }

    QList<PromptStep> m_steps;
    QString m_answer;
    qsizetype m_quitAfter;
    QTimer m_timer;
};
