#include "store/sqlite/SqliteSchema.h"

#include "store/MemberStore.h"
#include "store/PendingFile.h"
#include "store/sqlite/SqliteConnection.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace sqlite {

namespace {

const QString kCreateTable = QStringLiteral("CREATE TABLE %1 (%2)")
                                 .arg(kMemberTable, columnDefinitions(memberColumns(), QStringLiteral("TEXT")));

// Tables that socios writes: a trigger on one of them would act on every save.
const QStringList kWrittenTables = {kMemberTable, kHistoryTable, kErasureTable};

// What an examination found wrong, worded like the engine's own messages.
StoreError unsafe(const QString& path, const QString& detail)
{
    return failure(StoreError::Kind::Open, path, StoreError::Cause::UnsafeSchema, detail);
}

// A statement of an examination that the engine refused, as the store reports it.
StoreError examinationError(SqliteConnection& connection, const QString& path, const QSqlError& error)
{
    return failure(
        StoreError::Kind::Open, path,
        causeOf(StoreError::Kind::Open, sqlite3_extended_errcode(connection.handle()), error.databaseText(), path),
        engineText(error));
}

// For a file that must hold exactly what socios writes (a copy to restore): `table`, when it is there, has exactly
// `names` as its columns, each of text compared byte for byte, and nothing that could refuse a row that socios
// writes: no NOT NULL, primary key, UNIQUE, CHECK or foreign key.
StoreResult<void> examineExactShape(SqliteConnection& connection, const QString& path, const QString& table,
                                    const QStringList& names)
{
    const auto engineError = [&](const QSqlError& error) { return examinationError(connection, path, error); };
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const auto unsafe = [&](const QString& detail) {
        return failure(StoreError::Kind::Open, path, StoreError::Cause::UnsafeSchema, detail);
    };
    if (!query.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = '%1' COLLATE NOCASE")
                        .arg(table)))
        return engineError(query.lastError());
    if (!query.next())
        return {};
    // The statement that made the table, without its quoted names and texts: what is left of a CHECK is a keyword.
    QString made = query.value(0).toString();
    query.finish();
    made.remove(QRegularExpression(QStringLiteral("'[^']*'|\"[^\"]*\"|`[^`]*`|\\[[^\\]]*\\]")));
    if (made.contains(QRegularExpression(QStringLiteral("\\bCHECK\\b"), QRegularExpression::CaseInsensitiveOption)))
        return unsafe(QStringLiteral("table %1 has a CHECK constraint").arg(table));

    QStringList present;
    if (!query.exec(QStringLiteral("PRAGMA table_xinfo(%1)").arg(table)))
        return engineError(query.lastError());
    while (query.next()) {
        const QString name = query.value(1).toString().toLower();
        present << name;
        if (!names.contains(name))
            return unsafe(QStringLiteral("table %1 has a column %2 that socios does not write").arg(table, name));
        if (SqliteFile::affinityOf(query.value(2).toString()) != SqliteFile::Affinity::Text)
            return unsafe(QStringLiteral("column %1 of %2 is not text").arg(name, table));
        if (query.value(3).toInt() != 0)
            return unsafe(QStringLiteral("column %1 of %2 refuses a missing value (NOT NULL)").arg(name, table));
        if (query.value(5).toInt() != 0)
            return unsafe(QStringLiteral("column %1 of %2 is a primary key").arg(name, table));
    }
    query.finish();
    for (const QString& name : names)
        if (!present.contains(name))
            return unsafe(QStringLiteral("table %1 has no column named %2").arg(table, name));
    for (const QString& name : names) {
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(connection.handle(), "main", qPrintable(table), qPrintable(name), nullptr,
                                          &collation, nullptr, nullptr, nullptr) == SQLITE_OK &&
            collation && qstricmp(collation, "BINARY") != 0)
            return unsafe(
                QStringLiteral("column %1 of %2 compares as %3, not byte for byte").arg(name, table, collation));
    }

    if (!query.exec(QStringLiteral("PRAGMA index_list(%1)").arg(table)))
        return engineError(query.lastError());
    while (query.next())
        if (query.value(2).toInt() != 0)
            return unsafe(
                QStringLiteral("index %1 refuses repeated values in %2").arg(query.value(1).toString(), table));
    query.finish();
    if (!query.exec(QStringLiteral("PRAGMA foreign_key_list(%1)").arg(table)))
        return engineError(query.lastError());
    if (query.next())
        return unsafe(QStringLiteral("table %1 refers to table %2").arg(table, query.value(2).toString()));
    query.finish();
    return {};
}

