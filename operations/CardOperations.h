#pragma once

#include "store/MemberStore.h"
#include "window/Form1.h"

#include <optional>
#include <vector>

class CardPrompt;
class MessageSink;

// What the operation buttons do. The handlers keep nothing between them but the row on screen: what one hands to
// the next lives in the controls of Form1 (the card number in cardNumberBox, which buttons are shown).
// A failure of the member file is shown to the operator, ends the running operation without writing anything
// of it, and returns the window to its idle state; the application keeps running. A message shows over the window
// as the operation leaves it, never over the stored forms that a save makes of the boxes.
class CardOperations
{
public:
    CardOperations(Form1& form, const MemberStore& store, CardPrompt& prompt, MessageSink& messages);

    // Makes the buttons of Form1 run the handlers below.
    void connectHandlers();

    // "Consulta": shows the member of each card number entered until "*" is entered.
    void lookUpMembers();

    // "Alta": asks for a card number that no member holds, then opens the member boxes for typing.
    void startNewMember();
    // "salvar": checks the dates and appends the new member.
    void saveNewMember();
    // "salir sin salvar": leaves without writing the new member.
    void leaveNewMember();

    // "Modificar": asks for the card number of a member, then opens the member's boxes for changes.
    void startEditing();
    // "Salvar registro": checks the dates and rewrites the member's row.
    void saveEditedMember();
    // "Salir sin salvar": leaves the member unchanged.
    void leaveEditing();

    // "Añadir Puntos": asks for the card number of a member, then waits for an amount in amountBox.
    void startAddingPoints();
    // "añadir puntos": adds the amount to the shown balance and stores the sum.
    void addAmount();
    // "reset puntos": stores a balance of "0".
    void resetPoints();
    // "salir sin añadir": leaves the balance unchanged.
    void leavePoints();

private:
    // The state every card entry starts in: the operation buttons disabled, "elegir proceso" replaced by the
    // footnote "para salir entrar *", and the messages of an earlier "Alta" hidden.
    void enterCardEntry();
    // One pass of the card entry of "Consulta", "Modificar" and "Añadir Puntos": the answer into m_cardEntry, the
    // member boxes emptied and light yellow, the entry normalised, and every row holding it shown in table order (the
    // last one stays on screen).
    StoreResult<void> showMembersPass();
    // Whether a lookup left a member on screen. A row whose card number holds the empty mark shows an empty
    // cardNumberBox and counts as not found.
    bool memberShown() const;
    // After a pass of "Modificar" or "Añadir Puntos": ends the card entry when a member is on screen; otherwise
    // noSuchCardNote says that no member holds the number, and the prompt comes again.
    void endEntryIfMemberShown();
    // Asks for a card number and puts the answer into m_cardEntry.
    void askForCard();
    void normaliseCardEntry();
    // Whether the card entry is over: "*" was entered, or a member was found.
    bool cardEntryIsLeave() const;
    // Shows the failure and brings the window back to idle.
    void fail(const StoreError& error);
    // Writes the balance that `change` makes of the stored one, recorded in the points history as `operation`, and
    // finishes "Añadir Puntos".
    void changeBalance(const QString& operation, const MemberStore::BalanceChange& change);
    // The member on screen has no row any more (another program removed it): nothing is written, the operator
    // is told, and the window goes back to idle.
    void cardVanished();

    // The texts of the member boxes, in memberBoxes() order. A save rewrites the boxes into the stored forms; when
    // the file refuses the save, the boxes get back what the operator typed, to save again once the cause is gone.
    using BoxTexts = std::vector<QString>;
    BoxTexts boxTexts() const;
    void keepTyping(const BoxTexts& typed);
    // "salvar" found the number taken by another till meanwhile: asks for another number, keeping what was typed,
    // and saves with it. "*" keeps the member open with the number refused.
    void chooseAnotherCard();

    Form1& m_form;
    const MemberStore& m_store;
    // The card number being entered, as prompted and then normalised; "*" ends the card entry. Empty outside one.
    QString m_cardEntry;
    // The row on screen (the last one holding the card number), as the last lookup read it: the row that
    // "Salvar registro" rewrites.
    std::optional<FoundRow> m_rowShown;
    CardPrompt& m_prompt;
    MessageSink& m_messages;
};
