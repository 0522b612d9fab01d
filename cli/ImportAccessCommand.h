#pragma once

#include "import/ImportError.h"

#include <QString>

class QTextStream;

// socios --import-access FILE: copies table "ficha" of the Access file into the member file at `memberPath`,
// writing a one-line summary to `out`, or why nothing was changed to `err`. Returns the exit code.
int runImportAccess(const QString& file, const QString& memberPath, QTextStream& out, QTextStream& err);

// The exit code for an import that failed (see ExitCode).
int exitCodeFor(const ImportError& error);
