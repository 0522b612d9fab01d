#include "store/FileLock.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QThread>

#include <map>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// The byte locked: far beyond the data of any member file, and beyond the bytes from 1 GiB on that SQLite locks.
// Windows enforces byte locks on reads and writes, so it must never be a byte that holds data.
constexpr qint64 kLockedByte = qint64(1) << 62;
// How often a lock held by another process is tried again.
constexpr unsigned long kRetryMilliseconds = 5;

// The files that this process holds exclusively, by identity, with how many locks it holds on each.
class HeldHere
{
public:
    void add(const SqliteFile::Identity& file)
    {
        QMutexLocker lock(&m_mutex);
        ++m_count[key(file)];
    }
    void remove(const SqliteFile::Identity& file)
    {
        QMutexLocker lock(&m_mutex);
        const auto found = m_count.find(key(file));
        if (found != m_count.end() && --found->second <= 0)
            m_count.erase(found);
    }
    bool contains(const SqliteFile::Identity& file)
    {
        QMutexLocker lock(&m_mutex);
        return m_count.count(key(file)) > 0;
    }

private:
    static std::pair<quint64, quint64> key(const SqliteFile::Identity& file) { return {file.device, file.inode}; }
    QMutex m_mutex;
    std::map<std::pair<quint64, quint64>, int> m_count;
};

HeldHere& heldExclusively()
{
    static HeldHere files;
    return files;
}

enum class Attempt { Taken, Busy, Failed };

#ifdef Q_OS_UNIX
using Handle = int;
constexpr Handle kNoHandle = -1;

Handle openHandle(const QString& path, FileLock::Mode mode)
{
    // An exclusive lock needs a descriptor that may write. O_NONBLOCK: a FIFO put at the path never blocks.
    const int access = mode == FileLock::Mode::Exclusive ? O_RDWR : O_RDONLY;
    return ::open(QFile::encodeName(path).constData(), access | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

void closeHandle(Handle handle)
{
    ::close(handle);
}

SqliteFile::Identity identityOf(Handle handle)
{
    struct stat status;
    if (::fstat(handle, &status) != 0)
        return {};
    return {true, quint64(status.st_dev), quint64(status.st_ino)};
}

Attempt lock(Handle handle, FileLock::Mode mode)
{
    struct flock request = {};
    request.l_type = mode == FileLock::Mode::Exclusive ? F_WRLCK : F_RDLCK;
    request.l_whence = SEEK_SET;
    request.l_start = off_t(kLockedByte);
    request.l_len = 1;
#ifdef F_OFD_SETLK
    // A lock of the open file description: closing another descriptor of the file (SQLite's) never drops it.
    if (::fcntl(handle, F_OFD_SETLK, &request) == 0)
        return Attempt::Taken;
    return errno == EAGAIN || errno == EACCES ? Attempt::Busy : Attempt::Failed;
#else
    Q_UNUSED(handle);
    Q_UNUSED(request);
    return Attempt::Failed;
#endif
}
#elif defined(Q_OS_WIN)
using Handle = HANDLE;
const Handle kNoHandle = INVALID_HANDLE_VALUE;

Handle openHandle(const QString& path, FileLock::Mode)
{
    // Shared with everyone, deleting and renaming included, so that the lock never stands in anybody's way.
    return CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
}

void closeHandle(Handle handle)
{
    CloseHandle(handle);
}

SqliteFile::Identity identityOf(Handle handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return {};
    return {true, info.dwVolumeSerialNumber, quint64(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

Attempt lock(Handle handle, FileLock::Mode mode)
{
    OVERLAPPED at = {};
    at.Offset = DWORD(kLockedByte & 0xFFFFFFFF);
    at.OffsetHigh = DWORD(kLockedByte >> 32);
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (mode == FileLock::Mode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (LockFileEx(handle, flags, 0, 1, 0, &at))
        return Attempt::Taken;
    return GetLastError() == ERROR_LOCK_VIOLATION ? Attempt::Busy : Attempt::Failed;
}
#endif

} // namespace

Result<FileLock, FileLock::Refused> FileLock::take(const QString& path, Mode mode, std::chrono::milliseconds wait)
{
#if defined(Q_OS_UNIX) || defined(Q_OS_WIN)
    const QDeadlineTimer deadline(wait);
    for (;;) {
        const SqliteFile::Identity named = SqliteFile::identityOf(path);
        if (!named.exists)
            return Refused::Missing;
        if (mode == Mode::Shared && heldExclusively().contains(named)) {
            FileLock borrowed;
            borrowed.m_identity = named;
            return borrowed;
        }
        const Handle handle = openHandle(path, mode);
        if (handle == kNoHandle)
            return SqliteFile::identityOf(path).exists ? Refused::NoLocks : Refused::Missing;
        const Attempt attempt = lock(handle, mode);
        const SqliteFile::Identity locked = identityOf(handle);
        if (attempt == Attempt::Taken && locked == SqliteFile::identityOf(path)) {
            FileLock taken;
            taken.m_handle = qintptr(handle);
            taken.m_mode = mode;
            taken.m_identity = locked;
            if (mode == Mode::Exclusive)
                heldExclusively().add(locked);
            return taken;
        }
        closeHandle(handle);
        if (attempt == Attempt::Failed)
            return Refused::NoLocks;
        if (attempt == Attempt::Busy && deadline.hasExpired())
            return Refused::Busy;
        // Busy, or the path names another file now (replaced meanwhile): try again.
        if (attempt == Attempt::Busy)
            QThread::msleep(kRetryMilliseconds);
    }
#else
    Q_UNUSED(path);
    Q_UNUSED(mode);
    Q_UNUSED(wait);
    return Refused::NoLocks;
#endif
}

FileLock::FileLock(FileLock&& other) noexcept
    : m_handle(std::exchange(other.m_handle, -1)), m_mode(other.m_mode), m_identity(std::exchange(other.m_identity, {}))
{}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        release();
        m_handle = std::exchange(other.m_handle, -1);
        m_mode = other.m_mode;
        m_identity = std::exchange(other.m_identity, {});
    }
    return *this;
}

FileLock::~FileLock()
{
    release();
}

void FileLock::release()
{
    if (m_handle == -1)
        return;
#if defined(Q_OS_UNIX) || defined(Q_OS_WIN)
    if (m_mode == Mode::Exclusive)
        heldExclusively().remove(m_identity);
    // Closing the file's own descriptor releases its lock.
    closeHandle(Handle(m_handle));
#endif
    m_handle = -1;
}
