// "Añadir Puntos": adding points to a member's balance, or resetting it.

#include "operations/CardOperations.h"

#include "conversions/Conversions.h"
#include "operations/MessageSink.h"

#include <cmath>

namespace {

// The ending shared by "añadir puntos", "reset puntos" and "salir sin añadir". The member stays on screen.
void finishPoints(Form1& f)
{
    for (Control* button : {&f.addAmountButton, &f.leavePointsButton, &f.resetPointsButton})
        button->setVisible(false);
    f.amountBox.setText(QString());
    f.amountBox.setVisible(false);
    for (Control* button : f.operationButtons())
        button->setEnabled(true);
    f.enterPointsNote.setVisible(false);
    f.chooseOperationNote.setVisible(true);
}

} // namespace

void CardOperations::startAddingPoints()
{
    Form1& f = m_form;
    enterCardEntry();
    f.enterCardNote.setVisible(true);
    f.lockMemberBoxes();

    while (!cardEntryIsLeave()) {
        if (const StoreResult<void> done = showMembersPass(); !done)
            return fail(done.error());
        endEntryIfMemberShown();
        if (memberShown()) {
            for (Control* button : {&f.addAmountButton, &f.leavePointsButton, &f.resetPointsButton}) {
                button->setVisible(true);
                button->setEnabled(true);
            }
            f.amountBox.setVisible(true);
            f.amountBox.setFocus();
        }
    }

    f.leaveWithStarNote.setVisible(false);
    f.noSuchCardNote.setVisible(false);
    // amountBox is shown exactly when a member was found: the window then waits for one of the finishing buttons.
    if (!f.amountBox.isVisible()) {
        f.chooseOperationNote.setVisible(true);
        for (Control* button : f.operationButtons())
            button->setEnabled(true);
    }
    m_cardEntry.clear();
}

void CardOperations::addAmount()
{
    // The amount is added to the balance stored when the row is written. With one till that is the balance
    // shown; when another till added points meanwhile, both additions are kept.
    const double amount = Val(m_form.amountBox.text());
    changeBalance(QStringLiteral("añadir puntos"), [amount](const QString& stored) -> std::optional<QString> {
        const double sum = Val(stored) + amount;
        return std::isfinite(sum) ? std::optional<QString>(Str(sum)) : std::nullopt;
    });
}

void CardOperations::resetPoints()
{
    changeBalance(QStringLiteral("reset puntos"),
                  [](const QString&) -> std::optional<QString> { return QStringLiteral("0"); });
}

void CardOperations::changeBalance(const QString& operation, const MemberStore::BalanceChange& change)
{
    Form1& f = m_form;
    const StoreResult<MemberStore::PointsChange> result =
        m_store.changePoints(f.cardNumberBox.text(), change, operation);
    if (!result) {
        // Nothing stored: the window keeps waiting with the amount typed, to add it once the cause is gone.
        m_messages.storeFailure(result.error());
        f.amountBox.setFocus();
        return;
    }
    switch (result->outcome) {
    case MemberStore::PointsChange::Outcome::NoRow:
        return cardVanished();
    case MemberStore::PointsChange::Outcome::Declined:
        // Nothing stored; the window keeps waiting for an amount.
        m_messages.notice(QStringLiteral("La suma de puntos es demasiado grande; no se ha guardado."));
        f.amountBox.setFocus();
        return;
    case MemberStore::PointsChange::Outcome::Written:
        f.pointsBox.setText(result->stored);
        finishPoints(f);
        return;
    }
}

void CardOperations::leavePoints()
{
    finishPoints(m_form);
}
