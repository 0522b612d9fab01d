#pragma once

// The member store's tables as both engines make them, the files an SQLite database keeps beside it, and how long
// each kind of work may wait. One place for each fact: the engines, the copies and the tools read them from here.

#include "store/MemberRecord.h"

#include <QString>
#include <QStringList>

#include <chrono>

// The members: one row per member, the thirteen fields as text, in the order of allFields().
inline const QString kMemberTable = QStringLiteral("ficha");
inline QStringList memberColumns()
{
    QStringList names;
    for (Field field : allFields())
        names << QLatin1String(fieldName(field));
    return names;
}

// The points history "movimientos": its columns, in order, and the index of its lookups by card number.
inline const QString kHistoryTable = QStringLiteral("movimientos");
inline const QStringList kHistoryColumns = {
    QStringLiteral("fecha"),   QStringLiteral("ntarjeta"),  QStringLiteral("antes"), QStringLiteral("cantidad"),
    QStringLiteral("despues"), QStringLiteral("operacion"), QStringLiteral("equipo")};
inline const QString kHistoryIndexName = QStringLiteral("movimientos_ntarjeta");

// `names` as the column list of a table definition, each of type `type`: "ntarjeta TEXT, nsocio TEXT...".
inline QString columnDefinitions(const QStringList& names, const QString& type)
{
    return names.join(QLatin1Char(' ') + type + QLatin1String(", ")) + QLatin1Char(' ') + type;
}

// The register of erasures: a card number erased and the day ("2026-12-07"), nothing else about the person. Its own
// table, made by the first erasure, in SQL that both engines run.
inline const QString kErasureTable = QStringLiteral("supresiones");
inline const QStringList kErasureColumns = {QStringLiteral("ntarjeta"), QStringLiteral("fecha")};
inline const QString kCreateErasures =
    QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)")
        .arg(kErasureTable, columnDefinitions(kErasureColumns, QStringLiteral("TEXT")));

// The lookup indexes of the members, in SQL that both engines run. The birthday of a row as "mmdd" is the key of the
// start-up list's lookup; its WHERE clause repeats the expression word for word so that the engine uses the index.
inline const QString kBirthdayKey = QStringLiteral("(substr(fnacimiento, 4, 2) || substr(fnacimiento, 1, 2))");
inline const QStringList kIndexNames = {QStringLiteral("ficha_ntarjeta"), QStringLiteral("ficha_cumple")};
inline const QStringList kIndexes = {
    QStringLiteral("CREATE INDEX IF NOT EXISTS ficha_ntarjeta ON ficha (ntarjeta)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS ficha_cumple ON ficha (") + kBirthdayKey + QLatin1Char(')'),
};

// What SQLite makes beside a database file: a rollback journal, or a write-ahead log and its shared memory. The
// journal and the log may hold changes; the shared memory never does.
inline const QString kJournalSuffix = QStringLiteral("-journal");
inline const QString kLogSuffix = QStringLiteral("-wal");
inline const QString kSharedMemorySuffix = QStringLiteral("-shm");
inline const QStringList kChangeSuffixes = {kJournalSuffix, kLogSuffix};
inline const QStringList kSideFileSuffixes = {kJournalSuffix, kLogSuffix, kSharedMemorySuffix};

// How long a write waits for another till's lock (or a restore's) before it gives up, on either engine.
inline constexpr std::chrono::milliseconds kLockWait{3000};
