#pragma once

#include "store/MemberStore.h"

#include <QDate>
#include <QString>

#include <optional>
#include <set>
#include <span>
#include <vector>

// The automatic copies of a member file: in the folder "copias" beside it, one a day, named by the day they were
// made ("dorvel-2026-12-06.mdb" for "dorvel.mdb"). Every copy is checked for damage before it counts, so every copy
// in the folder is a good one.
class Backups
{
public:
    explicit Backups(QString memberPath);

    QString folder() const;

    struct Copy
    {
        QDate day;
        QString path;
    };
    // The copies in the folder, oldest first. Other files there are not copies and are left alone.
    std::vector<Copy> copies() const;
    std::optional<Copy> newest() const;

    // The days whose copies are kept on `today`: the 14 newest, and the newest of each of the 12 months up to and
    // including today's.
    static std::set<QDate> daysToKeep(const std::vector<QDate>& days, QDate today);

    // The copy of the first start of `today`. Nothing is done when today's copy exists, or when another till makes
    // it meanwhile. A copy that fails its check is thrown away and removes no other; otherwise the copies no longer
    // kept are removed. Leftovers of copies that were interrupted are removed first.
    struct Daily
    {
        enum class Outcome { Made, Existed, Failed };
        Outcome outcome = Outcome::Existed;
        QString copy;                    // Made: the new copy
        std::optional<StoreError> error; // Failed: why (Cause::Damaged when the copy came out damaged)
        // Failed: the copy came out damaged, and the member file's own check, run again, found the member file
        // damaged too. Nothing else about a copy (a full or failing disk, the time limit) says so.
        bool fileDamaged = false;
        QStringList removed; // Made: the copies rotated out
    };
    Daily makeDailyCopy(const MemberStore& store, QDate today) const;

    // Applies the register of erasures `erased` to every copy in the folder: each is rewritten under a temporary name
    // without the numbers it names and with the register's rows it lacks, checked, and put in place of the copy in
    // one step. A copy that cannot be rewritten is left as it was, and named with why.
    struct CopiesErased
    {
        QStringList rewritten;
        std::vector<std::pair<QString, QString>> failed; // the copy, and why
    };
    CopiesErased eraseFromCopies(std::span<const ErasedCard> erased) const;

private:
    QString m_memberPath;
};

// Puts the checked copy `copy` in place of the member file at `memberPath`, after keeping the current file (and
// what an interrupted save left beside it) under another name in the same folder, never over an existing file.
// Refused while a till has the member file open; a till that starts meanwhile waits for the restore to end, or is
// told that it is under way (StoreError::Cause::Restoring). A log or journal beside the copy is replayed into the
// file brought in, as a start replays it, or the copy is refused; so is a copy whose tables are not exactly those
// that socios writes (MemberStore::Shape::Exact).
// All or nothing, at every instant: the member file's place holds the file that was there or the checked copy,
// each whole, whenever the restore stops; a restore that fails leaves the member file as it was.
//
// The register of erasures holds across a restore: every number that the register of the member file in place, or
// the copy's own, names is erased from the file brought in before it is put in place, and that file's register
// holds both. A member file in place whose register cannot be read is not replaced.
struct Restored
{
    QString keptAside; // where the member file that was in place is now
    qint64 members = 0;
    qint64 erasedAgain = 0; // rows of the copy that the register erased
};
struct RestoreError
{
    enum class Kind {
        BadCopy, // the copy is not a member file, or it is damaged
        InUse,   // a till (or another program) has the member file open, or made one meanwhile
        Failed,  // a file could not be copied, moved or written
    };
    Kind kind = Kind::Failed;
    QString detail;
    std::optional<StoreError> store;
};
Result<Restored, RestoreError> restoreCopy(const QString& copy, const QString& memberPath);
