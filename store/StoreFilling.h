#pragma once

#include "store/MemberStore.h"
#include "store/PendingFile.h"
#include "store/StoreAddress.h"

#include <optional>

// Filling a store that holds no member yet, all or nothing: what every import of members does, whatever it reads.
struct Filling
{
    enum class Outcome {
        Filled,        // the store holds `rows` members now, all put there by this fill
        HoldsMembers,  // the store held members already (`rows` of them, when counted): nothing was written
        MadeMeanwhile, // another program made a member file at the place meanwhile: it stays as it is
        Miscounted,    // the new file would hold `rows` members, not the count expected: nothing was put in place
    };
    Outcome outcome = Outcome::Filled;
    qint64 rows = 0;
    qint64 expected = 0; // Miscounted: the count expected
};

// Fills the store at `target` (a member file or a server) with the records that `produce` adds, in order:
// - a store that is there already is filled only while it holds no member, in one transaction; what it holds then
//   is what that transaction added, whatever `expected` says;
// - where there is no member file, a new one is built beside its place (folder included), made as a first start
//   makes it, counted (`expected` rows when given), and moved there only once complete, never over a file.
// A failure at any step leaves every file as it was.
StoreResult<Filling> fillNewStore(const StoreAddress& target, const MemberStore::RecordProducer& produce,
                                  std::optional<qint64> expected = std::nullopt);

// Builds in `pending` a member file holding what `produce` adds, and counts it against `expected` rows when given
// (the rows produced otherwise): Filled or Miscounted. For a caller that puts the file in place itself.
StoreResult<Filling> buildMemberFile(const PendingFile& pending, const MemberStore::RecordProducer& produce,
                                     std::optional<qint64> expected = std::nullopt);
