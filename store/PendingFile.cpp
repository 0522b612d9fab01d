#include "store/PendingFile.h"

#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QUuid>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

const QString kMark = QStringLiteral(".new-");
// What SQLite makes beside a database.
const QStringList& kBeside = kSideFileSuffixes;

// A pending file's name, or one of the files beside it: the name it becomes, the mark and 32 hex digits.
const QRegularExpression& pendingName()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(.+%1[0-9a-f]{32})(%2)?$")
            .arg(QRegularExpression::escape(kMark), kBeside.join(QLatin1Char('|'))));
    return pattern;
}

// The files that this process is making, by absolute path.
class MadeHere
{
public:
    void add(const QString& path)
    {
        QMutexLocker lock(&m_mutex);
        m_paths.insert(QFileInfo(path).absoluteFilePath());
    }
    void remove(const QString& path)
    {
        QMutexLocker lock(&m_mutex);
        m_paths.remove(QFileInfo(path).absoluteFilePath());
    }
    bool contains(const QString& path)
    {
        QMutexLocker lock(&m_mutex);
        return m_paths.contains(QFileInfo(path).absoluteFilePath());
    }

private:
    QMutex m_mutex;
    QSet<QString> m_paths;
};

MadeHere& madeHere()
{
    static MadeHere files;
    return files;
}

bool removeWithBeside(const QString& path)
{
    const bool removed = QFile::remove(path);
    for (const QString& beside : kBeside)
        QFile::remove(path + beside);
    return removed;
}

bool folderWritable(const QString& folder)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
#else
    return QFileInfo(folder).isWritable();
#endif
}

} // namespace

Result<PendingFile, StoreError> PendingFile::create(const QString& target)
{
    const QString folder = QFileInfo(target).absolutePath();
    removeLeftovers(folder);
    QString why;
    for (int attempt = 0; attempt < 10; ++attempt) {
        const QString path = target + kMark + QUuid::createUuid().toString(QUuid::Id128);
        QFile made(path);
        if (!made.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            why = made.errorString();
            if (QFileInfo::exists(path))
                continue; // the name was taken: another one
            break;
        }
        made.close();
        Result<FileLock, FileLock::Refused> lock = FileLock::take(path, FileLock::Mode::Exclusive);
        if (lock)
            return PendingFile(target, path, std::move(lock).value());
        if (lock.error() == FileLock::Refused::NoLocks) // nor can any cleaner lock it: it is never removed
            return PendingFile(target, path, std::nullopt);
        // Another process's cleaner took it in the instant before the lock: it removes it.
        why = QStringLiteral("removed while it was made");
    }
    return StoreError{StoreError::Kind::Write, target, QStringLiteral("cannot create a file beside it: ") + why,
                      folderWritable(folder) ? StoreError::Cause::Other : StoreError::Cause::ReadOnly};
}

PendingFile::PendingFile(QString target, QString path, std::optional<FileLock> lock)
    : m_target(std::move(target)), m_path(std::move(path)), m_lock(std::move(lock))
{
    ::madeHere().add(m_path);
}

bool PendingFile::madeHere(const QString& path)
{
    return ::madeHere().contains(path);
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : m_target(std::move(other.m_target)), m_path(std::exchange(other.m_path, {})), m_lock(std::move(other.m_lock)),
      m_placed(other.m_placed)
{
    other.m_lock.reset();
}

PendingFile::~PendingFile()
{
    if (m_path.isEmpty())
        return;
    ::madeHere().remove(m_path);
    if (m_placed) {
        for (const QString& beside : kBeside)
            QFile::remove(m_path + beside);
    } else {
        removeWithBeside(m_path);
    }
}

StoreError PendingFile::failure(const QString& detail) const
{
    return StoreError{StoreError::Kind::Write, m_target, detail, StoreError::Cause::Other, {}};
}

StoreResult<bool> PendingFile::putInPlace()
{
    if (!flushFile(m_path))
        return failure(QStringLiteral("cannot flush %1 to the disk").arg(m_path));
    // In one step that fails when a file stands at the target, made there even a moment before. (QFile::rename()
    // looks first and then renames, or copies over the target when the rename fails.)
    const auto taken = [&] { return QFileInfo::exists(m_target) || QFileInfo(m_target).isSymLink(); };
#ifdef Q_OS_WIN
    if (!MoveFileExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(m_path).utf16()),
                     reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(m_target).utf16()), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
            return false;
        return failure(QStringLiteral("cannot name %1 as %2: MoveFileEx error %3").arg(m_path, m_target).arg(error));
    }
