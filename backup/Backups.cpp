#include "backup/Backups.h"

#include "store/FileLock.h"
#include "store/PendingFile.h"
#include "store/sqlite/DatabaseFiles.h"
#include "store/sqlite/SqliteFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace {

// The context of the restore's sentences in the translations: the command line shows them to the owner.
class RestoreText
{
    Q_DECLARE_TR_FUNCTIONS(RestoreText)
};

// How many of the newest copies are kept, and for how many months one copy a month.
constexpr int kDailyCopies = 14;
constexpr int kMonthlyCopies = 12;

QString copyName(const QString& memberPath, QDate day)
{
    const QFileInfo member(memberPath);
    return QStringLiteral("%1-%2.%3").arg(member.completeBaseName(), day.toString(Qt::ISODate), member.suffix());
}

} // namespace

Backups::Backups(QString memberPath) : m_memberPath(std::move(memberPath)) {}

QString Backups::folder() const
{
    return QFileInfo(m_memberPath).absoluteDir().filePath(QStringLiteral("copias"));
}

std::vector<Backups::Copy> Backups::copies() const
{
    const QFileInfo member(m_memberPath);
    const QRegularExpression pattern(
        QStringLiteral("^%1-(\\d{4}-\\d{2}-\\d{2})\\.%2$")
            .arg(QRegularExpression::escape(member.completeBaseName()), QRegularExpression::escape(member.suffix())));
    std::vector<Copy> found;
    const QDir dir(folder());
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch match = pattern.match(name);
        const QDate day = match.hasMatch() ? QDate::fromString(match.captured(1), Qt::ISODate) : QDate();
        if (day.isValid())
            found.push_back({day, dir.filePath(name)});
    }
    std::sort(found.begin(), found.end(), [](const Copy& a, const Copy& b) { return a.day < b.day; });
    return found;
}

std::optional<Backups::Copy> Backups::newest() const
{
    const std::vector<Copy> all = copies();
    if (all.empty())
        return std::nullopt;
    return all.back();
}

std::set<QDate> Backups::daysToKeep(const std::vector<QDate>& days, QDate today)
{
    std::vector<QDate> newestFirst(days);
    std::sort(newestFirst.begin(), newestFirst.end(), std::greater<>());
    std::set<QDate> keep(newestFirst.begin(),
                         newestFirst.begin() + std::min<qsizetype>(kDailyCopies, newestFirst.size()));
    // The newest copy of each month, for the month of today and the eleven before it.
    const QDate firstMonth = QDate(today.year(), today.month(), 1).addMonths(-(kMonthlyCopies - 1));
    std::map<std::pair<int, int>, QDate> newestOfMonth;
    for (const QDate& day : newestFirst)
        if (day >= firstMonth && day <= today)
            newestOfMonth.try_emplace({day.year(), day.month()}, day);
    for (const auto& [month, day] : newestOfMonth)
        keep.insert(day);
    return keep;
}

Backups::Daily Backups::makeDailyCopy(const MemberStore& store, QDate today) const
{
    Daily daily;
    const std::vector<Copy> before = copies();
    if (std::any_of(before.begin(), before.end(), [&](const Copy& copy) { return copy.day == today; }))
        return daily;
    daily.outcome = Daily::Outcome::Failed;
    if (!QDir().mkpath(folder())) {
        daily.error = StoreError{StoreError::Kind::Write,
                                 folder(),
                                 QStringLiteral("cannot create the folder"),
                                 StoreError::Cause::ReadOnly,
                                 {}};
        return daily;
    }
    // Named as a copy only once it is complete and checked, never over a copy there.
    const QString copy = QDir(folder()).filePath(copyName(m_memberPath, today));
    if (StoreResult<void> done = store.backupTo(copy); !done) {
        // Another till that started today made it meanwhile: one copy a day between them.
        if (QFileInfo(copy).isFile()) {
            daily.outcome = Daily::Outcome::Existed;
            return daily;
        }
        // Only the member file's own check says that it is damaged: a copy may come out damaged on its way to the
        // copies' disk.
        if (done.error().cause == StoreError::Cause::Damaged) {
            const StoreResult<bool> intact = store.quickCheck();
            daily.fileDamaged = intact && !*intact;
        }
        daily.error = done.error();
        return daily;
    }
    daily.outcome = Daily::Outcome::Made;
    daily.copy = copy;

    // Only now that a good copy of today is there may older ones go.
    std::vector<QDate> days;
    for (const Copy& existing : before)
        days.push_back(existing.day);
    days.push_back(today);
    const std::set<QDate> keep = daysToKeep(days, today);
    for (const Copy& existing : before)
        if (!keep.count(existing.day) && QFile::remove(existing.path))
            daily.removed << existing.path;
    return daily;
}

