#pragma once

// What the import benchmarks hand to the import in place of a large Access file: generated members, written as
// socios-mdb-reader writes table "ficha", and a stand-in for the reader that writes them. The import takes them
// exactly as it takes the real reader's output; only libmdb's own work in the child process is left out.

#include "store/MemberStore.h"
#include "tools/MemberGenerator.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <vector>

namespace StandInReader {

// `count` generated members (socios-generate's), made once in `folder`.
inline std::vector<MemberRecord> generatedMembers(const QDir& folder, int count)
{
    const QString path = folder.filePath(QStringLiteral("generated-%1.mdb").arg(count));
    GeneratorOptions options;
    options.members = count;
    std::vector<MemberRecord> records;
    StoreResult<void> made = QFile::exists(path) ? StoreResult<void>() : generateMemberFile(path, options);
    if (made)
        made = MemberStore(path).scan(allFields(), [&](const StoredRow& row) -> StoreResult<void> {
            MemberRecord& record = records.emplace_back();
            for (Field f : allFields())
                record[f] = row.text(f).value();
            return {};
        });
    if (!made)
        qFatal("%s", qUtf8Printable(made.error().toString()));
    return records;
}

// The head of table "ficha" as the reader writes it, for `rows` rows of the thirteen text fields.
inline QByteArray head(qint64 rows)
{
    QByteArray out = "socios-mdb-reader 1\ntable\t" + QByteArray::number(rows) + "\t13\n";
    for (Field f : allFields())
        out += QByteArray("column\t10\t") + fieldName(f) + '\n';
    return out;
}

// The whole table, as the reader writes it.
inline QByteArray output(const std::vector<MemberRecord>& members)
{
    QByteArray out = head(qint64(members.size()));
    for (const MemberRecord& member : members) {
        out += "row";
        for (Field f : allFields())
            out += '\t' + member[f].toUtf8().replace('\\', "\\\\").replace('\t', "\\t").replace('\n', "\\n");
        out += '\n';
    }
    return out + "end\t" + QByteArray::number(qint64(members.size())) + '\n';
}

// Writes a program into `folder` that answers as socios-mdb-reader would for a table holding `members` (whatever
// file it is given), and returns its path: what $SOCIOS_MDB_READER is set to.
inline QString write(const QDir& folder, const std::vector<MemberRecord>& members)
{
    const auto save = [&](const QString& name, const QByteArray& bytes) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qUtf8Printable(file.fileName()));
        return file.fileName();
    };
    const QString headOnly = save(QStringLiteral("stand-in-head.txt"), head(qint64(members.size())) + "end\t0\n");
    const QString whole = save(QStringLiteral("stand-in-rows.txt"), output(members));
    const QString program = save(QStringLiteral("stand-in-reader"),
                                 QStringLiteral("#!/bin/sh\nif [ \"$1\" = --header-only ]; then exec /bin/cat '%1'; "
                                                "fi\nexec /bin/cat '%2'\n")
                                     .arg(headOnly, whole)
                                     .toUtf8());
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return program;
}

} // namespace StandInReader
