#pragma once

#include "intake/ImportError.h"

#include <QString>

#include <optional>

// Why start-up stops at the earlier program's Access file.
struct AccessUpgradeStop
{
    std::optional<ImportError> failure; // the import failed and nothing was changed; none: the operator declined
};

// Start-up on a member file that is still the earlier program's Access file (recognised by its header, whatever
// its name): asks whether to import it, and does so with a progress dialog, keeping the original under another
// name in the same folder. Returns nothing when start-up goes on (no Access file there, or its members imported:
// a message then says how many, once the window shows), else why it stops: declined, or the import failed and
// nothing was changed, which a message has said. Needs a QApplication.
std::optional<AccessUpgradeStop> offerAccessUpgrade(const QString& path);