// Reads the schema, never the rows: "ficha" must be a plain table, with the thirteen columns as text compared byte
// for byte, no trigger on a table that socios writes, and a row id that no column hides. Returns the name under
// which the row id can be read.
StoreResult<QString> examine(SqliteConnection& connection, const QString& path, MemberStore::Shape shape)
{
    const auto engineError = [&](const QSqlError& error) { return examinationError(connection, path, error); };
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT type, sql FROM sqlite_master WHERE name = 'ficha' COLLATE NOCASE")))
        return engineError(query.lastError());
    if (!query.next()) {
        if (query.lastError().isValid())
            return engineError(query.lastError());
        return failure(StoreError::Kind::Open, path, StoreError::Cause::NotMemberFile,
                       QStringLiteral("no such table: ficha"));
    }
    const QString type = query.value(0).toString();
    const QString sql = query.value(1).toString().simplified();
    query.finish();
    if (type != QLatin1String("table"))
        return unsafe(path, QStringLiteral("ficha is a %1, not a table").arg(type));
    if (sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
        return unsafe(path, QStringLiteral("ficha is a virtual table"));

    if (!query.exec(
            QStringLiteral("SELECT name, tbl_name FROM sqlite_master WHERE type = 'trigger' AND lower(tbl_name) "
                           "IN ('%1')")
                .arg(kWrittenTables.join(QLatin1String("', '")))))
        return engineError(query.lastError());
    if (query.next())
        return unsafe(
            path, QStringLiteral("trigger %1 on table %2").arg(query.value(0).toString(), query.value(1).toString()));
    query.finish();

    struct Column
    {
        QString type;
        int hidden = 0;
    };
    QHash<QString, Column> columns;
    if (!query.exec(QStringLiteral("PRAGMA table_xinfo(ficha)")))
        return engineError(query.lastError());
    while (query.next())
        columns.insert(query.value(1).toString().toLower(), {query.value(2).toString(), query.value(6).toInt()});
    query.finish();
    for (Field field : allFields()) {
        if (!columns.contains(QLatin1String(fieldName(field))))
            return failure(StoreError::Kind::Open, path, StoreError::Cause::NotMemberFile,
                           QStringLiteral("table ficha has no column named %1").arg(QLatin1String(fieldName(field))));
    }
    for (Field field : allFields()) {
        const QString name = QLatin1String(fieldName(field));
        const Column& column = columns[name];
        if (column.hidden != 0)
            return unsafe(path, QStringLiteral("column %1 is generated from other columns").arg(name));
        if (SqliteFile::affinityOf(column.type) != SqliteFile::Affinity::Text)
            return unsafe(path, QStringLiteral("column %1 is declared %2: what is typed would be stored as a number")
                                    .arg(name, column.type.isEmpty() ? QStringLiteral("without a type") : column.type));
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(connection.handle(), "main", "ficha", fieldName(field), nullptr, &collation,
                                          nullptr, nullptr, nullptr) == SQLITE_OK &&
            collation && qstricmp(collation, "BINARY") != 0)
            return unsafe(path, QStringLiteral("column %1 compares as %2, not byte for byte").arg(name, collation));
    }

    // A points history made by another program must hold what socios writes into it.
    if (!query.exec(QStringLiteral("SELECT type FROM sqlite_master WHERE name = 'movimientos' COLLATE NOCASE")))
        return engineError(query.lastError());
    if (query.next()) {
        if (query.value(0).toString() != QLatin1String("table"))
            return unsafe(path, QStringLiteral("movimientos is a %1, not a table").arg(query.value(0).toString()));
        query.finish();
        QStringList present;
        if (!query.exec(QStringLiteral("PRAGMA table_xinfo(movimientos)")))
            return engineError(query.lastError());
        while (query.next())
            present << query.value(1).toString().toLower();
        for (const QString& column : kHistoryColumns)
            if (!present.contains(column))
                return unsafe(path, QStringLiteral("table movimientos has no column named %1").arg(column));
    }
    query.finish();

    QString rowId;
    for (const char* alias : {"rowid", "_rowid_", "oid"}) {
        if (!columns.contains(QLatin1String(alias))) {
            rowId = QLatin1String(alias);
            break;
        }
    }
    if (rowId.isEmpty())
        return unsafe(path, QStringLiteral("columns named rowid, _rowid_ and oid hide the row id"));
    if (!query.exec(QStringLiteral("SELECT %1 FROM ficha LIMIT 0").arg(rowId)))
        return unsafe(path,
                      QStringLiteral("ficha has no row id (WITHOUT ROWID): %1").arg(engineText(query.lastError())));
    query.finish();
    if (shape == MemberStore::Shape::Exact) {
        QStringList fields;
        for (Field field : allFields())
            fields << QLatin1String(fieldName(field));
        for (const auto& [table, names] :
             {std::pair{QStringLiteral("ficha"), fields}, std::pair{QStringLiteral("movimientos"), kHistoryColumns},
              std::pair{kErasureTable, kErasureColumns}})
            if (StoreResult<void> exact = examineExactShape(connection, path, table, names); !exact)
                return exact.error();
    }
    return rowId;
}

} // namespace

