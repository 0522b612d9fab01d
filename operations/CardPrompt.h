#pragma once

#include <QString>

// The modal one-line input prompt. While it is open nothing else of the window reacts.
class CardPrompt
{
public:
    virtual ~CardPrompt() = default;

    // Shows `prompt` under `title` with an empty field, its top-left corner at (left, top) twips from the
    // screen's top-left corner. Returns the text confirmed, or the empty text when the operator cancels.
    virtual QString inputBox(const QString& prompt, const QString& title, int leftTwips, int topTwips) = 0;

    // Whether the last prompt was closed by the application quitting (the system logging off) rather than by the
    // operator. Every later prompt would be closed at once too, so the operation ends as "*" ends it.
    virtual bool aborted() const { return false; }
};
