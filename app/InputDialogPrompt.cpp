#include "app/InputDialogPrompt.h"

#include "app/Appearance.h"

#include <QEvent>
#include <QGuiApplication>
#include <QInputDialog>
#include <QScreen>

namespace {

// Puts the dialog's top-left corner (frame included) at the given place from the screen's top-left corner,
// moved just enough to keep the whole dialog on a smaller screen. The frame is known only once the dialog is
// shown, so the placing is made again then.
class Placer : public QObject
{
public:
    Placer(QWidget* dialog, QScreen* screen, QPoint corner) : m_dialog(dialog), m_screen(screen), m_corner(corner)
    {
        place();
        dialog->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            place();
        return false;
    }

private:
    void place()
    {
        if (!m_screen)
            return;
        const QRect area = m_screen->geometry();
        const QSize size = m_dialog->frameGeometry().size();
        const int x = std::max(area.left(), std::min(area.left() + m_corner.x(), area.right() + 1 - size.width()));
        const int y = std::max(area.top(), std::min(area.top() + m_corner.y(), area.bottom() + 1 - size.height()));
        m_dialog->move(x, y);
    }

    QWidget* m_dialog;
    QScreen* m_screen;
    QPoint m_corner;
};

} // namespace

QString InputDialogPrompt::inputBox(const QString& prompt, const QString& title, int leftTwips, int topTwips)
{
    QInputDialog dialog(m_parent);
    dialog.setObjectName(QStringLiteral("InputBox"));
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(QString());
    dialog.adjustSize();
    const Placer placer(&dialog, m_parent ? m_parent->screen() : QGuiApplication::primaryScreen(),
                        QPoint(twipsToPixels(leftTwips), twipsToPixels(topTwips)));
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // The operator's answer hides the dialog; the application quitting ends its event loop with the dialog still
    // on screen, and every later prompt would end the same way at once.
    m_aborted = dialog.isVisible();
    return accepted && !m_aborted ? dialog.textValue() : QString();
}
