#pragma once

#include "intake/ImportError.h"
#include "store/StoreError.h"

#include <QString>

// The command line's wording of the lower layers' errors, in the reader's language (CommandLineText::tr()); in
// English, the same words as their toString(). What a database engine, the system or the Access reader said
// (`detail`) stays in its own words after the sentence, as the window shows it.
QString errorText(const StoreError& error);
QString errorText(const ImportError& error);
