#pragma once

// The examination of a member file's schema, and the making of a new member file.

#include "store/StoreTypes.h"

class SqliteConnection;

namespace sqlite {

// Examines the file that `connection` has open (see examine() in SqliteSchema.cpp); returns the name under which
// the row id can be read.
StoreResult<QString> examineConnection(SqliteConnection& connection, const QString& path, StoreShape shape);
// Makes the empty file at `path` a new member database: "ficha" without rows, and its lookup indexes.
StoreResult<void> initialiseDatabase(const QString& path);
// Builds a new member file under a temporary name and moves it into place only when complete. False when another
// till made one first.
StoreResult<bool> createDatabase(const QString& path);

} // namespace sqlite
