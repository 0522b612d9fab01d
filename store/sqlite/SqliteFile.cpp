#include "store/sqlite/SqliteFile.h"

#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/vfs.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

constexpr char kDatabaseHeader[] = "SQLite format 3"; // followed by a zero byte
constexpr std::array<quint8, 8> kJournalMagic = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
constexpr int kWalHeaderSize = 32;
constexpr int kWalFrameHeaderSize = 24;

QByteArray readAt(QFile& file, qint64 offset, qint64 size)
{
    if (!file.seek(offset))
        return {};
    return file.read(size);
}

quint32 bigEndian32(const QByteArray& bytes, int offset)
{
    if (bytes.size() < offset + 4)
        return 0;
    const auto* b = reinterpret_cast<const quint8*>(bytes.constData() + offset);
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]);
}

// The database's page size, from its header (the value 1 stands for 65536).
int pageSizeOf(const QByteArray& header)
{
    if (header.size() < 18)
        return 0;
    const int size = quint8(header[16]) << 8 | quint8(header[17]);
    return size == 1 ? 65536 : size;
}

QByteArray headerOf(const QString& path, int size = 100)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

#ifdef Q_OS_UNIX
// Whether another process holds a lock on any of the bytes [offset, offset + length) of the file.
bool lockedByAnotherProcess(const QString& path, off_t offset, off_t length)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = length;
    const bool locked = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}
#endif

} // namespace

