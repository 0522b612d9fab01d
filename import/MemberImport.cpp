#include "import/MemberImport.h"

#include "intake/PutMembers.h"
#include "store/MemberStore.h"
#include "store/PendingFile.h"
#include "store/StoreFilling.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString kTable = QStringLiteral("ficha");

ImportError error(ImportError::Kind kind, const QString& file, const QString& detail = {})
{
    return ImportError{kind, file, detail, std::nullopt};
}

// What identifies the contents of a file cheaply: it changed if either did.
struct FileState
{
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const FileState&) const = default;
};

FileState stateOf(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? FileState{info.size(), info.lastModified()} : FileState{};
}

MemberStore::RecordProducer producerOf(const std::vector<MemberRecord>& records)
{
    return [&records](const MemberStore::AddRecord& add) -> StoreResult<void> {
        for (const MemberRecord& record : records)
            if (StoreResult<void> done = add(record); !done)
                return done;
        return {};
    };
}

// Copies `path` to the first free name of keptOriginalPath()'s kind, and flushes the copy to the disk. A copy
// never replaces a file.
ImportResult<QString> keepOriginal(const QString& path)
{
    QFile original(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString kept = keptOriginalPath(path);
        if (original.copy(kept)) {
            if (PendingFile::flushFile(kept))
                return kept;
            QFile::remove(kept);
            return error(ImportError::Kind::KeepOriginal, path, kept + QStringLiteral(": cannot flush it to disk"));
        }
        if (!QFileInfo::exists(kept)) // failed for another reason than a name taken meanwhile
            return error(ImportError::Kind::KeepOriginal, path, kept + QStringLiteral(": ") + original.errorString());
    }
    return error(ImportError::Kind::KeepOriginal, path, QStringLiteral("no free name"));
}

} // namespace

QString keptOriginalPath(const QString& path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 1;; ++n) {
        const QString mark = n == 1 ? QStringLiteral(" (Access)") : QStringLiteral(" (Access %1)").arg(n);
        const QString candidate = info.dir().filePath(info.completeBaseName() + mark + suffix);
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
}

