// "Alta": registering a new member.

#include "operations/CardOperations.h"

#include "operations/CardEntry.h"
#include "operations/MessageSink.h"

#include <utility>

void CardOperations::startNewMember()
{
    Form1& f = m_form;
    enterCardEntry();
    f.enterMemberNumberNote.setVisible(true);

    // fillInDataNote visible after the check means no member holds the number; "*" in m_cardEntry then ends the entry
    // with the number accepted (it stays in cardNumberBox).
    while (!cardEntryIsLeave()) {
        askForCard();
        f.enterMemberNumberNote.setVisible(false);
        f.numberTakenNote.setVisible(false);
        f.fillInDataNote.setVisible(true);
        f.clearMemberBoxes();
        f.amountBox.setText(QString());
        normaliseCardEntry();
        if (cardEntryIsLeave())
            break;

        // Also with an empty table: the entry always reaches cardNumberBox, so an empty entry leaves cardNumberBox
        // empty and ends the operation, and any other entry is a new number.
        f.cardNumberBox.setText(m_cardEntry);
        const StoreResult<bool> taken = m_store.holdsCard(m_cardEntry);
        if (!taken)
            return fail(taken.error());
        if (*taken) {
            f.numberTakenNote.setVisible(true);
            f.fillInDataNote.setVisible(false);
        }
        if (f.fillInDataNote.isVisible())
            m_cardEntry = CardEntry::kLeave;
    }

    // An empty cardNumberBox means the operator left without a number.
    if (f.cardNumberBox.text().isEmpty()) {
        for (Control* button : f.operationButtons())
            button->setEnabled(true);
    } else {
        f.saveNewMemberButton.setVisible(true);
        f.saveNewMemberButton.setEnabled(true);
        f.leaveNewMemberButton.setVisible(true);
        f.leaveNewMemberButton.setEnabled(true);
        f.newMemberButton.setEnabled(false);
        f.unlockMemberBoxesForEntry();
        for (Control* button : f.operationButtons())
            button->setEnabled(false);
    }
    f.numberTakenNote.setVisible(false);
    f.leaveWithStarNote.setVisible(false);
    m_cardEntry.clear();
}

void CardOperations::saveNewMember()
{
    Form1& f = m_form;
    f.fillInDataNote.setVisible(true);
    f.dateErrorNote.setVisible(false);
    if (!f.checkMemberDates()) {
        // The data stay open for correction and another "salvar".
        f.fillInDataNote.setVisible(false);
        f.dateErrorNote.setVisible(true);
        return;
    }

    // The number was free when "Alta" accepted it; the store checks again as it adds the row, since another
    // till may have registered it meanwhile.
    const BoxTexts typed = boxTexts();
    const StoreResult<bool> added = m_store.appendNew(f.storeMemberBoxes(Form1::StoreVariant::New));
    if (!added) {
        // Nothing written: the member stays open as typed, to save again once the cause is gone.
        keepTyping(typed);
        m_messages.storeFailure(added.error());
        return;
    }
    if (!*added) {
        keepTyping(typed);
        f.fillInDataNote.setVisible(false);
        f.numberTakenNote.setVisible(true);
        return chooseAnotherCard();
    }

    f.fillInDataNote.setVisible(false);
    f.saveNewMemberButton.setVisible(false);
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
    f.leaveNewMemberButton.setVisible(false);
    f.clearMemberBoxes();
    f.lockMemberBoxes();
    f.chooseOperationNote.setVisible(true);
    f.noSuchCardNote.setVisible(false);
}

void CardOperations::chooseAnotherCard()
{
    Form1& f = m_form;
    f.leaveWithStarNote.setVisible(true);
    for (;;) {
        askForCard();
        normaliseCardEntry();
        const QString card = std::exchange(m_cardEntry, QString());
        if (card.isEmpty() || card == CardEntry::kLeave)
            break;
        const StoreResult<bool> taken = m_store.holdsCard(card);
        if (!taken) {
            m_messages.storeFailure(taken.error());
            break;
        }
        if (*taken)
            continue;
        f.cardNumberBox.setText(card);
        f.numberTakenNote.setVisible(false);
        f.leaveWithStarNote.setVisible(false);
        return saveNewMember();
    }
    f.leaveWithStarNote.setVisible(false);
}

void CardOperations::leaveNewMember()
{
    Form1& f = m_form;
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
    f.saveNewMemberButton.setVisible(false);
    f.leaveNewMemberButton.setVisible(false);
    f.fillInDataNote.setVisible(false);
    f.clearMemberBoxes();
    f.lockMemberBoxes();
    f.chooseOperationNote.setVisible(true);
    f.dateErrorNote.setVisible(false);
    f.numberTakenNote.setVisible(false); // shown when another till took the number first
}
