#include "app/Logo.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

QPixmap drawLogo(const QSize& size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF card = QRectF(pixmap.rect()).adjusted(1, 1, -1, -1);
    const qreal radius = card.height() / 6;
    painter.setPen(QPen(QColor(0x00, 0x00, 0x60), 1));
    painter.setBrush(QColor(0x00, 0x00, 0xC0));
    painter.drawRoundedRect(card, radius, radius);

    // Magnetic stripe.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x20, 0x20, 0x20));
    painter.drawRect(QRectF(card.left(), card.top() + card.height() * 0.18, card.width(), card.height() * 0.18));

    // A five-pointed star for the points.
    const QPointF centre(card.left() + card.width() * 0.22, card.top() + card.height() * 0.68);
    const qreal outer = card.height() * 0.24;
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const qreal r = (i % 2 == 0) ? outer : outer * 0.45;
        const qreal angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const QPointF p(centre.x() + r * std::cos(angle), centre.y() + r * std::sin(angle));
        i == 0 ? star.moveTo(p) : star.lineTo(p);
    }
    star.closeSubpath();
    painter.setBrush(QColor(0xFF, 0xD7, 0x00));
    painter.drawPath(star);

    // Card number dots.
    painter.setBrush(QColor(0xFF, 0xFF, 0xC0));
    const qreal dot = card.height() * 0.07;
    for (int i = 0; i < 4; ++i)
        painter.drawEllipse(QPointF(card.left() + card.width() * (0.48 + i * 0.13), centre.y()), dot, dot);
    return pixmap;
}
