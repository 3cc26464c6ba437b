#include "platform/linux/PosixAccessProbe.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesk {

namespace {

// Closes a descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

int PosixAccessProbe::tryReplaceIn(const QString &folder) const
{
    // O_PATH: the test is about writing into the folder, not about reading its listing.
    const Descriptor dir{::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0)
        return errno;
    const QByteArray pid = QByteArray::number(::getpid());
    const QByteArray made = probeName + pid;
    const QByteArray renamed = renamedName + pid;
    // A folder, as a bundle is one; a leftover of an earlier probe of this process id goes first.
    ::unlinkat(dir.fd, made.constData(), AT_REMOVEDIR);
    ::unlinkat(dir.fd, renamed.constData(), AT_REMOVEDIR);
    if (::mkdirat(dir.fd, made.constData(), 0700) != 0)
        return errno;
    if (::renameat(dir.fd, made.constData(), dir.fd, renamed.constData()) != 0) {
        const int refused = errno;
        ::unlinkat(dir.fd, made.constData(), AT_REMOVEDIR);
        return refused;
    }
    if (::unlinkat(dir.fd, renamed.constData(), AT_REMOVEDIR) != 0)
        return errno;
    return 0;
}

int PosixAccessProbe::tryRead(const QString &path) const
{
    const Descriptor file{::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return errno;
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        return errno;
    if (!S_ISDIR(info.st_mode)) {
        char byte = 0;
        return ::read(file.fd, &byte, 1) < 0 ? errno : 0;
    }
    // Listing needs its own descriptor: fdopendir takes this one over.
    const int listed = ::dup(file.fd);
    if (listed < 0)
        return errno;
    DIR *entries = ::fdopendir(listed);
    if (!entries) {
        const int refused = errno;
        ::close(listed);
        return refused;
    }
    errno = 0;
    const bool read = ::readdir(entries) != nullptr || errno == 0;
    const int refused = errno;
    ::closedir(entries);
    return read ? 0 : refused;
}

} // namespace vesk
