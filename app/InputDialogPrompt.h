#pragma once

#include "operations/CardPrompt.h"

class QWidget;

// The card number prompt as a modal QInputDialog, placed on the screen in twips and kept on a smaller screen.
class InputDialogPrompt : public CardPrompt
{
public:
    explicit InputDialogPrompt(QWidget* parent = nullptr) : m_parent(parent) {}

    QString inputBox(const QString& prompt, const QString& title, int leftTwips, int topTwips) override;
    bool aborted() const override { return m_aborted; }

private:
    QWidget* m_parent;
    bool m_aborted = false;
};
