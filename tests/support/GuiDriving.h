#pragma once

#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Types text into a widget one key at a time, as a keyboard (or a card reader acting as one) would, including
// characters that QTest::keyClicks cannot type, such as "ñ" and characters outside the Basic Multilingual Plane.
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

// Acts on modal dialogs as they open, one step per dialog, while the code under test waits in their exec().
// A step that leaves its dialog open gets it rejected; a dialog that opens after the last step fails the test
// and is closed ("*" for a card number prompt), so a test never hangs.
class ModalDriver : public QObject
{
public:
    using Step = std::function<void(QWidget* dialog)>;

    ModalDriver()
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
        m_timer.start();
    }

    ModalDriver& then(Step step)
    {
        m_steps.append(std::move(step));
        return *this;
    }

    // A card number prompt answered by typing `text` and pressing Enter; `check` runs first.
    ModalDriver& answer(const QString& text, std::function<void()> check = {})
    {
        return then([text, check](QWidget* dialog) {
            if (check)
                check();
            auto* input = qobject_cast<QInputDialog*>(dialog);
            QVERIFY2(input, "expected the card number prompt");
            QLineEdit* edit = input->findChild<QLineEdit*>();
            QVERIFY(edit);
            typeText(edit, text);
            QTest::keyClick(edit, Qt::Key_Return);
        });
    }

    bool finished() const { return m_steps.isEmpty(); }

private:
    void poll()
    {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->property("handledByTest").toBool())
            return;
        dialog->setProperty("handledByTest", true);
        if (m_steps.isEmpty()) {
            QTest::qFail("an unexpected dialog opened", __FILE__, __LINE__);
            if (auto* input = qobject_cast<QInputDialog*>(dialog)) {
                input->setTextValue(QStringLiteral("*"));
                input->accept();
            }
        } else {
            m_steps.takeFirst()(dialog);
        }
        if (auto* open = qobject_cast<QDialog*>(dialog); open && open->isVisible())
            open->reject();
    }

    QTimer m_timer;
    QList<Step> m_steps;
};
