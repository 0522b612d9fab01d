#include "app/BirthdayListDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>

namespace {

// Space kept between the list's left edge and the first column's text.
constexpr int kLeftMargin = 2;

} // namespace

BirthdayListDelegate::BirthdayListDelegate(const Columns& columns, QObject* parent)
    : QStyledItemDelegate(parent), m_columns(columns)
{}

std::array<QString, 4> BirthdayListDelegate::fields(const QString& line)
{
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && line.at(i) != QLatin1Char('\t'))
            continue;
        parts << line.mid(start, i - start);
        while (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('\t'))
            ++i;
        // The filler blank after the TABs belongs to the separation, not to the field.
        if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char(' '))
            ++i;
        start = i + 1;
    }
    std::array<QString, 4> result;
    if (parts.size() <= 4) {
        for (qsizetype i = 0; i < parts.size(); ++i)
            result[std::size_t(i)] = parts[i];
        return result;
    }
    result[0] = parts.takeFirst();
    result[3] = parts.takeLast();
    result[2] = parts.takeLast();
    result[1] = parts.join(QLatin1Char(' '));
    return result;
}

std::array<QRect, 4> BirthdayListDelegate::fieldRects(const QStyleOptionViewItem& option, const QString& days) const
{
    // The columns are given from the list widget's edge; items are drawn in its viewport, inside the frame.
    int viewportLeft = 0;
    int viewportWidth = option.rect.right() + 1;
    if (const auto* view = qobject_cast<const QAbstractScrollArea*>(option.widget)) {
        viewportLeft = view->viewport()->x();
        viewportWidth = view->viewport()->width();
    }
    std::array<QRect, 4> rects;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const int left = std::max(m_columns[i].left - viewportLeft, kLeftMargin);
        const int right = std::min(m_columns[i].right - viewportLeft, viewportWidth);
        rects[i] = QRect(left, option.rect.top(), std::max(right - left, 0), option.rect.height());
    }
    const int daysWidth = option.fontMetrics.horizontalAdvance(days) + 1;
    QRect& last = rects.back();
    last.setLeft(std::max(std::min(last.left(), viewportWidth - daysWidth), kLeftMargin));
    last.setRight(viewportWidth - 1);
    return rects;
}

void BirthdayListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const std::array<QString, 4> parts = fields(item.text);
    item.text.clear();
    // Lines that cannot be selected show no current line either.
    if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        view && view->selectionMode() == QAbstractItemView::NoSelection)
        item.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver | QStyle::State_Selected);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QPalette::ColorGroup group = (option.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setFont(item.font);
    painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const std::array<QRect, 4> rects = fieldRects(item, parts[3]);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].isEmpty() || rects[i].isEmpty())
            continue;
        painter->setClipRect(rects[i]);
        painter->drawText(rects[i], Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, parts[i]);
    }
    painter->restore();
}
