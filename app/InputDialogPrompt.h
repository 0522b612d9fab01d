#pragma once

#include "operations/CardPrompt.h"

#include <QList>
#include <QPoint>
#include <QRect>

class FormView;

// The card number prompt as a modal QInputDialog, placed on the screen in twips, and kept whole on a smaller
// screen without covering the member boxes where the screen leaves room for that.
class InputDialogPrompt : public CardPrompt
{
public:
    explicit InputDialogPrompt(FormView* view = nullptr) : m_view(view) {}

    QString inputBox(const QString& prompt, const QString& title, int leftTwips, int topTwips) override;
    bool aborted() const override { return m_aborted; }

private:
    FormView* m_view;
    bool m_aborted = false;
};

// Where a dialog of `size` goes on the free area of a screen, its top-left corner (frame included) wanted at
// `wanted`: there when the whole dialog fits; otherwise whole on the screen at the place nearest to `wanted` that
// covers none of `avoid`, or, where every place covers some of them, at the one that covers the least of them.
// A dialog larger than the screen is put at the screen's top-left corner.
QPoint placeDialog(const QRect& screen, const QSize& size, const QPoint& wanted, const QList<QRect>& avoid);
