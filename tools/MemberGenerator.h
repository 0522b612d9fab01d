#pragma once

#include "store/StoreAddress.h"
#include "store/StoreError.h"

#include <QString>

struct GeneratorOptions
{
    int members = 1000;
    quint32 seed = 1;
    // Also what only other programs or damaged data leave behind: card numbers held by several rows and birth
    // texts that the application never writes.
    bool oddities = false;
};

// Writes a new member file of realistic members at `path` (which must not exist): unique card numbers of 4 to 7
// digits, Spanish names and towns, birth dates spread over the year, empty marks, balances in every stored form.
StoreResult<void> generateMemberFile(const QString& path, const GeneratorOptions& options);

// The same members in a store that holds none yet (a member file, or a server's database), made as a first start
// makes it when it has no "ficha".
StoreResult<void> generateMembers(const StoreAddress& store, const GeneratorOptions& options);

// The card number of member `index` (0-based) of a generated file. Indexes from `members` on give numbers that
// the file does not hold.
QString generatedCard(int index);
