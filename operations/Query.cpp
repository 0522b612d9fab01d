// "Consulta": look members up by card number, one after another, without changing anything.

#include "operations/CardOperations.h"

void CardOperations::lookUpMembers()
{
    Form1& f = m_form;
    enterCardEntry();
    f.lockMemberBoxes();
    f.clearMemberBoxes();

    // The pass in which "*" is entered is carried out in full, like any other.
    while (!cardEntryIsLeave()) {
        if (const StoreResult<void> done = showMembersPass(); !done)
            return fail(done.error());
    }

    f.chooseOperationNote.setVisible(true);
    f.leaveWithStarNote.setVisible(false);
    m_cardEntry.clear();
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
}
