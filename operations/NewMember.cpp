// "Alta": registering a new member.

#include "operations/CardOperations.h"

#include "operations/CardEntry.h"
#include "operations/MessageSink.h"

void CardOperations::Command5_Click()
{
    Form1& f = m_form;
    enterCardEntry();
    f.Label12.setVisible(true);

    // Label17 visible after the check means no member holds the number; "*" in Text52 then ends the entry with
    // the number accepted (it stays in Text4).
    while (!text52IsLeave()) {
        promptIntoText52();
        f.Label12.setVisible(false);
        f.Label14.setVisible(false);
        f.Label17.setVisible(true);
        f.ClearMemberBoxes();
        f.Text8.setText(QString());
        normaliseText52();
        if (text52IsLeave())
            break;

        // Also with an empty table: the entry always reaches Text4, so an empty entry leaves Text4 empty and
        // ends the operation, and any other entry is a new number.
        f.Text4.setText(f.Text52.text());
        const StoreResult<bool> taken = m_store.holdsCard(f.Text52.text());
        if (!taken)
            return fail(taken.error());
        if (*taken) {
            f.Label14.setVisible(true);
            f.Label17.setVisible(false);
        }
        if (f.Label17.isVisible())
            f.Text52.setText(CardEntry::kLeave);
    }

    // An empty Text4 means the operator left without a number.
    if (f.Text4.text().isEmpty()) {
        for (Control* button : f.operationButtons())
            button->setEnabled(true);
    } else {
        f.command2.setVisible(true);
        f.command2.setEnabled(true);
        f.Command9.setVisible(true);
        f.Command9.setEnabled(true);
        f.Command5.setEnabled(false);
        f.UnlockMemberBoxesForEntry();
        for (Control* button : f.operationButtons())
            button->setEnabled(false);
    }
    f.Label14.setVisible(false);
    f.Label18.setVisible(false);
    f.Text52.setText(QString());
}

void CardOperations::command2_Click()
{
    Form1& f = m_form;
    f.Label17.setVisible(true);
    f.Label5.setVisible(false);
    if (!f.CheckMemberDates()) {
        // The data stay open for correction and another "salvar".
        f.Label17.setVisible(false);
        f.Label5.setVisible(true);
        return;
    }

    // The number was free when "Alta" accepted it; the store checks again as it adds the row, since another
    // till may have registered it meanwhile.
    const BoxTexts typed = boxTexts();
    const StoreResult<bool> added = m_store.appendNew(f.StoreMemberBoxes(Form1::StoreVariant::New));
    if (!added) {
        // Nothing written: the member stays open as typed, to save again once the cause is gone.
        keepTyping(typed);
        m_messages.storeFailure(added.error());
        return;
    }
    if (!*added) {
        keepTyping(typed);
        f.Label17.setVisible(false);
        f.Label14.setVisible(true);
        return chooseAnotherCard();
    }

    f.Label17.setVisible(false);
    f.command2.setVisible(false);
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
    f.Command9.setVisible(false);
    f.ClearMemberBoxes();
    f.LockMemberBoxes();
    f.Label29.setVisible(true);
    f.Label35.setVisible(false);
}

void CardOperations::chooseAnotherCard()
{
    Form1& f = m_form;
    f.Label18.setVisible(true);
    for (;;) {
        promptIntoText52();
        normaliseText52();
        const QString card = f.Text52.text();
        f.Text52.setText(QString());
        if (card.isEmpty() || card == CardEntry::kLeave)
            break;
        const StoreResult<bool> taken = m_store.holdsCard(card);
        if (!taken) {
            m_messages.storeFailure(taken.error());
            break;
        }
        if (*taken)
            continue;
        f.Text4.setText(card);
        f.Label14.setVisible(false);
        f.Label18.setVisible(false);
        return command2_Click();
    }
    f.Label18.setVisible(false);
}

void CardOperations::Command9_Click()
{
    Form1& f = m_form;
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
    f.command2.setVisible(false);
    f.Command9.setVisible(false);
    f.Label17.setVisible(false);
    f.ClearMemberBoxes();
    f.LockMemberBoxes();
    f.Label29.setVisible(true);
    f.Label5.setVisible(false);
    f.Label14.setVisible(false); // shown when another till took the number first
}
