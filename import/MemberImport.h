#pragma once

#include "import/AccessReader.h"
#include "intake/AccessFile.h"
#include "intake/CardNotes.h"
#include "intake/PutMembers.h"
#include "store/MemberRecord.h"
#include "store/MemberStore.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// Bringing the members of an Access member file (table "ficha" of a Jet 3, Jet 4 or ACE file) into a member file.
// All or nothing: a new member file is built under a temporary name beside its place and moved there only once it
// is complete and holds as many rows as the Access table counts; a failure at any step leaves every file as it was.

// The name under which the Access file at `path` is kept when a member file takes its place, in the same folder:
// "dorvel (Access).mdb", or "dorvel (Access 2).mdb" and so on when that name is taken.
QString keptOriginalPath(const QString& path);

// What an import did.
struct ImportSummary
{
    qint64 members = 0;
    qint64 emptyMarks = 0; // fields without a value (NULL), stored as the empty mark
    QStringList converted; // fields read from a column that is not text, converted as the member form stores them
    QString keptOriginal;  // when the Access file stood at the member file's place: where it is kept now
    CardNotes cards;       // card numbers that the till cannot reach as imported
};

// The columns of table "ficha" that hold the thirteen fields, found by name whatever their case and order; other
// columns are ignored.
class FichaColumns
{
public:
    // MissingField when a field has no column; BadValue when its column holds binary data or OLE objects.
    static ImportResult<FichaColumns> find(const AccessTableHead& head, const QString& file);

    // The member record of one row (numbered from 1). Text stays exactly as stored; a field without a value
    // becomes the empty mark, counted in `summary`; other types become what the member form stores.
    ImportResult<MemberRecord> record(const AccessRow& row, qint64 rowNumber, ImportSummary& summary) const;

    // The fields whose column is not text.
    QStringList convertedFields() const;

private:
    std::array<qsizetype, kFieldCount> m_column{};
    std::array<AccessType, kFieldCount> m_type{};
    QString m_file;
};

// The members of table "ficha" of an Access file, in stored order, with what was mended on the way.
struct AccessMembers
{
    std::vector<MemberRecord> records;
    ImportSummary summary;
};
ImportResult<AccessMembers> readAccessMembers(const AccessReader& reader, const QString& file,
                                              const AccessReader::Progress& progress = {});

// The number of members that table "ficha" counts, its fields checked, without reading its rows.
ImportResult<qint64> countAccessMembers(const AccessReader& reader, const QString& file);

// Copies table "ficha" of the Access file `file` into the member file at `memberPath`, made as a first start makes
// it when there is none. Refused (HoldsMembers) when the member file holds members: an import never merges. When
// the Access file itself stands at `memberPath`, it is replaced as replaceAccessMemberFile() does; another Access
// file there is refused (AccessAtPath).
ImportResult<ImportSummary> importAccessFile(const AccessReader& reader, const QString& file, const QString& memberPath,
                                             const AccessReader::Progress& progress = {});

// Copies table "ficha" of the Access file `file` into `store` (a member file or a server), made as a first start
// makes it when it holds no "ficha" yet. Refused (HoldsMembers) when it holds members: an import never merges. All
// the members go in one transaction.
ImportResult<ImportSummary> importAccessIntoStore(const AccessReader& reader, const QString& file,
                                                  const MemberStore& store,
                                                  const AccessReader::Progress& progress = {});

// Replaces the Access file at the member file's place `path` by a member file holding its members. The original is
// first copied, byte for byte and flushed to disk, to keptOriginalPath(); the new member file then takes its place
// in one rename, so the path holds either the Access file or the complete member file at every moment.
ImportResult<ImportSummary> replaceAccessMemberFile(const AccessReader& reader, const QString& path,
                                                    const AccessReader::Progress& progress = {});
