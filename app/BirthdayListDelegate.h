#pragma once

#include <QStyledItemDelegate>

#include <array>

// Draws a line of the birthday list as four columns under the list's headings: name, surname, card number and
// days left. The line's text stays as built, TABs and filler blanks included (that is what the list holds and
// what a screen reader reads); only the drawing places each TAB-separated field in the column of its heading,
// cut at the column's right edge. The days are always drawn inside the visible part of the list, also when a
// scroll bar takes up the right of it.
class BirthdayListDelegate : public QStyledItemDelegate
{
public:
    // A heading's extent, in pixels from the list widget's left edge.
    struct Column
    {
        int left = 0;
        int right = 0;
    };
    using Columns = std::array<Column, 4>;

    BirthdayListDelegate(const Columns& columns, QObject* parent);
    void setColumns(const Columns& columns) { m_columns = columns; }

    // The fields of a line: a run of TABs (and the one blank after it) separates two fields. A name or surname
    // that holds TABs itself gives more fields; the last two are then the card number and the days.
    static std::array<QString, 4> fields(const QString& line);

    // Where each field of the item is drawn, in the list's viewport coordinates: its column, cut to the
    // viewport; the days' column moved left as far as needed to keep `days` whole in view.
    std::array<QRect, 4> fieldRects(const QStyleOptionViewItem& option, const QString& days) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    Columns m_columns;
};
