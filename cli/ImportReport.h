#pragma once

#include "intake/CardNotes.h"
#include "intake/ImportError.h"

class QTextStream;

// What every import (an Access file, a CSV file) returns and prints, whatever its source.

// The exit code for an import that failed (see ExitCode).
int exitCodeFor(const ImportError& error);

// Names, after an import's summary line, every card number that the till cannot reach as imported, one a line.
void writeCardNotes(QTextStream& out, const CardNotes& cards);
