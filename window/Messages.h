#pragma once

#include "store/StoreError.h"

#include <QString>

// The operator's wording of a failure of the member file: what went wrong, the file, and the database engine's
// own message.
QString storeErrorMessage(const StoreError& error);

// The title of the message box that shows it.
QString storeErrorTitle();
