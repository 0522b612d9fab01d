#pragma once

#include "store/MemberRecord.h"
#include "store/MemberStore.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The card numbers of an import that the till cannot reach as stored: one longer than the card prompt keeps
// (typing it opens the number of its first characters), and one held by more than one row. Every import keeps such
// rows as they are, since an old file's members are never refused for this, and names the numbers in its summary.
struct CardNotes
{
    struct Shared
    {
        QString card;
        qint64 rows = 0;
    };
    QStringList tooLong;  // each once, in the order of their first row
    QList<Shared> shared; // in the order of their first row

    // How many characters of a card number the till's prompt keeps, and what it reads when `card` is typed there.
    static qsizetype promptKeeps();
    static QString tillReads(const QString& card);
};

// Takes the card number of every row an import writes, in order, and finds what CardNotes lists.
class CardCensus
{
public:
    void note(const MemberRecord& record);
    // `produce`, with the card number of every record it adds taken by this census. A transaction tried again
    // produces its records again: the census then starts anew. The census must outlive what it returns.
    MemberStore::RecordProducer noting(const MemberStore::RecordProducer& produce);
    qint64 rows() const { return m_rows; }
    CardNotes notes() const;

private:
    qint64 m_rows = 0;
    QHash<QString, qint64> m_rowsOf;
    QStringList m_tooLong;
    QStringList m_shared;
};
