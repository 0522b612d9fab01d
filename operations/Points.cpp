// "Añadir Puntos": adding points to a member's balance, or resetting it.

#include "operations/CardOperations.h"

#include "app/conversions/Conversions.h"
#include "operations/CardEntry.h"
#include "operations/MessageSink.h"

#include <cmath>

namespace {

// The ending shared by "añadir puntos", "reset puntos" and "salir sin añadir". The member stays on screen.
void finishPoints(Form1& f)
{
    for (Control* button : {&f.Command4, &f.Command7, &f.Command8})
        button->setVisible(false);
    f.Text8.setText(QString());
    f.Text8.setVisible(false);
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
    f.Label28.setVisible(false);
    f.Label29.setVisible(true);
}

} // namespace

void CardOperations::Command6_Click()
{
    Form1& f = m_form;
    for (Control* button : f.operationButtons())
        button->setEnabled(false);
    f.Label28.setVisible(false);
    f.Label29.setVisible(false);
    f.Label18.setVisible(true);
    f.Label14.setVisible(false);
    f.Label17.setVisible(false);
    f.Label36.setVisible(true);
    f.LockMemberBoxes();

    while (!text52IsLeave()) {
        promptIntoText52();
        f.ClearMemberBoxes();
        f.ResetMemberBoxColours();
        normaliseText52();
        const StoreResult<std::vector<MemberRecord>> rows = m_store.rowsWithCard(f.Text52.text());
        if (!rows)
            return fail(rows.error());
        for (const MemberRecord& row : *rows)
            f.ShowMemberRecord(row);

        // A row whose card number holds the empty mark shows an empty Text4 and counts as not found.
        if (f.Text4.text().isEmpty()) {
            f.Label35.setVisible(true);
            f.Label36.setVisible(false);
        } else {
            f.Text52.setText(CardEntry::kLeave);
            f.Label35.setVisible(false);
            f.Label36.setVisible(false);
            for (Control* button : {&f.Command4, &f.Command7, &f.Command8}) {
                button->setVisible(true);
                button->setEnabled(true);
            }
            f.Text8.setVisible(true);
            f.Text8.setFocus();
        }
    }

    f.Label18.setVisible(false);
    f.Label35.setVisible(false);
    // Text8 is shown exactly when a member was found: the window then waits for one of the finishing buttons.
    if (!f.Text8.isVisible()) {
        f.Label29.setVisible(true);
        for (Control* button : f.operationButtons())
            button->setEnabled(true);
    }
    f.Text52.setText(QString());
}

void CardOperations::Command4_Click()
{
    Form1& f = m_form;
    // The balance shown, not the one stored, is added to: both are the same unless another program changed
    // the row since it was shown.
    const double sum = Val(f.Text2.text()) + Val(f.Text8.text());
    if (!std::isfinite(sum)) {
        m_messages.notice(QStringLiteral("La suma de puntos es demasiado grande; no se ha guardado."));
        f.Text8.setFocus();
        return;
    }

    const StoreResult<std::optional<QString>> stored = m_store.changePoints(f.Text4.text(), Str(sum));
    if (!stored)
        return fail(stored.error());
    if (!stored.value())
        return cardVanished();
    f.Text2.setText(*stored.value());
    finishPoints(f);
}

void CardOperations::Command8_Click()
{
    Form1& f = m_form;
    const StoreResult<std::optional<QString>> stored = m_store.changePoints(f.Text4.text(), QStringLiteral("0"));
    if (!stored)
        return fail(stored.error());
    if (!stored.value())
        return cardVanished();
    f.Text2.setText(*stored.value());
    finishPoints(f);
}

void CardOperations::Command7_Click()
{
    finishPoints(m_form);
}
