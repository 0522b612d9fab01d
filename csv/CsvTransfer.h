#pragma once

#include "intake/CardNotes.h"
#include "intake/ImportError.h"
#include "store/MemberStore.h"

#include <QString>

// Every member to a CSV file, and a CSV file's members into a member file: what the shop hands to a spreadsheet
// or a mailing, and how a shop's members move to another store. Export then import gives back the same rows.

struct CsvExported
{
    qint64 members = 0;
    qint64 noValue = 0; // fields without a value (NULL, written by another program), written as the empty mark
};
struct CsvExportError
{
    std::optional<StoreError> store; // reading the members failed
    QString file;                    // otherwise: the CSV file could not be written whole, `detail` says why
    QString detail;
};

// Writes every member, in table order, to `file`: a header with the thirteen field names, then one record a
// member, ";" between fields, UTF-8 with a byte-order mark, formulas defused. The file appears whole or not at all:
// when it cannot be written whole (a full disk), what stood at `file` before is left as it was.
Result<CsvExported, CsvExportError> exportMembers(const MemberStore& store, const QString& file);

struct CsvImported
{
    qint64 members = 0;
    QChar separator;
    CardNotes cards; // card numbers that the till cannot reach as imported
};

// Reads the members of `file` (as exportMembers() writes it, or as Excel or LibreOffice save it: ";" or ",",
// UTF-8 with or without a byte-order mark, or Windows-1252), matching the columns by their header, and puts them
// into the store at `target` (a member file, or a server) as every import does: all or nothing, and never into a
// store that holds members.
ImportResult<CsvImported> importMembers(const QString& file, const StoreAddress& target);
