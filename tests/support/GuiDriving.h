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

// Answers message boxes as they open and notes what each one showed. The start-up question "accessImportQuestion"
// gets the button `answer` ("Escape" closes it); any other box is accepted. Once the application's window has shown
// and `quitAfter` boxes have been answered, ends the application's event loop.
class MessageBoxDriver : public QObject
{
public:
    struct Box
    {
        QString name, title, text, details;
        QStringList buttons;
    };

    explicit MessageBoxDriver(QString answer = {}, qsizetype quitAfter = -1)
        : m_answer(std::move(answer)), m_quitAfter(quitAfter)
    {
        connect(&m_timer, &QTimer::timeout, this, &MessageBoxDriver::poll);
        m_timer.start(5);
    }
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
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && !box->property("handledByTest").toBool()) {
            box->setProperty("handledByTest", true);
            Box& seen =
                boxes.emplace_back(Box{box->objectName(), box->windowTitle(), box->text(), box->detailedText(), {}});
            for (QAbstractButton* button : box->buttons())
                seen.buttons << button->text();
            if (seen.name != QLatin1String("accessImportQuestion"))
                box->accept();
            else if (m_answer == QLatin1String("Escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            for (QAbstractButton* button : box->buttons())
                if (seen.name == QLatin1String("accessImportQuestion") && button->text() == m_answer)
                    button->click();
        }
        if (windowShown && m_quitAfter >= 0 && boxes.size() >= m_quitAfter)
            QApplication::quit();
    }

    QString m_answer;
    qsizetype m_quitAfter;
    QTimer m_timer;
};
