#include "storage/file_checks.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t OwnerOnlyFolderMode = 0700;
constexpr mode_t OwnerOnlyFileMode = 0600;

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

const QString notRegular = QStringLiteral("not a regular file");

bool setMode(const QByteArray& name, const struct stat& info, mode_t mode, QString* error)
{
    if ((info.st_mode & 07777) == mode)
        return true;
    if (::chmod(name.constData(), mode) != 0) {
        setError(error, systemError(errno));
        return false;
    }
    return true;
}

} // namespace

PathKind pathKind(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT ? PathKind::Missing : PathKind::Other;
    return S_ISREG(info.st_mode) ? PathKind::RegularFile : PathKind::Other;
}

bool openRegularFile(QFile& file, const QString& path, QString* error)
{
    const PathKind kind = pathKind(path);
    if (kind != PathKind::RegularFile) {
        setError(error, kind == PathKind::Missing ? systemError(ENOENT) : notRegular);
        return false;
    }
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        setError(error, systemError(errno));
        return false;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        setError(error, notRegular);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        setError(error, file.errorString());
        return false;
    }
    return true;
}

bool makeFolderOwnerOnly(const QString& path, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        setError(error, QStringLiteral("not a folder"));
        return false;
    }
    return setMode(name, info, OwnerOnlyFolderMode, error);
}

bool makeFileOwnerOnly(const QString& path, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::lstat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return true;
    return setMode(name, info, OwnerOnlyFileMode, error);
}
