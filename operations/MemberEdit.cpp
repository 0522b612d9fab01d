// "Modificar": changing the data of a member.

#include "operations/CardOperations.h"

#include "operations/MessageSink.h"

namespace {

// The member boxes that the operator may change: all but the card number.
void enableEditBoxes(Form1& f, bool enabled)
{
    for (Control* box : f.memberBoxes())
        if (box != &f.Text4)
            box->setEnabled(enabled);
}

} // namespace

void CardOperations::Command3_Click()
{
    Form1& f = m_form;
    enterCardEntry();
    // The finishing buttons are on screen already while the card number is asked for, but cannot be used.
    f.Command10.setVisible(true);
    f.Command10.setEnabled(false);
    f.Command11.setVisible(true);
    f.Command11.setEnabled(false);
    f.Label36.setVisible(true);
    // Label35 is left as the last operation left it. The boxes are opened before a member is found; the modal
    // prompt keeps the operator out of them meanwhile. The focus stays where it is.
    enableEditBoxes(f, true);
    f.Text4.setEnabled(false);

    // Every pass runs in full, the one in which "*" is entered included: it clears the boxes and, since no row
    // holds "*", shows Label35, which stays on screen after leaving.
    while (!text52IsLeave()) {
        if (const StoreFailure failure = showMembersPass())
            return fail(*failure);
        memberFound();
    }

    if (f.Text4.text().isEmpty()) {
        // Left with "*": Label29 stays hidden until another operation shows it.
        for (Control* button : f.operationButtons())
            button->setEnabled(true);
        enableEditBoxes(f, false);
        f.Command10.setVisible(false);
        f.Command11.setVisible(false);
    } else {
        for (Control* button : f.operationButtons())
            button->setEnabled(false);
        f.Label37.setVisible(true);
        f.Command10.setEnabled(true);
        f.Command11.setEnabled(true);
        f.UnlockMemberBoxesForEntry();
        for (Control* button : f.operationButtons())
            button->setEnabled(false);
    }
    f.Label18.setVisible(false);
    f.Text52.setText(QString());
}

void CardOperations::Command10_Click()
{
    Form1& f = m_form;
    f.Label37.setVisible(true);
    f.Label5.setVisible(false);
    // The zero rule may rewrite the day and month boxes whatever the verdict; they stay so for the next try.
    if (!f.CheckMemberDates()) {
        f.Label37.setVisible(false);
        f.Label5.setVisible(true);
        return;
    }

    const BoxTexts typed = boxTexts();
    const MemberRecord record = f.StoreMemberBoxes(Form1::StoreVariant::Edited);
    // Text4 cannot be typed into: the row shown by "Modificar" is the one rewritten, with its card number, and only
    // while it still holds what was read then. Other rows with the same number stay as they are.
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
        f.ClearMemberBoxes();
        f.ResetMemberBoxColours();
        f.ShowMemberRecord(written->stored.record);
        m_rowShown = written->stored;
        m_messages.notice(QStringLiteral("Otra caja ha cambiado los datos de este socio mientras tanto, así que no se "
                                         "ha guardado nada. Ahora se muestran los datos guardados: vuelva a hacer el "
                                         "cambio y pulse «Salvar registro»."));
        f.Text25.setFocus();
        return;
    case MemberStore::Rewrite::Outcome::Written:
        break;
    }

    // Boxes left red keep their colour until the next member is shown.
    f.Command10.setVisible(false);
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
    f.Command11.setVisible(false);
    f.ClearMemberBoxes();
    f.LockMemberBoxes();
    f.Label29.setVisible(true);
    f.Label37.setVisible(false);
    f.Command1.setFocus();
}

void CardOperations::Command11_Click()
{
    Form1& f = m_form;
    f.Text1.setText(QString());
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
    f.Command10.setVisible(false);
    f.Command11.setVisible(false);
    f.Label37.setVisible(false);
    f.ClearMemberBoxes();
    f.LockMemberBoxes();
    f.Label35.setVisible(false);
    f.Label29.setVisible(true);
    f.Label5.setVisible(false);
    f.Command1.setFocus();
}
