#include "intake/AccessFile.h"

#include "intake/AccessHeader.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool hasAccessHeader(const QString& path)
{
    constexpr qsizetype length = AccessHeader::kLength;
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
    return AccessHeader::matches(head.constData());
}
