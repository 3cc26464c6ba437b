#include "platform/FolderHandle.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesk {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

FolderError errorFor(int code, const QString &path)
{
    FolderError error;
    switch (code) {
    case ENOENT:
        error.kind = FolderError::Kind::missing;
        break;
    case EEXIST:
    case ENOTEMPTY:
        error.kind = FolderError::Kind::occupied;
        break;
    case ELOOP:
    case ENOTDIR:
        error.kind = FolderError::Kind::notAFolder;
        break;
    case EXDEV:
        error.kind = FolderError::Kind::crossDevice;
        break;
    default:
        break;
    }
    error.text = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code));
    return error;
}

FolderEntryStatus statusFrom(const struct stat &st)
{
    FolderEntryStatus status;
    if (S_ISDIR(st.st_mode))
        status.type = FolderEntryStatus::Type::folder;
    else if (S_ISREG(st.st_mode))
        status.type = FolderEntryStatus::Type::file;
    else if (S_ISLNK(st.st_mode))
        status.type = FolderEntryStatus::Type::link;
    else
        status.type = FolderEntryStatus::Type::other;
    status.mode = st.st_mode & 07777;
    status.owner = st.st_uid;
    status.ownedByUs = st.st_uid == ::geteuid();
    return status;
}

QStringList partsOf(const QString &relative)
{
    QStringList parts = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    return parts;
}

std::optional<FolderError> setTimes(int fd, qint64 seconds, long nanoseconds, const QString &path)
{
    const timespec times[2] = {{time_t(seconds), nanoseconds}, {time_t(seconds), nanoseconds}};
    if (::futimens(fd, times) != 0)
        return errorFor(errno, path);
    return std::nullopt;
}

} // namespace

FileHandle::FileHandle(FileHandle &&other) noexcept : m_fd(other.m_fd), m_path(std::move(other.m_path))
{
    other.m_fd = -1;
}

FileHandle &FileHandle::operator=(FileHandle &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

FileHandle::~FileHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<FolderError> FileHandle::write(const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errorFor(errno, m_path);
        data += written;
        size -= written;
    }
    return std::nullopt;
}

std::optional<FolderError> FileHandle::setMode(unsigned mode)
{
    if (::fchmod(m_fd, mode_t(mode)) != 0)
        return errorFor(errno, m_path);
    return std::nullopt;
}

std::optional<FolderError> FileHandle::setModifiedTime(qint64 seconds, long nanoseconds)
{
    return setTimes(m_fd, seconds, nanoseconds, m_path);
}

FolderHandle::FolderHandle(const FolderHandle &other)
    : m_fd(other.m_fd >= 0 ? ::fcntl(other.m_fd, F_DUPFD_CLOEXEC, 0) : -1), m_path(other.m_path)
{
}

FolderHandle &FolderHandle::operator=(const FolderHandle &other)
{
    if (this != &other)
        *this = FolderHandle(other);
    return *this;
}

FolderHandle::FolderHandle(FolderHandle &&other) noexcept : m_fd(other.m_fd), m_path(std::move(other.m_path))
{
    other.m_fd = -1;
}

