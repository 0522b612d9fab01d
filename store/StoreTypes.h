#pragma once

// The types that the member store and its engines share: the rows a lookup meets, and what opening a store found
// and was asked for. MemberStore names them as its own (MemberStore::Startup...).

#include "store/MemberRecord.h"
#include "store/StoreError.h"

#include <QtGlobal>

#include <optional>

// Which row of "ficha" a lookup met: the engine's own identity of the row (SQLite's row id, the server's column
// "id"). Rows that hold one card number (an import keeps them all) are told apart by it.
using RowKey = qint64;

// A row as a lookup read it: which row it is, and its thirteen fields.
struct FoundRow
{
    RowKey key = 0;
    MemberRecord record;
};

// What start-up found that the operator is told once.
struct StoreStartup
{
    bool created = false; // no file was there: a new, empty member file was made
    // Lookups work, but every save will be refused: ReadOnly (the file or its folder), or DiskFull.
    std::optional<StoreError::Cause> writesRefused;
    // The last saves are complete, but sit in the log beside a file that cannot take them (ReadOnly): lookups
    // see them, and they go into the file once the file and its folder can be written again.
    bool logBesideFile = false;
    bool indexesMissing = false; // left to buildMissingIndexes()
};
enum class StoreIndexes { Build, Defer };
// How closely a file's tables must match those that socios writes. Usable: what a till can work with, other
// programs' columns included. Exact: the columns that socios writes and no other, with nothing that could refuse
// a row it writes (a copy to restore). A server is always examined as Usable.
enum class StoreShape { Usable, Exact };
