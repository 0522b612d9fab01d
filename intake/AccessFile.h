#pragma once

#include <QString>

// Whether the file at `path` begins as an Access file does, whatever its name. Only a regular file is read, so a
// FIFO at the path never blocks. Every import refuses to fill a place that holds one.
bool hasAccessHeader(const QString& path);
