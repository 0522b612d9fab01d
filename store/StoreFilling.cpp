#include "store/StoreFilling.h"

#include <QDir>
#include <QFileInfo>

namespace {

// `produce`, with the records it adds counted in `count`. A transaction tried again produces its records again: the
// count then starts anew.
MemberStore::RecordProducer counting(const MemberStore::RecordProducer& produce, qint64& count)
{
    return [&produce, &count](const MemberStore::AddRecord& add) {
        count = 0;
        return produce([&](const MemberRecord& record) {
            ++count;
            return add(record);
        });
    };
}

} // namespace

StoreResult<Filling> buildMemberFile(const PendingFile& pending, const MemberStore::RecordProducer& produce,
                                     std::optional<qint64> expected)
{
    const MemberStore store(pending.path());
    qint64 produced = 0;
    if (StoreResult<void> opened = store.openOrCreate(); !opened)
        return opened.error();
    const StoreResult<bool> filled = store.fillEmpty(counting(produce, produced));
    if (!filled)
        return filled.error();
    const StoreResult<qint64> rows = store.rowCount();
    if (!rows)
        return rows.error();
    const qint64 counted = expected.value_or(produced);
    if (!*filled || *rows != counted)
        return Filling{Filling::Outcome::Miscounted, *rows, counted};
    return Filling{Filling::Outcome::Filled, *rows, counted};
}

StoreResult<Filling> fillNewStore(const StoreAddress& target, const MemberStore::RecordProducer& produce,
                                  std::optional<qint64> expected)
{
    const QFileInfo file(target.path());
    if (target.isServer() || file.exists() || file.isSymLink()) {
        const MemberStore store(target);
        if (StoreResult<void> done = store.openOrCreate(); !done)
            return done.error();
        const StoreResult<qint64> held = store.rowCount();
        if (!held)
            return held.error();
        if (*held > 0)
            return Filling{Filling::Outcome::HoldsMembers, *held};
        qint64 added = 0;
        const StoreResult<bool> filled = store.fillEmpty(counting(produce, added));
        if (!filled)
            return filled.error();
        if (!*filled) // members came meanwhile, from another program
            return Filling{Filling::Outcome::HoldsMembers, 0};
        return Filling{Filling::Outcome::Filled, added};
    }

    // No member file yet: made as a first start makes it (folder included), with the members in it.
    const QString memberPath = target.path();
    const QString folder = file.absolutePath();
    const bool folderExisted = QFileInfo(folder).isDir();
    const auto failed = [&](auto outcome) {
        if (!folderExisted)
            QDir().rmdir(folder); // only if still empty
        return StoreResult<Filling>(std::move(outcome));
    };
    if (!QDir().mkpath(folder))
        return StoreError{StoreError::Kind::Create, memberPath, QStringLiteral("cannot create the folder ") + folder,
                          StoreError::Cause::CannotOpen};
    Result<PendingFile, StoreError> pending = PendingFile::create(memberPath);
    if (!pending)
        return failed(pending.error());
    const StoreResult<Filling> built = buildMemberFile(*pending, produce, expected);
    if (!built || built->outcome != Filling::Outcome::Filled)
        return failed(built);
    // Never over a file: a member file made meanwhile by another program stays as it is.
    const StoreResult<bool> placed = pending.value().putInPlace();
    if (!placed)
        return failed(placed.error());
    if (!*placed)
        return failed(Filling{Filling::Outcome::MadeMeanwhile});
    return built;
}
