#include "app/FocusMark.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

const QColor FocusMark::kRingColour(0x00, 0x00, 0x00);
const QColor FocusMark::kInnerColour(0xFF, 0xFF, 0xFF);

FocusMark::FocusMark(std::function<bool(const QWidget*)> marks, QWidget* home)
    : QWidget(home), m_marks(std::move(marks)), m_home(home)
{
    setObjectName(QStringLiteral("focusMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { follow(now); });
    follow(QApplication::focusWidget());
}

void FocusMark::follow(QWidget* now)
{
    if (m_marked)
        m_marked->removeEventFilter(this);
    m_marked = now && m_marks(now) ? now : nullptr;
    if (!m_marked) {
        hide();
        setParent(m_home);
        return;
    }
    setParent(m_marked);
    setGeometry(m_marked->rect());
    m_marked->installEventFilter(this);
    raise();
    show();
}

bool FocusMark::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_marked && event->type() == QEvent::Resize)
        setGeometry(m_marked->rect());
    return false;
}

void FocusMark::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect all = rect();
    for (int i = 0; i < kRingWidth + kInnerWidth; ++i) {
        painter.setPen(i < kRingWidth ? kRingColour : kInnerColour);
        painter.drawRect(all.adjusted(i, i, -i - 1, -i - 1));
    }
}
