#include "operations/CardOperations.h"

#include "operations/CardEntry.h"
#include "operations/CardPrompt.h"
#include "operations/MessageSink.h"

CardOperations::CardOperations(Form1& form, const MemberStore& store, CardPrompt& prompt, MessageSink& messages)
    : m_form(form), m_store(store), m_prompt(prompt), m_messages(messages)
{}

void CardOperations::connectHandlers()
{
    Form1& f = m_form;
    f.Command1.setClickHandler([this] { Command1_Click(); });
    f.Command5.setClickHandler([this] { Command5_Click(); });
    f.command2.setClickHandler([this] { command2_Click(); });
    f.Command9.setClickHandler([this] { Command9_Click(); });
    f.Command3.setClickHandler([this] { Command3_Click(); });
    f.Command10.setClickHandler([this] { Command10_Click(); });
    f.Command11.setClickHandler([this] { Command11_Click(); });
    f.Command6.setClickHandler([this] { Command6_Click(); });
    f.Command4.setClickHandler([this] { Command4_Click(); });
    f.Command8.setClickHandler([this] { Command8_Click(); });
    f.Command7.setClickHandler([this] { Command7_Click(); });
}

void CardOperations::promptIntoText52()
{
    const QString answer =
        m_prompt.inputBox(CardEntry::kPrompt, CardEntry::kTitle, CardEntry::kLeftTwips, CardEntry::kTopTwips);
    m_form.Text52.setText(m_prompt.aborted() ? CardEntry::kLeave : answer);
}

void CardOperations::normaliseText52()
{
    m_form.Text52.setText(CardEntry::normalise(m_form.Text52.text()));
}

bool CardOperations::text52IsLeave() const
{
    return m_form.Text52.text() == CardEntry::kLeave;
}

void CardOperations::enterCardEntry()
{
    Form1& f = m_form;
    for (Control* button : f.operationButtons())
        button->setEnabled(false);
    f.Label28.setVisible(false);
    f.Label29.setVisible(false);
    f.Label18.setVisible(true);
    f.Label14.setVisible(false);
    f.Label17.setVisible(false);
}

StoreFailure CardOperations::showMembersPass()
{
    Form1& f = m_form;
    promptIntoText52();
    f.ClearMemberBoxes();
    f.ResetMemberBoxColours();
    normaliseText52();
    const StoreResult<std::vector<FoundRow>> rows = m_store.rowsWithCard(f.Text52.text());
    if (!rows)
        return rows.error();
    std::vector<MemberRecord> records;
    records.reserve(rows->size());
    for (const FoundRow& row : *rows)
        records.push_back(row.record);
    f.ShowMemberRecords(records);
    // "Modificar" rewrites the row left on screen, and only while it still holds what was read now.
    m_rowShown = rows->empty() ? std::nullopt : std::optional<FoundRow>(rows->back());
    return std::nullopt;
}

bool CardOperations::memberFound()
{
    Form1& f = m_form;
    const bool found = !f.Text4.text().isEmpty();
    if (found)
        f.Text52.setText(CardEntry::kLeave);
    f.Label35.setVisible(!found);
    f.Label36.setVisible(false);
    return found;
}

void CardOperations::fail(const StoreError& error)
{
    m_form.restoreIdleState();
    m_messages.storeFailure(error);
}

CardOperations::BoxTexts CardOperations::boxTexts() const
{
    BoxTexts texts;
    for (Control* box : m_form.memberBoxes())
        texts.push_back(box->text());
    return texts;
}

void CardOperations::keepTyping(const BoxTexts& typed)
{
    for (std::size_t i = 0; i < typed.size(); ++i)
        m_form.memberBoxes()[i]->setText(typed[i]);
}

void CardOperations::cardVanished()
{
    m_form.restoreIdleState();
    m_messages.notice(QStringLiteral("no existe este número de tarjeta"));
}
