#pragma once

#include "store/StoreError.h"

#include <QString>

// The operator's wording of a failure of the member file: what went wrong, the file (or the server), and what to
// do about it.
QString storeErrorMessage(const StoreError& error);

// The database engine's own message, in its own language, for whoever looks further (empty when there is none).
// It is kept apart from the message, which the operator must be able to read.
QString storeErrorDetails(const StoreError& error);

// The title of the message box that shows it.
QString storeErrorTitle();
QString storeErrorTitle(const StoreError& error);
