#pragma once

#include "intake/CardNotes.h"
#include "intake/ImportError.h"
#include "store/MemberStore.h"
#include "store/StoreAddress.h"
#include "store/StoreFilling.h"

#include <optional>

// What putMembers() put into a store.
struct PutMembers
{
    qint64 members = 0;
    CardNotes cards; // card numbers that the till cannot reach as put there
};

// Puts the records that `produce` adds, read from `source`, into the store at `target` (a member file or a server),
// all or nothing, as fillNewStore() fills a store: HoldsMembers when it holds members (an import never merges),
// AccessAtPath when an Access file stands at the member file's place, Damaged when the new file does not hold the
// `expected` rows. Every import goes through here, or (the Access file replaced at its place) through the same
// census of card numbers.
ImportResult<PutMembers> putMembers(const MemberStore::RecordProducer& produce, std::optional<qint64> expected,
                                    const QString& source, const StoreAddress& target);

// Whether a fill put in all it was given; otherwise the import's error: the store failed, or refused. `place` is the
// store's name in the message.
ImportResult<void> filledWhole(const StoreResult<Filling>& filled, const QString& source, const QString& place);

// An import's error for a failure of the store.
ImportError storeImportError(const QString& source, const StoreError& failure);
