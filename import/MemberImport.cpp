#include "import/MemberImport.h"

#include "store/MemberStore.h"
#include "store/PendingFile.h"

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

ImportError storeError(const QString& file, const StoreError& failure)
{
    return ImportError{ImportError::Kind::MemberFile, file, {}, failure};
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

// Builds a member file holding what `produce` adds in `pending`, beside the file it becomes, and checks that it
// holds `expected` rows, when given.
ImportStatus buildMemberFile(const PendingFile& pending, const MemberStore::RecordProducer& produce,
                             std::optional<qint64> expected, const QString& file)
{
    const MemberStore store(pending.path());
    qint64 produced = 0;
    const auto add = [&](const MemberStore::AddRecord& add) {
        return produce([&](const MemberRecord& record) {
            ++produced;
            return add(record);
        });
    };
    StoreFailure opened = store.openOrCreate();
    const StoreResult<bool> filled = opened ? StoreResult<bool>(*opened) : store.fillEmpty(add);
    const StoreResult<qint64> rows = filled ? store.rowCount() : StoreResult<qint64>(filled.error());
    const qint64 counted = expected.value_or(produced);
    if (!rows)
        return storeError(file, rows.error());
    if (!*filled || *rows != counted)
        return error(ImportError::Kind::Damaged, file,
                     QStringLiteral("the new member file holds %1 rows, the source counts %2").arg(*rows).arg(counted));
    return std::nullopt;
}

// `produce`, with the card number of every record it adds taken by `census`. A transaction tried again produces its
// records again: the census then starts anew.
MemberStore::RecordProducer notingCards(const MemberStore::RecordProducer& produce, CardCensus& census)
{
    return [&produce, &census](const MemberStore::AddRecord& add) {
        census = CardCensus();
        return produce([&](const MemberRecord& record) {
            census.note(record);
            return add(record);
        });
    };
}

MemberStore::RecordProducer producerOf(const std::vector<MemberRecord>& records)
{
    return [&records](const MemberStore::AddRecord& add) -> StoreFailure {
        for (const MemberRecord& record : records)
            if (StoreFailure failure = add(record))
                return failure;
        return std::nullopt;
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

bool hasAccessHeader(const QString& path)
{
    static constexpr char kJet[] = "\x00\x01\x00\x00Standard Jet DB";
    static constexpr char kAce[] = "\x00\x01\x00\x00Standard ACE DB";
    constexpr qsizetype length = sizeof(kJet); // with the terminating zero, which the file holds as well
    QByteArray head(length, '\0');
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info
    {};
    const bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::read(fd, head.data(), length) == length;
    ::close(fd);
    if (!read)
        return false;
#else
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || file.read(head.data(), length) != length)
        return false;
#endif
    return head == QByteArrayView(kJet, length) || head == QByteArrayView(kAce, length);
}

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
    const auto onHead = [&](const AccessTableHead& head) -> ImportStatus {
        ImportResult<FichaColumns> found = FichaColumns::find(head, file);
        if (!found)
            return found.error();
        columns = std::move(found).value();
        members.records.reserve(std::size_t(std::min<qint64>(head.rows, 65536))); // a damaged count may be huge
        members.summary.converted = columns->convertedFields();
        return std::nullopt;
    };
    const auto onRow = [&](const AccessRow& row) -> ImportStatus {
        ImportResult<MemberRecord> record = columns->record(row, qint64(members.records.size()) + 1, members.summary);
        if (!record)
            return record.error();
        members.records.push_back(std::move(record).value());
        return std::nullopt;
    };
    if (ImportStatus failure = reader.read(file, kTable, onHead, onRow, progress))
        return *failure;
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

// An import never merges: a store that holds members is refused, with nothing read or written.
ImportStatus refuseIfHoldsMembers(const MemberStore& store, const QString& source)
{
    if (StoreFailure failure = store.openOrCreate())
        return storeError(source, *failure);
    const StoreResult<qint64> rows = store.rowCount();
    if (!rows)
        return storeError(source, rows.error());
    if (*rows > 0)
        return error(ImportError::Kind::HoldsMembers, source,
                     QStringLiteral("%1 holds %2 members").arg(store.path()).arg(*rows));
    return std::nullopt;
}

ImportResult<PutMembers> putMembers(const MemberStore::RecordProducer& produce, std::optional<qint64> expected,
                                    const QString& source, const StoreAddress& target)
{
    CardCensus census;
    const MemberStore::RecordProducer noted = notingCards(produce, census);
    const QFileInfo file(target.path());
    if (target.isServer() || file.exists() || file.isSymLink()) {
        if (!target.isServer() && hasAccessHeader(target.path()))
            return error(ImportError::Kind::AccessAtPath, source, target.path());
        // A store that is there already: filled only while it holds no member, in one transaction; what a store
        // holds then is what that transaction added, whatever `expected` says.
        const MemberStore store(target);
        if (ImportStatus refused = refuseIfHoldsMembers(store, source))
            return *refused;
        const StoreResult<bool> filled = store.fillEmpty(noted);
        if (!filled)
            return storeError(source, filled.error());
        if (!*filled)
            return error(ImportError::Kind::HoldsMembers, source, store.path() + QStringLiteral(" holds members"));
        return PutMembers{census.rows(), census.notes()};
    }
    const QString memberPath = target.path();
    const QFileInfo& targetFile = file;

    // No member file yet: made as a first start makes it (folder included), with the members in it.
    const QString folder = targetFile.absolutePath();
    const bool folderExisted = QFileInfo(folder).isDir();
    const auto failed = [&](ImportError failure) {
        if (!folderExisted)
            QDir().rmdir(folder); // only if still empty
        return failure;
    };
    if (!QDir().mkpath(folder))
        return error(ImportError::Kind::MemberFile, source, QStringLiteral("cannot create the folder ") + folder);
    Result<PendingFile, StoreError> pending = PendingFile::create(memberPath);
    if (!pending)
        return failed(storeError(source, pending.error()));
    if (ImportStatus refused = buildMemberFile(*pending, noted, expected, source))
        return failed(*refused);
    // Never over a file: a member file made meanwhile by another program stays as it is.
    const StoreResult<bool> placed = pending.value().putInPlace();
    if (!placed)
        return failed(storeError(source, placed.error()));
    if (!*placed)
        return failed(error(ImportError::Kind::HoldsMembers, source,
                            memberPath + QStringLiteral(" was made by another program meanwhile")));
    const StoreResult<qint64> rows = MemberStore(memberPath).rowCount();
    if (!rows)
        return storeError(source, rows.error());
    return PutMembers{*rows, census.notes()};
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
    if (ImportStatus refused = refuseIfHoldsMembers(store, file))
        return *refused;
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
        return storeError(path, built.error());
    if (ImportStatus refused = buildMemberFile(*built, notingCards(produce, census), members->summary.members, path))
        return *refused;
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
    if (const StoreFailure failure = built.value().replaceTarget())
        return undo(error(ImportError::Kind::Replace, path, failure->detail));
    ImportSummary summary = members->summary;
    summary.keptOriginal = *kept;
    summary.cards = census.notes();
    return summary;
}