#else
    const QByteArray from = QFile::encodeName(m_path), to = QFile::encodeName(m_target);
    bool moved = false;
#ifdef Q_OS_LINUX
    moved = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0;
    if (!moved && errno == EEXIST)
        return false;
#endif
    // Where the file system cannot refuse to replace in a rename: a second name, which is never made over a file.
    if (!moved && ::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        moved = true;
    }
    if (!moved && errno == EEXIST)
        return false;
    // Nor second names (a FAT disk, some shares): looked at first.
    if (!moved && !taken())
        moved = ::rename(from.constData(), to.constData()) == 0;
    if (!moved) {
        if (taken())
            return false;
        return failure(
            QStringLiteral("cannot name %1 as %2: %3").arg(m_path, m_target, QString::fromLocal8Bit(strerror(errno))));
    }
#endif
    m_placed = true;
    flushFolder(QFileInfo(m_target).absolutePath());
    return true;
}

StoreResult<void> PendingFile::replaceTarget()
{
    if (!flushFile(m_path))
        return failure(QStringLiteral("cannot flush %1 to the disk").arg(m_path));
#ifdef Q_OS_WIN
    if (!MoveFileExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(m_path).utf16()),
                     reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(m_target).utf16()),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return failure(
            QStringLiteral("cannot move %1 over %2: MoveFileEx error %3").arg(m_path, m_target).arg(GetLastError()));
#else
    if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(m_target).constData()) != 0)
        return failure(QStringLiteral("cannot move %1 over %2: %3")
                           .arg(m_path, m_target, QString::fromLocal8Bit(strerror(errno))));
#endif
    m_placed = true;
    flushFolder(QFileInfo(m_target).absolutePath());
    return {};
}

QStringList PendingFile::removeLeftovers(const QString& folder)
{
    QStringList removed;
    const QDir dir(folder);
    const QStringList names = dir.entryList({QLatin1Char('*') + kMark + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = pendingName().match(name);
        if (!match.hasMatch())
            continue;
        const QString pending = dir.filePath(match.captured(1));
        if (match.hasCaptured(2)) {
            // Beside a pending file that is gone: its writer removed it, or put it in place, and then stopped.
            if (!QFileInfo::exists(pending) && QFile::remove(dir.filePath(name)))
                removed << dir.filePath(name);
            continue;
        }
        // A writer holds the lock for as long as it lives: a lock that can be taken is a writer's that is gone.
        const Result<FileLock, FileLock::Refused> lock = FileLock::take(pending, FileLock::Mode::Exclusive);
        if (lock && removeWithBeside(pending))
            removed << pending;
    }
    for (const QString& path : removed)
        qInfo("socios: removed %s, left by an interrupted write", qUtf8Printable(path));
    return removed;
}

bool PendingFile::flushFile(const QString& path)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool done = ::fsync(fd) == 0;
    ::close(fd);
    return done;
#elif defined(Q_OS_WIN)
    const HANDLE file =
        CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool done = FlushFileBuffers(file);
    CloseHandle(file);
    return done;
#else
    return QFileInfo::exists(path);
#endif
}

void PendingFile::flushFolder(const QString& folder)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

bool PendingFile::copyFile(const QString& from, const QString& to, QString& why)
{
    QFile source(from);
    QFile target(to);
    if (!source.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("cannot read %1: %2").arg(from, source.errorString());
        return false;
    }
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        why = QStringLiteral("cannot write %1: %2").arg(to, target.errorString());
        return false;
    }
    QByteArray block;
    while (!(block = source.read(1 << 20)).isEmpty())
        if (target.write(block) != block.size()) {
            why = QStringLiteral("cannot write %1: %2").arg(to, target.errorString());
            return false;
        }
    if (source.error() != QFileDevice::NoError || !target.flush()) {
        why = QStringLiteral("cannot copy %1 to %2: %3")
                  .arg(from, to, source.error() != QFileDevice::NoError ? source.errorString() : target.errorString());
        return false;
    }
    target.close();
    if (!flushFile(to)) {
        why = QStringLiteral("cannot flush %1 to the disk").arg(to);
        return false;
    }
    return true;
}
