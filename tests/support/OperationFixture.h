#pragma once

#include "operations/CardOperations.h"
#include "tests/support/TestSupport.h"

#include <QTemporaryDir>

// What every operation test starts from: a new member file holding tests/data/members.sql, the window after
// start-up, and the operations wired to a prompt with queued answers and a message recorder. Each time the prompt
// opens, window() and boxes() are noted in `prompts`; each time a message shows, boxes() in `behindMessages`.
class OperationFixture
{
public:
    OperationFixture();

    // The window in one line: the visible message labels; "ops" when the four operation buttons are enabled
    // (else the enabled ones); each visible finishing button and amountBox, with "-" when disabled; "edit" when the
    // fifteen edit boxes are enabled and cardNumberBox is not (else every enabled member box); "@" and the focused
    // control; the focus errors, if any.
    static QString window(const Form1& form);
    QString window() const { return window(form); }
    // "name=text" for every member box holding a text, "name:red" for every red one.
    static QStringList boxes(const Form1& form);
    QStringList boxes() const { return boxes(form); }
    // The boxes of a window of their own showing `row` after the light-yellow reset.
    static QStringList shown(const MemberRecord& row);
    // Clicks `button` with `answers` queued for the card number prompt.
    void click(Control& button, const QStringList& answers);

    // Leaves what earlier operations may leave on screen: numberTakenNote and fillInDataNote shown, a text in nameBox,
    // birthDayBox red.
    void leaveLeftovers();
    // Types into member boxes, each entry "nameBox=Ana"; a box that is not enabled fails the test.
    void type(const QStringList& entries);
    // `row` with the changes made, each "field=text" ("fnacimiento=05/03/1980").
    static MemberRecord changed(MemberRecord row, const QStringList& changes);

    QTemporaryDir dir;
    const QString path;
    const MemberStore store;
    Form1 form;
    FakePrompt prompt;
    FakeMessages messages;
    CardOperations operations;
    QStringList prompts; // "window | boxes" at each prompt
    QList<QStringList> behindMessages;
};

// The idle state of start-up.
inline const QString kIdle = QStringLiteral("chooseOperationNote ops");