namespace {

// Keeps the member file, and what an interrupted save left beside it, under a name of its own in its folder
// ("dorvel (antes de restaurar 2026-12-06 15.30.00).mdb"), while it stays where it is. The name kept, or none with
// `why`.
std::optional<QString> keepAside(const QString& memberPath, QString& why)
{
    const QFileInfo member(memberPath);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss"));
    for (int n = 1; n < 100; ++n) {
        const QString aside =
            member.absoluteDir().filePath(QStringLiteral("%1 (antes de restaurar %2%3).%4")
                                              .arg(member.completeBaseName(), stamp,
                                                   n > 1 ? QStringLiteral(" %1").arg(n) : QString(), member.suffix()));
        switch (DatabaseFiles::keepAside(memberPath, aside, why)) {
        case DatabaseFiles::Kept::Done:
            return aside;
        case DatabaseFiles::Kept::NameTaken:
            continue;
        case DatabaseFiles::Kept::Failed:
            return std::nullopt;
        }
    }
    why = RestoreText::tr("no free name to keep %1 under").arg(memberPath);
    return std::nullopt;
}

RestoreError restoreFailure(RestoreError::Kind kind, const QString& detail, std::optional<StoreError> store = {})
{
    return RestoreError{kind, detail, std::move(store)};
}

// Brings the copy, with what an interrupted save left beside it, into `incoming`, and checks it as a start checks a
// file: a log or journal is replayed only when it leaves the copy intact, and the tables must be exactly those that
// socios writes, so that every later save fits them. Then the register `erased`, and the copy's own, are applied to
// it. The copy itself is never changed. Its members, once checked, and the rows the registers erased.
Result<std::pair<qint64, qint64>, RestoreError> bringIn(const QString& copy, const PendingFile& incoming,
                                                        std::vector<ErasedCard> erased)
{
    using Kind = RestoreError::Kind;
    QString why;
    if (!DatabaseFiles::copyWithLeftover(copy, incoming.path(), why))
        return restoreFailure(Kind::Failed, why);
    qint64 count = 0;
    qint64 erasedAgain = 0;
    {
        const MemberStore check(incoming.path());
        StoreResult<void> opened = check.openOrCreate(MemberStore::Indexes::Defer, MemberStore::Shape::Exact);
        const StoreResult<bool> intact = !opened ? StoreResult<bool>(opened.error()) : check.quickCheck();
        const StoreResult<std::vector<ErasedCard>> own =
            intact ? check.erasures() : StoreResult<std::vector<ErasedCard>>(intact.error());
        if (!own || !*intact)
            return restoreFailure(Kind::BadCopy, RestoreText::tr("%1 is not a sound member file").arg(copy),
                                  own ? std::optional<StoreError>() : own.error());
        erased.insert(erased.end(), own->begin(), own->end());
        const StoreResult<qint64> removed = check.applyErasures(erased);
        if (!removed)
            return restoreFailure(Kind::Failed,
                                  RestoreText::tr("cannot erase from %1 the members that the register "
                                                  "of erasures names")
                                      .arg(copy),
                                  removed.error());
        erasedAgain = *removed;
        const StoreResult<qint64> members = check.rowCount();
        if (!members)
            return restoreFailure(Kind::BadCopy, RestoreText::tr("%1 is not a sound member file").arg(copy),
                                  members.error());
        count = *members;
    }
    // Closed, the checked copy stands alone, its log written into it.
    if (SqliteFile::leftoverBeside(incoming.path()))
        return restoreFailure(
            Kind::Failed,
            RestoreText::tr("the log of the checked copy %1 could not be written into it").arg(incoming.path()));
    return std::pair{count, erasedAgain};
}

// Puts `incoming` in place of the member file that `held` locks (none where it cannot be locked), in one step, after
// keeping that file aside. The name it is kept under.
Result<QString, RestoreError> replaceMemberFile(PendingFile& incoming, const std::optional<FileLock>& held)
{
    using Kind = RestoreError::Kind;
    const QString& memberPath = incoming.target();
    // What an interrupted save left beside the member file goes into it first, where a start would replay it. One
    // that a start refuses stays as it is, and is kept aside with the file.
    if (SqliteFile::leftoverBeside(memberPath))
        (void)MemberStore(memberPath).openOrCreate(MemberStore::Indexes::Defer);
    QString why;
    const std::optional<QString> aside = keepAside(memberPath, why);
    if (!aside)
        return restoreFailure(Kind::Failed, RestoreText::tr("cannot keep %1 aside: %2").arg(memberPath, why));
    if (held && !(SqliteFile::identityOf(memberPath) == held->identity())) {
        DatabaseFiles::removeKept(*aside);
        return restoreFailure(Kind::InUse, RestoreText::tr("%1 was replaced meanwhile").arg(memberPath));
    }
    // What was beside the member file is kept aside with it; a failed move brings it back.
    if (const StoreResult<void> moved = DatabaseFiles::replaceKeptAside(incoming, *aside); !moved)
        return restoreFailure(Kind::Failed, RestoreText::tr("cannot move the copy into place"), moved.error());
    return *aside;
}

} // namespace