FolderHandle &FolderHandle::operator=(FolderHandle &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

FolderHandle::~FolderHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString FolderHandle::pathOf(const QString &name) const
{
    return m_path + QLatin1Char('/') + name;
}

Opened<FolderHandle> FolderHandle::openTrusted(const QString &path, bool create)
{
    const QString clean = QDir::cleanPath(path);
    if (create)
        QDir().mkpath(clean);
    const int fd = ::open(QFile::encodeName(clean).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {{}, errorFor(errno, clean)};
    return {FolderHandle(fd, clean), std::nullopt};
}

Opened<FolderHandle> FolderHandle::openFolder(const QString &relative, std::optional<unsigned> createMode) const
{
    FolderHandle current(*this);
    for (const QString &part : partsOf(relative)) {
        const QByteArray name = QFile::encodeName(part);
        const QString path = current.pathOf(part);
        int fd = ::openat(current.m_fd, name.constData(), kFolderFlags);
        if (fd < 0 && errno == ENOENT && createMode) {
            if (::mkdirat(current.m_fd, name.constData(), mode_t(*createMode)) != 0 && errno != EEXIST)
                return {{}, errorFor(errno, path)};
            fd = ::openat(current.m_fd, name.constData(), kFolderFlags);
        }
        if (fd < 0)
            return {{}, errorFor(errno, path)};
        current = FolderHandle(fd, path);
    }
    return {std::move(current), std::nullopt};
}

Opened<FolderHandle> FolderHandle::makeFolder(const QString &name, unsigned mode) const
{
    const QByteArray native = QFile::encodeName(name);
    if (::mkdirat(m_fd, native.constData(), mode_t(mode)) != 0)
        return {{}, errorFor(errno, pathOf(name))};
    const int fd = ::openat(m_fd, native.constData(), kFolderFlags);
    if (fd < 0)
        return {{}, errorFor(errno, pathOf(name))};
    return {FolderHandle(fd, pathOf(name)), std::nullopt};
}

Opened<FileHandle> FolderHandle::createFile(const QString &name) const
{
    const int fd = ::openat(m_fd, QFile::encodeName(name).constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return {{}, errorFor(errno, pathOf(name))};
    return {FileHandle(fd, pathOf(name)), std::nullopt};
}

std::optional<FolderError> FolderHandle::makeLink(const QString &name, const QByteArray &target) const
{
    if (::symlinkat(target.constData(), m_fd, QFile::encodeName(name).constData()) != 0)
        return errorFor(errno, pathOf(name));
    return std::nullopt;
}

FolderEntryStatus FolderHandle::status() const
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return {};
    return statusFrom(st);
}

FolderEntryStatus FolderHandle::statusOf(const QString &name) const
{
    struct stat st {};
    if (::fstatat(m_fd, QFile::encodeName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    return statusFrom(st);
}

bool FolderHandle::holds(const QString &name, const FolderHandle &folder) const
{
    struct stat entry {};
    struct stat held {};
    return ::fstatat(m_fd, QFile::encodeName(name).constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(folder.m_fd, &held) == 0 && S_ISDIR(entry.st_mode) && entry.st_dev == held.st_dev &&
           entry.st_ino == held.st_ino;
}

QStringList FolderHandle::entries() const
{
    QStringList names;
    const int fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return names;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return names;
    }
    ::rewinddir(dir); // the duplicate shares the read position with the handle
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

std::optional<FolderError> FolderHandle::setMode(unsigned mode) const
{
    if (::fchmod(m_fd, mode_t(mode)) != 0)
        return errorFor(errno, m_path);
    return std::nullopt;
}

std::optional<FolderError> FolderHandle::setModifiedTime(qint64 seconds, long nanoseconds) const
{
    return setTimes(m_fd, seconds, nanoseconds, m_path);
}

std::optional<FolderError> FolderHandle::rename(const QString &name, const FolderHandle &to,
                                                const QString &newName) const
{
    if (::renameat(m_fd, QFile::encodeName(name).constData(), to.m_fd, QFile::encodeName(newName).constData()) != 0)
        return errorFor(errno, pathOf(name));
    return std::nullopt;
}

std::optional<FolderError> FolderHandle::copyTree(const QString &name, const FolderHandle &to,
                                                  const QString &newName) const
{
    const QByteArray native = QFile::encodeName(name);
    const FolderEntryStatus source = statusOf(name);
    switch (source.type) {
    case FolderEntryStatus::Type::folder: {
        const Opened<FolderHandle> from = openFolder(name);
        if (!from.ok())
            return from.error;
        const Opened<FolderHandle> copy = to.makeFolder(newName, 0700);
        if (!copy.ok())
            return copy.error;
        for (const QString &entry : from.handle.entries()) {
            if (const auto failure = from.handle.copyTree(entry, copy.handle, entry))
                return failure;
        }
        return copy.handle.setMode(source.mode);
    }
    case FolderEntryStatus::Type::file: {
        const int in = ::openat(m_fd, native.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (in < 0)
            return errorFor(errno, pathOf(name));
        Opened<FileHandle> out = to.createFile(newName);
        std::optional<FolderError> failure = out.error;
        std::vector<char> buffer(1 << 16);
        while (!failure) {
            const ssize_t got = ::read(in, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                failure = errorFor(errno, pathOf(name));
            else if (got == 0)
                break;
            else
                failure = out.handle.write(buffer.data(), got);
        }
        ::close(in);
        if (!failure)
            failure = out.handle.setMode(source.mode);
        return failure;
    }
    case FolderEntryStatus::Type::link: {
        QByteArray target(4096, '\0');
        const ssize_t length = ::readlinkat(m_fd, native.constData(), target.data(), size_t(target.size()));
        if (length < 0)
            return errorFor(errno, pathOf(name));
        target.truncate(length);
        return to.makeLink(newName, target);
    }
    case FolderEntryStatus::Type::missing:
        return errorFor(ENOENT, pathOf(name));
    case FolderEntryStatus::Type::other:
        break;
    }
    return FolderError{FolderError::Kind::other, pathOf(name) + QStringLiteral(": not a file, folder or link")};
}

std::optional<FolderError> FolderHandle::removeTree(const QString &name) const
{
    const QByteArray native = QFile::encodeName(name);
    const FolderEntryStatus status = statusOf(name);
    if (status.type == FolderEntryStatus::Type::missing)
        return std::nullopt;
    if (status.type == FolderEntryStatus::Type::folder) {
        // AT_SYMLINK_NOFOLLOW: should a link take the folder's place meanwhile, the call fails
        // instead of opening up whatever the link points at.
        if ((status.mode & S_IRWXU) != S_IRWXU &&
            ::fchmodat(m_fd, native.constData(), mode_t(status.mode | S_IRWXU), AT_SYMLINK_NOFOLLOW) != 0)
            return errorFor(errno, pathOf(name));
        const Opened<FolderHandle> folder = openFolder(name);
        if (!folder.ok())
            return folder.error;
        for (const QString &entry : folder.handle.entries()) {
            if (const auto failure = folder.handle.removeTree(entry))
                return failure;
        }
    }
    const int flags = status.type == FolderEntryStatus::Type::folder ? AT_REMOVEDIR : 0;
    if (::unlinkat(m_fd, native.constData(), flags) != 0 && errno != ENOENT)
        return errorFor(errno, pathOf(name));
    return std::nullopt;
}

} // namespace vesk