namespace SqliteFile {

bool hasDatabaseHeader(const QString& path)
{
    return headerOf(path, 16) == QByteArray(kDatabaseHeader, sizeof(kDatabaseHeader));
}

bool usesWriteAheadLog(const QString& path)
{
    const QByteArray header = headerOf(path);
    return header.size() >= 20 && header[18] == 2 && header[19] == 2;
}

Identity identityOf(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return {true, quint64(status.st_dev), quint64(status.st_ino)};
#elif defined(Q_OS_WIN)
    const HANDLE file =
        CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), 0,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!known)
        return {true, 0, 0};
    return {true, info.dwVolumeSerialNumber, quint64(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
#else
    return {QFileInfo::exists(path), 0, 0};
#endif
}

bool isNetworkFileSystemType(quint64 type)
{
    switch (type) {
    case 0x6969:     // NFS
    case 0x517B:     // SMB
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x73757245: // Coda
    case 0x5346414F: // AFS
    case 0x6B414653: // kAFS
    case 0x564C:     // NCP
    case 0x00C36400: // Ceph
    case 0x01021997: // 9P
    case 0x65735546: // FUSE: sshfs and other remote file systems among them
    case 0x01161970: // GFS2
    case 0x7461636F: // OCFS2
    case 0x0BD00BD0: // Lustre
    case 0x47504653: // GPFS
        return true;
    default:
        return false;
    }
}

JournalMode journalModeFor(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
#ifdef Q_OS_LINUX
    struct statfs status;
    if (::statfs(QFile::encodeName(folder).constData(), &status) == 0 &&
        isNetworkFileSystemType(quint64(quint32(status.f_type))))
        return JournalMode::RollbackJournal;
#elif defined(Q_OS_WIN)
    const QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (native.startsWith(QLatin1String("\\\\")))
        return JournalMode::RollbackJournal;
    const QString root = native.left(3); // "C:\"
    if (GetDriveTypeW(reinterpret_cast<const wchar_t*>(root.utf16())) == DRIVE_REMOTE)
        return JournalMode::RollbackJournal;
#else
    Q_UNUSED(folder);
#endif
    return JournalMode::WriteAheadLog;
}

std::optional<Leftover> leftoverBeside(const QString& databasePath)
{
    {
        const QString journal = databasePath + kJournalSuffix;
        const QByteArray magic = headerOf(journal, qsizetype(kJournalMagic.size()));
        if (magic == QByteArray(reinterpret_cast<const char*>(kJournalMagic.data()), qsizetype(kJournalMagic.size())))
            return Leftover{Leftover::Kind::RollbackJournal, journal};
    }
    const QString wal = databasePath + kLogSuffix;
    const QByteArray header = headerOf(wal, kWalHeaderSize);
    const quint32 magic = bigEndian32(header, 0);
    const quint32 pageSize = bigEndian32(header, 8);
    // A log with at least one whole frame; an empty or reset one holds nothing to replay.
    if ((magic == 0x377f0682 || magic == 0x377f0683) &&
        QFileInfo(wal).size() >= kWalHeaderSize + kWalFrameHeaderSize + qint64(pageSize))
        return Leftover{Leftover::Kind::WriteAheadLog, wal};
    return std::nullopt;
}

bool inUseByAnotherProcess(const Leftover& leftover, const QString& databasePath)
{
#ifdef Q_OS_UNIX
    // Every connection to a database in WAL mode holds a shared lock on byte 128 of its shared-memory file.
    if (leftover.kind == Leftover::Kind::WriteAheadLog)
        return logInUse(databasePath);
    // A writer in the middle of a transaction holds the reserved (or pending) lock on the database.
    return lockedByAnotherProcess(databasePath, 0x40000000, 2);
#else
    return leftover.kind == Leftover::Kind::WriteAheadLog && logInUse(databasePath);
#endif
}

bool logInUse(const QString& databasePath)
{
#ifdef Q_OS_UNIX
    return lockedByAnotherProcess(databasePath + kSharedMemorySuffix, 128, 1);
#else
    return QFileInfo::exists(databasePath + kSharedMemorySuffix);
#endif
}

std::optional<bool> journalMatches(const QString& journalPath, const QString& databasePath)
{
    QFile journal(journalPath);
    if (!journal.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = journal.size();
    const QByteArray database = headerOf(databasePath);
    const QByteArray magic(reinterpret_cast<const char*>(kJournalMagic.data()), qsizetype(kJournalMagic.size()));
    qint64 records = 0;
    qint64 offset = 0;
    // The journal is a series of segments, each a header padded to the sector size followed by its records.
    while (offset + 28 <= size) {
        const QByteArray header = readAt(journal, offset, 28);
        if (!header.startsWith(magic))
            break;
        quint32 count = bigEndian32(header, 8);
        const quint32 sectorSize = bigEndian32(header, 20);
        const quint32 pageSize = bigEndian32(header, 24);
        if (sectorSize < 32 || pageSize < 512 || int(pageSize) != pageSizeOf(database))
            return false;
        const qint64 recordSize = qint64(pageSize) + 8;
        const qint64 first = offset + sectorSize;
        if (count == 0xFFFFFFFF)
            count = quint32((size - first) / recordSize);
        for (quint32 i = 0; i < count && first + (i + 1) * recordSize <= size; ++i) {
            const QByteArray record = readAt(journal, first + i * recordSize, 4 + 100);
            ++records;
            if (bigEndian32(record, 0) != 1)
                continue;
            // Page 1 as it was: its change counter (offset 24) against the database's.
            const quint32 before = bigEndian32(record, 4 + 24);
            const quint32 now = bigEndian32(database, 24);
            return now == before || now == before + 1;
        }
        if (count == 0)
            break;
        // The next segment starts at the first sector boundary after the records.
        const qint64 end = first + qint64(count) * recordSize;
        offset = (end + sectorSize - 1) / sectorSize * sectorSize;
    }
    if (records == 0)
        return true;
    return std::nullopt;
}

Affinity affinityOf(const QString& declaredType)
{
    const QString type = declaredType.toUpper();
    if (type.contains(QLatin1String("INT")))
        return Affinity::Integer;
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) ||
        type.contains(QLatin1String("TEXT")))
        return Affinity::Text;
    if (type.isEmpty() || type.contains(QLatin1String("BLOB")))
        return Affinity::Blob;
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) ||
        type.contains(QLatin1String("DOUB")))
        return Affinity::Real;
    return Affinity::Numeric;
}

} // namespace SqliteFile