Result<Restored, RestoreError> restoreCopy(const QString& copy, const QString& memberPath)
{
    using Kind = RestoreError::Kind;
    if (!QFileInfo(copy).isFile() || !SqliteFile::hasDatabaseHeader(copy))
        return restoreFailure(Kind::BadCopy, RestoreText::tr("%1 is not a member file").arg(copy));

    // From here to the end no till can open the member file: a till that starts meanwhile waits, or is told why.
    const bool replacing = QFileInfo::exists(memberPath);
    std::optional<FileLock> held;
    if (replacing) {
        Result<FileLock, FileLock::Refused> lock = FileLock::take(memberPath, FileLock::Mode::Exclusive);
        if (!lock && lock.error() == FileLock::Refused::Busy)
            return restoreFailure(Kind::InUse, RestoreText::tr("a till has %1 open").arg(memberPath));
        // A file that cannot be locked here (read-only, a file system without locks) cannot take a till's save
        // either: the restore goes on without the lock.
        if (lock)
            held = std::move(lock).value();
    }
    if (SqliteFile::logInUse(memberPath))
        return restoreFailure(Kind::InUse, RestoreText::tr("a program has %1 open").arg(memberPath));

    // The members erased from the file in place stay erased.
    std::vector<ErasedCard> erased;
    if (replacing) {
        const MemberStore current(memberPath);
        const StoreResult<void> opened = current.openOrCreate(MemberStore::Indexes::Defer);
        StoreResult<std::vector<ErasedCard>> named =
            !opened ? StoreResult<std::vector<ErasedCard>>(opened.error()) : current.erasures();
        if (!named)
            return restoreFailure(Kind::Failed,
                                  RestoreText::tr("cannot read the register of erasures of %1, which the copy must "
                                                  "keep (move that file away to restore without it)")
                                      .arg(memberPath),
                                  named.error());
        erased = std::move(named).value();
    }

    // The copy is brought in beside the member file, under a name of its own that the restore keeps locked.
    const QString folder = QFileInfo(memberPath).absolutePath();
    if (!QDir().mkpath(folder))
        return restoreFailure(Kind::Failed, RestoreText::tr("cannot create the folder %1").arg(folder));
    Result<PendingFile, StoreError> made = PendingFile::create(memberPath);
    if (!made)
        return restoreFailure(Kind::Failed, RestoreText::tr("cannot copy %1 beside %2").arg(copy, memberPath),
                              made.error());
    PendingFile& incoming = made.value();
    const Result<std::pair<qint64, qint64>, RestoreError> members = bringIn(copy, incoming, std::move(erased));
    if (!members)
        return members.error();
    Restored restored;
    restored.members = members->first;
    restored.erasedAgain = members->second;

    // Checked, and nothing changed yet at the member file's place: from here on, in one step, or not at all.
    if (!replacing) {
        const StoreResult<bool> placed = incoming.putInPlace();
        if (!placed)
            return restoreFailure(Kind::Failed, RestoreText::tr("cannot move the copy into place"), placed.error());
        if (!*placed)
            return restoreFailure(Kind::InUse,
                                  RestoreText::tr("a member file was made at %1 meanwhile").arg(memberPath));
        return restored;
    }
    const Result<QString, RestoreError> aside = replaceMemberFile(incoming, held);
    if (!aside)
        return aside.error();
    restored.keptAside = *aside;
    return restored;
}

Backups::CopiesErased Backups::eraseFromCopies(std::span<const ErasedCard> erased) const
{
    CopiesErased result;
    for (const Copy& copy : copies()) {
        // Rewritten beside it, and put in its place only once checked: the copy is whole at every moment.
        QString why;
        Result<PendingFile, StoreError> made = PendingFile::create(copy.path);
        if (made && PendingFile::copyFile(copy.path, made->path(), why)) {
            const MemberStore rewritten(made->path());
            const StoreResult<void> opened = rewritten.openOrCreate(MemberStore::Indexes::Defer);
            const StoreResult<qint64> removed =
                !opened ? StoreResult<qint64>(opened.error()) : rewritten.applyErasures(erased);
            const StoreResult<bool> intact = removed ? rewritten.quickCheck() : StoreResult<bool>(removed.error());
            if (!intact)
                why = intact.error().toString();
            else if (!*intact)
                why = RestoreText::tr("the rewritten copy is damaged");
        } else if (!made) {
            why = made.error().toString();
        }
        if (why.isEmpty() && SqliteFile::leftoverBeside(made->path()))
            why = RestoreText::tr("the log of the rewritten copy could not be written into it");
        if (why.isEmpty())
            if (const StoreResult<void> moved = made.value().replaceTarget(); !moved)
                why = moved.error().toString();
        if (why.isEmpty())
            result.rewritten << copy.path;
        else
            result.failed.emplace_back(copy.path, why);
    }
    return result;
}
