#include "backup/Backups.h"

#include "store/SqliteFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <algorithm>
#include <map>

namespace {

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
    // Made under a temporary name and named as a copy only once it is complete and checked.
    const QString copy = QDir(folder()).filePath(copyName(m_memberPath, today));
    const QString temporary = copy + QStringLiteral(".new-") + QUuid::createUuid().toString(QUuid::Id128);
    if (StoreFailure failed = store.backupTo(temporary)) {
        daily.error = failed;
        return daily;
    }
    if (!QFile::rename(temporary, copy)) {
        QFile::remove(temporary);
        daily.error = StoreError{
            StoreError::Kind::Write, copy, QStringLiteral("cannot name the copy"), StoreError::Cause::Other, {}};
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

std::variant<Restored, RestoreError> restoreCopy(const QString& copy, const QString& memberPath)
{
    const auto failed = [](RestoreError::Kind kind, const QString& detail, std::optional<StoreError> store = {}) {
        return RestoreError{kind, detail, std::move(store)};
    };
    if (!QFileInfo(copy).isFile() || !SqliteFile::hasDatabaseHeader(copy))
        return failed(RestoreError::Kind::BadCopy, QStringLiteral("%1 is not a member file").arg(copy));
    if (SqliteFile::logInUse(memberPath))
        return failed(RestoreError::Kind::InUse, QStringLiteral("a till has %1 open").arg(memberPath));

    // The copy itself is never changed: a copy of it beside the member file is checked, then moved into place.
    const QString incoming = memberPath + QStringLiteral(".new-") + QUuid::createUuid().toString(QUuid::Id128);
    if (!QDir().mkpath(QFileInfo(memberPath).absolutePath()) || !QFile::copy(copy, incoming))
        return failed(RestoreError::Kind::Failed, QStringLiteral("cannot copy %1 beside %2").arg(copy, memberPath));
    Restored restored;
    {
        const MemberStore check(incoming);
        StoreFailure problem = check.openOrCreate();
        const StoreResult<bool> intact = problem ? StoreResult<bool>(*problem) : check.quickCheck();
        const StoreResult<qint64> members = intact ? check.rowCount() : StoreResult<qint64>(intact.error());
        if (!members || !*intact) {
            QFile::remove(incoming);
            return failed(RestoreError::Kind::BadCopy, QStringLiteral("%1 is not a sound member file").arg(copy),
                          members ? std::optional<StoreError>() : members.error());
        }
        restored.members = *members;
    }

    // The file in place, with what an interrupted save left beside it, goes aside under a name of its own.
    if (QFileInfo::exists(memberPath)) {
        const QFileInfo member(memberPath);
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss"));
        for (int n = 1; restored.keptAside.isEmpty() || QFileInfo::exists(restored.keptAside); ++n)
            restored.keptAside = member.absoluteDir().filePath(
                QStringLiteral("%1 (antes de restaurar %2%3).%4")
                    .arg(member.completeBaseName(), stamp, n > 1 ? QStringLiteral(" %1").arg(n) : QString(),
                         member.suffix()));
        if (!QFile::rename(memberPath, restored.keptAside)) {
            QFile::remove(incoming);
            return failed(RestoreError::Kind::Failed, QStringLiteral("cannot move %1 aside").arg(memberPath));
        }
        for (const char* beside : {"-wal", "-journal"})
            if (QFileInfo::exists(memberPath + QLatin1String(beside)))
                QFile::rename(memberPath + QLatin1String(beside), restored.keptAside + QLatin1String(beside));
        QFile::remove(memberPath + QStringLiteral("-shm"));
    }
    if (!QFile::rename(incoming, memberPath)) {
        QFile::remove(incoming);
        if (!restored.keptAside.isEmpty()) {
            QFile::rename(restored.keptAside, memberPath);
            for (const char* beside : {"-wal", "-journal"})
                QFile::rename(restored.keptAside + QLatin1String(beside), memberPath + QLatin1String(beside));
        }
        return failed(RestoreError::Kind::Failed, QStringLiteral("cannot move the copy into place"));
    }
    return restored;
}
