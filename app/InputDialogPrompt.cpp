#include "app/InputDialogPrompt.h"

#include "app/Appearance.h"
#include "app/FormView.h"

#include <QEvent>
#include <QGuiApplication>
#include <QInputDialog>
#include <QScreen>

#include <limits>
#include <set>

namespace {

// Places the dialog by placeDialog(). The frame is known only once the dialog is shown, so the placing is made
// again then.
class Placer : public QObject
{
public:
    Placer(QWidget* dialog, FormView* view, QPoint wantedTwips)
        : m_dialog(dialog), m_view(view), m_wanted(pixels(wantedTwips.x()), pixels(wantedTwips.y()))
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
    // The prompt's place is in twips from the screen's corner, drawn at the window's scale.
    int pixels(int twips) const { return twipsToPixels(twips, m_view ? m_view->scale() : 1.0); }

    void place()
    {
        QScreen* screen = m_view ? m_view->screen() : QGuiApplication::primaryScreen();
        if (!screen)
            return;
        const QList<QRect> avoid = m_view ? m_view->memberBoxesOnScreen() : QList<QRect>();
        m_dialog->move(placeDialog(screen->availableGeometry(), m_dialog->frameGeometry().size(),
                                   screen->geometry().topLeft() + m_wanted, avoid));
    }

    QWidget* m_dialog;
    FormView* m_view;
    QPoint m_wanted;
};

qint64 coveredArea(const QRect& dialog, const QList<QRect>& avoid)
{
    qint64 area = 0;
    for (const QRect& box : avoid) {
        const QRect common = dialog & box;
        area += qint64(common.width()) * common.height();
    }
    return area;
}

} // namespace

QPoint placeDialog(const QRect& screen, const QSize& size, const QPoint& wanted, const QList<QRect>& avoid)
{
    const int lastX = screen.right() + 1 - size.width();
    const int lastY = screen.bottom() + 1 - size.height();
    if (lastX < screen.left() || lastY < screen.top())
        return QPoint(std::max(screen.left(), std::min(wanted.x(), lastX)),
                      std::max(screen.top(), std::min(wanted.y(), lastY)));
    if (wanted.x() >= screen.left() && wanted.x() <= lastX && wanted.y() >= screen.top() && wanted.y() <= lastY)
        return wanted;

    // The best place lies against the screen's edges or the boxes' edges, or as near to `wanted` as the
    // screen lets it be, in each direction.
    std::set<int> xs = {std::clamp(wanted.x(), screen.left(), lastX), screen.left(), lastX};
    std::set<int> ys = {std::clamp(wanted.y(), screen.top(), lastY), screen.top(), lastY};
    for (const QRect& box : avoid) {
        for (int x : {box.right() + 1, box.left() - size.width()})
            if (x >= screen.left() && x <= lastX)
                xs.insert(x);
        for (int y : {box.bottom() + 1, box.top() - size.height()})
            if (y >= screen.top() && y <= lastY)
                ys.insert(y);
    }
    QPoint best;
    qint64 bestCovered = std::numeric_limits<qint64>::max();
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (int x : xs) {
        for (int y : ys) {
            const qint64 covered = coveredArea(QRect(QPoint(x, y), size), avoid);
            const qint64 dx = x - wanted.x(), dy = y - wanted.y();
            const qint64 distance = dx * dx + dy * dy;
            if (covered < bestCovered || (covered == bestCovered && distance < bestDistance)) {
                best = QPoint(x, y);
                bestCovered = covered;
                bestDistance = distance;
            }
        }
    }
    return best;
}

QString InputDialogPrompt::inputBox(const QString& prompt, const QString& title, int leftTwips, int topTwips)
{
    QInputDialog dialog(m_view);
    dialog.setObjectName(QStringLiteral("InputBox"));
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(QString());
    dialog.adjustSize();
    const Placer placer(&dialog, m_view, QPoint(leftTwips, topTwips));
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // The operator's answer hides the dialog; the application quitting ends its event loop with the dialog still
    // on screen, and every later prompt would end the same way at once.
    m_aborted = dialog.isVisible();
    return accepted && !m_aborted ? dialog.textValue() : QString();
}
