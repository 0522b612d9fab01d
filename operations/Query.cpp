// "Consulta": look members up by card number, one after another, without changing anything.

#include "operations/CardOperations.h"

void CardOperations::Command1_Click()
{
    Form1& f = m_form;
    enterCardEntry();
    f.LockMemberBoxes();
    f.ClearMemberBoxes();

    // The pass in which "*" is entered is carried out in full, like any other.
    while (!text52IsLeave()) {
        if (const StoreFailure failure = showMembersPass())
            return fail(*failure);
    }

    f.Label29.setVisible(true);
    f.Label18.setVisible(false);
    f.Text52.setText(QString());
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
}
