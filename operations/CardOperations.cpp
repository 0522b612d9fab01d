#include "operations/CardOperations.h"

#include "operations/CardEntry.h"
#include "operations/CardPrompt.h"
#include "operations/MessageSink.h"

CardOperations::CardOperations(Form1& form, const MemberStore& store, CardPrompt& prompt, MessageSink& messages)
    : m_form(form), m_store(store), m_prompt(prompt), m_messages(messages)
{}

void CardOperations::connectHandlers()
{
    m_form.Command1.setClickHandler([this] { Command1_Click(); });
}

void CardOperations::promptIntoText52()
{
    m_form.Text52.setText(
        m_prompt.inputBox(CardEntry::kPrompt, CardEntry::kTitle, CardEntry::kLeftTwips, CardEntry::kTopTwips));
}

void CardOperations::normaliseText52()
{
    m_form.Text52.setText(CardEntry::normalise(m_form.Text52.text()));
}

bool CardOperations::text52IsLeave() const
{
    return m_form.Text52.text() == CardEntry::kLeave;
}

void CardOperations::fail(const StoreError& error)
{
    m_messages.storeFailure(error);
    m_form.restoreIdleState();
}
