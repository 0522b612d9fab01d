#pragma once

#include "store/MemberStore.h"

#include <QDate>
#include <QString>

#include <optional>
#include <set>
#include <variant>
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

    // The copy of the first start of `today`. Nothing is done when today's copy exists. A copy that fails its
    // check is thrown away and removes no other; otherwise the copies no longer kept are removed.
    struct Daily
    {
        enum class Outcome { Made, Existed, Failed };
        Outcome outcome = Outcome::Existed;
        QString copy;                    // Made: the new copy
        std::optional<StoreError> error; // Failed: why (Cause::Damaged when the copy came out damaged)
        QStringList removed;             // Made: the copies rotated out
    };
    Daily makeDailyCopy(const MemberStore& store, QDate today) const;

private:
    QString m_memberPath;
};

// Puts the checked copy `copy` in place of the member file at `memberPath`, after keeping the current file (and
// what an interrupted save left beside it) under another name in the same folder, never over an existing file.
// Refused while a till has the member file open. All or nothing: on failure every file is as it was.
struct Restored
{
    QString keptAside; // where the member file that was in place is now
    qint64 members = 0;
};
struct RestoreError
{
    enum class Kind {
        BadCopy, // the copy is not a member file, or it is damaged
        InUse,   // a till has the member file open
        Failed,  // a file could not be copied, moved or written
    };
    Kind kind = Kind::Failed;
    QString detail;
    std::optional<StoreError> store;
};
std::variant<Restored, RestoreError> restoreCopy(const QString& copy, const QString& memberPath);
