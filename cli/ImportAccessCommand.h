#pragma once

#include "store/StoreAddress.h"

#include <QString>

class QTextStream;

// socios --import-access FILE: copies table "ficha" of the Access file into the member store at `store` (a member
// file, or a server), writing a one-line summary to `out`, or why nothing was changed to `err`. Returns the exit
// code.
int runImportAccess(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err);
