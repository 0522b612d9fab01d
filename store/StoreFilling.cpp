#include "store/StoreFilling.h"

#include <QDir>
#include <QFileInfo>

StoreResult<Filling> buildMemberFile(const PendingFile& pending, const MemberStore::RecordProducer& produce,
                                     std::optional<qint64> expected)
{
    const MemberStore store(pending.path());
    qint64 produced = 0;
    const auto add = [&](const MemberStore::AddRecord& add) {
        return produce([&](const MemberRecord& record) {
            ++produced;
            return add(record);
        });
    };
    if (StoreResult<void> opened = store.openOrCreate(); !opened)
        return opened.error();
    const StoreResult<bool> filled = store.fillEmpty(add);
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
        const StoreResult<bool> filled = store.fillEmpty([&](const MemberStore::AddRecord& add) {
            added = 0; // a transaction tried again produces its records again
            return produce([&](const MemberRecord& record) {
                ++added;
                return add(record);
            });
        });
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
