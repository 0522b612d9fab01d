#include "intake/CardNotes.h"

#include "conversions/Characters.h"
#include "operations/CardEntry.h"

qsizetype CardNotes::promptKeeps()
{
    return CardEntry::kKeptChars;
}

QString CardNotes::tillReads(const QString& card)
{
    return CardEntry::normalise(card);
}

void CardCensus::note(const MemberRecord& record)
{
    ++m_rows;
    const qint64 rows = ++m_rowsOf[record.ntarjeta];
    if (rows == 1 && charCount(record.ntarjeta) > CardEntry::kKeptChars)
        m_tooLong << record.ntarjeta;
    if (rows == 2)
        m_shared << record.ntarjeta;
}

MemberStore::RecordProducer CardCensus::noting(const MemberStore::RecordProducer& produce)
{
    return [this, produce](const MemberStore::AddRecord& add) {
        *this = CardCensus();
        return produce([&](const MemberRecord& record) {
            note(record);
            return add(record);
        });
    };
}

CardNotes CardCensus::notes() const
{
    CardNotes notes{m_tooLong, {}};
    notes.shared.reserve(m_shared.size());
    for (const QString& card : m_shared)
        notes.shared.append({card, m_rowsOf.value(card)});
    return notes;
}
