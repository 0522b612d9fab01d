#pragma once

#include "store/MemberStore.h"
#include "window/Form1.h"

class CardPrompt;
class MessageSink;

// What the operation buttons do. The handlers keep nothing between them: what one hands to the next lives in
// the controls of Form1 (the card number in Text4, the entry in Text52, which buttons are shown).
// A failure of the member file is shown to the operator, ends the running operation without writing anything
// of it, and returns the window to its idle state; the application keeps running.
class CardOperations
{
public:
    CardOperations(Form1& form, const MemberStore& store, CardPrompt& prompt, MessageSink& messages);

    // Makes the buttons of Form1 run the handlers below.
    void connectHandlers();

    // "Consulta": shows the member of each card number entered until "*" is entered.
    void Command1_Click();

private:
    // Asks for a card number and puts the answer into Text52.
    void promptIntoText52();
    // Normalises the entry held in Text52.
    void normaliseText52();
    bool text52IsLeave() const;
    // Shows the failure and brings the window back to idle.
    void fail(const StoreError& error);

    Form1& m_form;
    const MemberStore& m_store;
    CardPrompt& m_prompt;
    MessageSink& m_messages;
};