StoreResult<QString> examineConnection(SqliteConnection& connection, const QString& path, MemberStore::Shape shape)
{
    if (!connection.isOpen())
        return failure(StoreError::Kind::Open, path,
                       causeOf(StoreError::Kind::Open, connection.openError().nativeErrorCode().toInt(),
                               connection.openError().databaseText(), path),
                       engineText(connection.openError()));
    connection.setLimit(MemberStore::kOperationLimit);
    return examine(connection, path, shape);
}

// Makes the empty file at `path` a new member database: "ficha" without rows, and its lookup indexes.
StoreResult<void> initialiseDatabase(const QString& path)
{
    SqliteConnection connection(path, SqliteConnection::Access::ReadWrite);
    if (!connection.isOpen())
        return failure(StoreError::Kind::Create, path,
                       causeOf(StoreError::Kind::Write, connection.openError().nativeErrorCode().toInt(),
                               connection.openError().databaseText(), path),
                       engineText(connection.openError()));
    connection.setLimit(MemberStore::kOperationLimit);
    for (const QString& statement : QStringList{QStringLiteral("PRAGMA synchronous=FULL"), kCreateTable} + kIndexes)
        if (!connection.exec(statement))
            return failure(StoreError::Kind::Create, path,
                           causeOf(StoreError::Kind::Write, sqlite3_extended_errcode(connection.handle()),
                                   connection.lastError().databaseText(), path),
                           engineText(connection.lastError()));
    return {};
}

// Builds a new member file under a temporary name and moves it into place only when complete, so that an
// interrupted first start never leaves a half-made file at the path. False when another till made one first.
StoreResult<bool> createDatabase(const QString& path)
{
    const QFileInfo target(path);
    if (!QDir().mkpath(target.absolutePath()))
        return failure(StoreError::Kind::Create, path, StoreError::Cause::ReadOnly,
                       QStringLiteral("cannot create folder ") + target.absolutePath());
    Result<PendingFile, StoreError> pending = PendingFile::create(path);
    if (!pending) {
        StoreError error = pending.error();
        error.kind = StoreError::Kind::Create;
        return error;
    }
    if (StoreResult<void> done = initialiseDatabase(pending->path()); !done) {
        done.error().path = path;
        return done.error();
    }
    // Never over a file: if another till created one meanwhile, that one stays.
    StoreResult<bool> placed = pending.value().putInPlace();
    if (!placed) {
        StoreError error = placed.error();
        error.kind = StoreError::Kind::Create;
        return error;
    }
    return *placed;
}

} // namespace sqlite
