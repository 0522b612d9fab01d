#pragma once

#include <QString>

class Clock;

// The whole application on the member file at `path`: start-up, then the window until it is closed.
// A member file that cannot be read at start-up is reported in a message box, and the window is never shown.
// Returns the process exit code. Needs a QApplication.
int runSocios(const QString& path, const Clock& clock);
