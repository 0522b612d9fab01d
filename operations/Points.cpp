// "Añadir Puntos": adding points to a member's balance, or resetting it.

#include "operations/CardOperations.h"

#include "conversions/Conversions.h"
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
    enterCardEntry();
    f.Label36.setVisible(true);
    f.LockMemberBoxes();

    while (!text52IsLeave()) {
        if (const StoreFailure failure = showMembersPass())
            return fail(*failure);
        // A row whose card number holds the empty mark shows an empty Text4 and counts as not found.
        if (memberFound()) {
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
    // The amount is added to the balance stored when the row is written. With one till that is the balance
    // shown; when another till added points meanwhile, both additions are kept.
    const double amount = Val(m_form.Text8.text());
    changeBalance(QStringLiteral("añadir puntos"), [amount](const QString& stored) -> std::optional<QString> {
        const double sum = Val(stored) + amount;
        return std::isfinite(sum) ? std::optional<QString>(Str(sum)) : std::nullopt;
    });
}

void CardOperations::Command8_Click()
{
    changeBalance(QStringLiteral("reset puntos"),
                  [](const QString&) -> std::optional<QString> { return QStringLiteral("0"); });
}

void CardOperations::changeBalance(const QString& operation, const MemberStore::BalanceChange& change)
{
    Form1& f = m_form;
    const StoreResult<MemberStore::PointsChange> result = m_store.changePoints(f.Text4.text(), change, operation);
    if (!result) {
        // Nothing stored: the window keeps waiting with the amount typed, to add it once the cause is gone.
        m_messages.storeFailure(result.error());
        f.Text8.setFocus();
        return;
    }
    switch (result->outcome) {
    case MemberStore::PointsChange::Outcome::NoRow:
        return cardVanished();
    case MemberStore::PointsChange::Outcome::Declined:
        // Nothing stored; the window keeps waiting for an amount.
        m_messages.notice(QStringLiteral("La suma de puntos es demasiado grande; no se ha guardado."));
        f.Text8.setFocus();
        return;
    case MemberStore::PointsChange::Outcome::Written:
        f.Text2.setText(result->stored);
        finishPoints(f);
        return;
    }
}

void CardOperations::Command7_Click()
{
    finishPoints(m_form);
}
