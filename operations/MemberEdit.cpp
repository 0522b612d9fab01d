// "Modificar": changing the data of a member.

#include "operations/CardOperations.h"

#include "operations/MessageSink.h"

namespace {

// The member boxes that the operator may change: all but the card number.
void enableEditBoxes(Form1& f, bool enabled)
{
    for (Control* box : f.memberBoxes())
        if (box != &f.cardNumberBox)
            box->setEnabled(enabled);
}

} // namespace

void CardOperations::startEditing()
{
    Form1& f = m_form;
    enterCardEntry();
    // The finishing buttons are on screen already while the card number is asked for, but cannot be used.
    f.saveEditedMemberButton.setVisible(true);
    f.saveEditedMemberButton.setEnabled(false);
    f.leaveEditButton.setVisible(true);
    f.leaveEditButton.setEnabled(false);
    f.enterCardNote.setVisible(true);
    // noSuchCardNote is left as the last operation left it. The boxes are opened before a member is found; the modal
    // prompt keeps the operator out of them meanwhile. The focus stays where it is.
    enableEditBoxes(f, true);
    f.cardNumberBox.setEnabled(false);

    // Every pass runs in full, the one in which "*" is entered included: it clears the boxes and, since no row
    // holds "*", shows noSuchCardNote, which stays on screen after leaving.
    while (!cardEntryIsLeave()) {
        if (const StoreResult<void> done = showMembersPass(); !done)
            return fail(done.error());
        endEntryIfMemberShown();
    }

    if (f.cardNumberBox.text().isEmpty()) {
        // Left with "*": chooseOperationNote stays hidden until another operation shows it.
        for (Control* button : f.operationButtons())
            button->setEnabled(true);
        enableEditBoxes(f, false);
        f.saveEditedMemberButton.setVisible(false);
        f.leaveEditButton.setVisible(false);
    } else {
        for (Control* button : f.operationButtons())
            button->setEnabled(false);
        f.changeDataNote.setVisible(true);
        f.saveEditedMemberButton.setEnabled(true);
        f.leaveEditButton.setEnabled(true);
        f.unlockMemberBoxesForEntry();
        for (Control* button : f.operationButtons())
            button->setEnabled(false);
    }
    f.leaveWithStarNote.setVisible(false);
    m_cardEntry.clear();
}

void CardOperations::saveEditedMember()
{
    Form1& f = m_form;
    f.changeDataNote.setVisible(true);
    f.dateErrorNote.setVisible(false);
    // The zero rule may rewrite the day and month boxes whatever the verdict; they stay so for the next try.
    if (!f.checkMemberDates()) {
        f.changeDataNote.setVisible(false);
        f.dateErrorNote.setVisible(true);
        return;
    }

    const BoxTexts typed = boxTexts();
    const MemberRecord record = f.storeMemberBoxes(Form1::StoreVariant::Edited);
    // cardNumberBox cannot be typed into: the row shown by "Modificar" is the one rewritten, with its card number, and
    // only while it still holds what was read then. Other rows with the same number stay as they are.
    if (!m_rowShown)
        return cardVanished();
    const StoreResult<MemberStore::Rewrite> written = m_store.rewrite(*m_rowShown, record);
    if (!written) {
        // Nothing written: the member stays open as typed, to save again once the cause is gone.
        keepTyping(typed);
        m_messages.storeFailure(written.error());
        return;
    }
    switch (written->outcome) {
    case MemberStore::Rewrite::Outcome::NoRow:
        return cardVanished();
    case MemberStore::Rewrite::Outcome::Changed:
        // The stored member is on screen, as "Consulta" shows it, before the message says so.
        f.clearMemberBoxes();
        f.resetMemberBoxColours();
        f.showMember(written->stored.record);
        m_rowShown = written->stored;
        m_messages.notice(QStringLiteral("Otra caja ha cambiado los datos de este socio mientras tanto, así que no se "
                                         "ha guardado nada. Ahora se muestran los datos guardados: vuelva a hacer el "
                                         "cambio y pulse «Salvar registro»."));
        f.nameBox.setFocus();
        return;
    case MemberStore::Rewrite::Outcome::Written:
        break;
    }

    // Boxes left red keep their colour until the next member is shown.
    f.saveEditedMemberButton.setVisible(false);
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
    f.leaveEditButton.setVisible(false);
    f.clearMemberBoxes();
    f.lockMemberBoxes();
    f.chooseOperationNote.setVisible(true);
    f.changeDataNote.setVisible(false);
    f.queryButton.setFocus();
}

void CardOperations::leaveEditing()
{
    Form1& f = m_form;
    f.memberNumberBox.setText(QString());
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
    f.saveEditedMemberButton.setVisible(false);
    f.leaveEditButton.setVisible(false);
    f.changeDataNote.setVisible(false);
    f.clearMemberBoxes();
    f.lockMemberBoxes();
    f.noSuchCardNote.setVisible(false);
    f.chooseOperationNote.setVisible(true);
    f.dateErrorNote.setVisible(false);
    f.queryButton.setFocus();
}
