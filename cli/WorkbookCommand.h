#pragma once

#include "store/StoreAddress.h"

#include <QString>

class QTextStream;

// socios --export-xlsx FILE: the owner's workbook (members, points history, summary with charts) of the member
// store, written to FILE. Writes what it did to `out` and what went wrong to `err`; returns the exit code.
int runExportWorkbook(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err);