ImportResult<FichaColumns> FichaColumns::find(const AccessTableHead& head, const QString& file)
{
    FichaColumns found;
    found.m_file = file;
    for (Field field : allFields()) {
        const QLatin1String name(fieldName(field));
        const auto column = std::find_if(head.columns.begin(), head.columns.end(), [&](const AccessColumn& c) {
            return c.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (column == head.columns.end())
            return error(ImportError::Kind::MissingField, file, name);
        if (!convertsToText(column->type))
            return error(ImportError::Kind::BadValue, file,
                         QStringLiteral("column %1 holds binary data (Access type %2)")
                             .arg(column->name)
                             .arg(int(column->type)));
        found.m_column[std::size_t(field)] = column - head.columns.begin();
        found.m_type[std::size_t(field)] = column->type;
    }
    return found;
}

ImportResult<MemberRecord> FichaColumns::record(const AccessRow& row, qint64 rowNumber, ImportSummary& summary) const
{
    MemberRecord record;
    for (Field field : allFields()) {
        const std::size_t i = std::size_t(field);
        const std::optional<QString>& value = row.at(m_column[i]);
        if (!value) {
            record[field] = kEmptyMark;
            ++summary.emptyMarks;
            continue;
        }
        std::optional<QString> text = storedText(m_type[i], *value, field);
        if (!text)
            return error(ImportError::Kind::BadValue, m_file,
                         QStringLiteral("row %1, field %2: \"%3\" is not a value of Access type %4")
                             .arg(rowNumber)
                             .arg(QLatin1String(fieldName(field)), value->left(40))
                             .arg(int(m_type[i])));
        record[field] = std::move(*text);
    }
    return record;
}

QStringList FichaColumns::convertedFields() const
{
    QStringList fields;
    for (Field field : allFields())
        if (!isTextType(m_type[std::size_t(field)]))
            fields << QLatin1String(fieldName(field));
    return fields;
}

ImportResult<AccessMembers> readAccessMembers(const AccessReader& reader, const QString& file,
                                              const AccessReader::Progress& progress)
{
    AccessMembers members;
    std::optional<FichaColumns> columns;
    const auto onHead = [&](const AccessTableHead& head) -> ImportResult<void> {
        ImportResult<FichaColumns> found = FichaColumns::find(head, file);
        if (!found)
            return found.error();
        columns = std::move(found).value();
        members.records.reserve(std::size_t(std::min<qint64>(head.rows, 65536))); // a damaged count may be huge
        members.summary.converted = columns->convertedFields();
        return {};
    };
    const auto onRow = [&](const AccessRow& row) -> ImportResult<void> {
        ImportResult<MemberRecord> record = columns->record(row, qint64(members.records.size()) + 1, members.summary);
        if (!record)
            return record.error();
        members.records.push_back(std::move(record).value());
        return {};
    };
    if (ImportResult<void> done = reader.read(file, kTable, onHead, onRow, progress); !done)
        return done.error();
    members.summary.members = qint64(members.records.size());
    return members;
}

ImportResult<qint64> countAccessMembers(const AccessReader& reader, const QString& file)
{
    const ImportResult<AccessTableHead> head = reader.readHead(file, kTable);
    if (!head)
        return head.error();
    if (ImportResult<FichaColumns> columns = FichaColumns::find(*head, file); !columns)
        return columns.error();
    return head->rows;
}

// An import never merges: a store that holds members is refused (HoldsMembers), with nothing read or written.
ImportResult<void> holdsNoMembers(const MemberStore& store, const QString& source)
{
    if (StoreResult<void> done = store.openOrCreate(); !done)
        return storeImportError(source, done.error());
    const StoreResult<qint64> rows = store.rowCount();
    if (!rows)
        return storeImportError(source, rows.error());
    if (*rows > 0)
        return error(ImportError::Kind::HoldsMembers, source,
                     QStringLiteral("%1 holds %2 members").arg(store.path()).arg(*rows));
    return {};
}

ImportResult<ImportSummary> importAccessFile(const AccessReader& reader, const QString& file, const QString& memberPath,
                                             const AccessReader::Progress& progress)
{
    const QFileInfo target(memberPath);
    if (hasAccessHeader(memberPath)) {
        if (QFileInfo(file).canonicalFilePath() == target.canonicalFilePath())
            return replaceAccessMemberFile(reader, memberPath, progress);
        return error(ImportError::Kind::AccessAtPath, file, memberPath);
    }
    if (target.exists()) {
        // Refused before the Access file is read at all when the member file holds members.
        const StoreResult<qint64> rows = MemberStore(memberPath).rowCount();
        if (rows && *rows > 0)
            return error(ImportError::Kind::HoldsMembers, file,
                         QStringLiteral("%1 holds %2 members").arg(memberPath).arg(*rows));
    }
    ImportResult<AccessMembers> members = readAccessMembers(reader, file, progress);
    if (!members)
        return members.error();
    const ImportResult<PutMembers> put =
        putMembers(producerOf(members->records), members->summary.members, file, StoreAddress::file(memberPath));
    if (!put)
        return put.error();
    ImportSummary summary = members->summary;
    summary.cards = put->cards;
    return summary;
}

ImportResult<ImportSummary> importAccessIntoStore(const AccessReader& reader, const QString& file,
                                                  const MemberStore& store, const AccessReader::Progress& progress)
{
    // Refused before the Access file is read at all when the store holds members.
    if (ImportResult<void> empty = holdsNoMembers(store, file); !empty)
        return empty.error();
    ImportResult<AccessMembers> members = readAccessMembers(reader, file, progress);
    if (!members)
        return members.error();
    const ImportResult<PutMembers> put =
        putMembers(producerOf(members->records), members->summary.members, file, store.address());
    if (!put)
        return put.error();
    ImportSummary summary = members->summary;
    summary.cards = put->cards;
    return summary;
}

ImportResult<ImportSummary> replaceAccessMemberFile(const AccessReader& reader, const QString& path,
                                                    const AccessReader::Progress& progress)
{
    const FileState before = stateOf(path);
    ImportResult<AccessMembers> members = readAccessMembers(reader, path, progress);
    if (!members)
        return members.error();
    CardCensus census;
    const MemberStore::RecordProducer produce = producerOf(members->records);
    Result<PendingFile, StoreError> built = PendingFile::create(path);
    if (!built)
        return storeImportError(path, built.error());
    if (ImportResult<void> whole =
            filledWhole(buildMemberFile(*built, census.noting(produce), members->summary.members), path, path);
        !whole)
        return whole.error();
    const ImportResult<QString> kept = keepOriginal(path);
    const auto undo = [&](ImportError failure) {
        if (kept)
            QFile::remove(*kept);
        return failure;
    };
    if (!kept)
        return undo(kept.error());
    if (stateOf(path) != before || stateOf(*kept).size != before.size)
        return undo(error(ImportError::Kind::Changed, path));
    if (const StoreResult<void> done = built.value().replaceTarget(); !done)
        return undo(error(ImportError::Kind::Replace, path, done.error().detail));
    ImportSummary summary = members->summary;
    summary.keptOriginal = *kept;
    summary.cards = census.notes();
    return summary;
}
