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
    f.queryButton.setClickHandler([this] { lookUpMembers(); });
    f.newMemberButton.setClickHandler([this] { startNewMember(); });
    f.saveNewMemberButton.setClickHandler([this] { saveNewMember(); });
    f.leaveNewMemberButton.setClickHandler([this] { leaveNewMember(); });
    f.editMemberButton.setClickHandler([this] { startEditing(); });
    f.saveEditedMemberButton.setClickHandler([this] { saveEditedMember(); });
    f.leaveEditButton.setClickHandler([this] { leaveEditing(); });
    f.addPointsButton.setClickHandler([this] { startAddingPoints(); });
    f.addAmountButton.setClickHandler([this] { addAmount(); });
    f.resetPointsButton.setClickHandler([this] { resetPoints(); });
    f.leavePointsButton.setClickHandler([this] { leavePoints(); });
}

void CardOperations::askForCard()
{
    const QString answer =
        m_prompt.inputBox(CardEntry::kPrompt, CardEntry::kTitle, CardEntry::kLeftTwips, CardEntry::kTopTwips);
    m_cardEntry = m_prompt.aborted() ? CardEntry::kLeave : answer;
}

void CardOperations::normaliseCardEntry()
{
    m_cardEntry = CardEntry::normalise(m_cardEntry);
}

bool CardOperations::cardEntryIsLeave() const
{
    return m_cardEntry == CardEntry::kLeave;
}

void CardOperations::enterCardEntry()
{
    Form1& f = m_form;
    for (Control* button : f.operationButtons())
        button->setEnabled(false);
    f.enterPointsNote.setVisible(false);
    f.chooseOperationNote.setVisible(false);
    f.leaveWithStarNote.setVisible(true);
    f.numberTakenNote.setVisible(false);
    f.fillInDataNote.setVisible(false);
}

StoreResult<void> CardOperations::showMembersPass()
{
    Form1& f = m_form;
    askForCard();
    f.clearMemberBoxes();
    f.resetMemberBoxColours();
    normaliseCardEntry();
    const StoreResult<std::vector<FoundRow>> rows = m_store.rowsWithCard(m_cardEntry);
    if (!rows)
        return rows.error();
    std::vector<MemberRecord> records;
    records.reserve(rows->size());
    for (const FoundRow& row : *rows)
        records.push_back(row.record);
    f.showMembers(records);
    // "Modificar" rewrites the row left on screen, and only while it still holds what was read now.
    m_rowShown = rows->empty() ? std::nullopt : std::optional<FoundRow>(rows->back());
    return {};
}

bool CardOperations::memberShown() const
{
    return !m_form.cardNumberBox.text().isEmpty();
}

void CardOperations::endEntryIfMemberShown()
{
    Form1& f = m_form;
    const bool found = memberShown();
    if (found)
        m_cardEntry = CardEntry::kLeave;
    f.noSuchCardNote.setVisible(!found);
    f.enterCardNote.setVisible(false);
}

void CardOperations::fail(const StoreError& error)
{
    m_form.restoreIdleState();
    m_cardEntry.clear();
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
