#pragma once

#include "store/StoreAddress.h"

#include <QString>

class QTextStream;

// The command-line modes that take the shop's data out of the member store (the member file, or a server) or put
// it back. Each writes what it did to `out` and what went wrong to `err`, and returns the exit code (see ExitCode).

// socios --export-csv FILE: every member, in table order, to a CSV file for a spreadsheet.
int runExportCsv(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err);

// socios --import-csv FILE: the members of a CSV file into the member file, which must hold none.
int runImportCsv(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err);

// socios --backup DIR: a checked copy of the member file, named by the date and time, in the folder DIR.
int runBackup(const QString& folder, const StoreAddress& store, QTextStream& out, QTextStream& err);

// socios --restore COPY: a checked copy in place of the member file, the current one kept aside.
int runRestore(const QString& copy, const StoreAddress& store, QTextStream& out, QTextStream& err);

// socios --history CARD: the points history of a card number, oldest first, one change a line.
int runHistory(const QString& card, const StoreAddress& store, QTextStream& out, QTextStream& err);

// socios --member-data CARD: everything the store holds about a card number, as UTF-8 JSON.
int runMemberData(const QString& card, const StoreAddress& store, QTextStream& out, QTextStream& err);

// socios --erase CARD: a card number erased from the store and from the member file's copies in "copias".
int runErase(const QString& card, const StoreAddress& store, QTextStream& out, QTextStream& err);
