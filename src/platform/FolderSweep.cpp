#include "platform/FolderSweep.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesk {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

qint64 modifiedMs(const struct stat &st)
{
    return qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

bool isPackage(std::string_view name, const QStringList &suffixes)
{
    for (const QString &suffix : suffixes) {
        const QByteArray s = suffix.toUtf8();
        if (name.size() > size_t(s.size()) &&
            QByteArray::fromRawData(name.data() + name.size() - s.size(), s.size()).compare(s, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Opens the folder `name` inside `parent` when it is a real folder on `device`; -1 otherwise.
int openSubfolder(int parent, const char *name, quint64 device, int *otherMount = nullptr)
{
    const int fd = ::openat(parent, name, kFolderFlags);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || quint64(st.st_dev) != device) {
        if (otherMount)
            ++*otherMount;
        ::close(fd);
        return -1;
    }
    return fd;
}

// Calls `each(name, d_type)` for every entry but "." and "..". Takes ownership of `fd`.
template <class Each> void forEachEntry(int fd, Each each)
{
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        each(name, entry->d_type);
    }
    ::closedir(dir);
}

void walk(int fd, const QByteArray &folder, quint64 device, const SweepWalkOptions &options, SweepListing &listing)
{
    forEachEntry(fd, [&](const char *name, unsigned char type) {
        if (name[0] == '.')
            return; // hidden
        if (type == DT_LNK) {
            ++listing.linksSkipped;
            return;
        }
        struct stat st {};
        if (type == DT_UNKNOWN || type == DT_REG) {
            // The name decides most files before any stat.
            if (type == DT_REG && options.admits && !options.admits(name))
                return;
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                return;
            if (S_ISLNK(st.st_mode)) {
                ++listing.linksSkipped;
                return;
            }
            if (S_ISREG(st.st_mode)) {
                if (type == DT_UNKNOWN && options.admits && !options.admits(name))
                    return;
                listing.files.push_back(SweepFile{folder, QByteArray(name), modifiedMs(st), qint64(st.st_size),
                                                  quint64(st.st_dev), quint64(st.st_ino)});
                return;
            }
            if (!S_ISDIR(st.st_mode))
                return;
        } else if (type != DT_DIR) {
            return;
        }
        if (!options.includeSubfolders || isPackage(name, options.packageSuffixes))
            return;
        const int sub = openSubfolder(fd, name, device, &listing.otherMountsSkipped);
        if (sub < 0)
            return;
        walk(sub, folder.isEmpty() ? QByteArray(name) : folder + '/' + name, device, options, listing);
    });
}

// True when the folder open at `fd` is left holding nothing, or only ".DS_Store".
bool pruneEmpty(int fd, quint64 device, const QStringList &packageSuffixes, int &removed)
{
    bool empty = true;
    const int keep = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    forEachEntry(fd, [&](const char *name, unsigned char) {
        if (std::strcmp(name, ".DS_Store") == 0)
            return;
        struct stat st {};
        if (name[0] != '.' && ::fstatat(keep, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
            quint64(st.st_dev) == device && !isPackage(name, packageSuffixes)) {
            const int sub = openSubfolder(keep, name, device);
            if (sub >= 0) {
                const int held = ::fcntl(sub, F_DUPFD_CLOEXEC, 0);
                if (pruneEmpty(sub, device, packageSuffixes, removed)) {
                    ::unlinkat(held, ".DS_Store", 0);
                    if (::unlinkat(keep, name, AT_REMOVEDIR) == 0) {
                        ++removed;
                        ::close(held);
                        return;
                    }
                }
                ::close(held);
            }
        }
        empty = false;
    });
    ::close(keep);
    return empty;
}

} // namespace

FolderSweep::FolderSweep(FolderSweep &&other) noexcept
    : m_root(std::move(other.m_root)), m_path(std::move(other.m_path)), m_device(other.m_device), m_openFolder(std::move(other.m_openFolder)),
      m_openFd(other.m_openFd)
{
    other.m_openFd = -1;
}

FolderSweep &FolderSweep::operator=(FolderSweep &&other) noexcept
{
    if (this != &other) {
        if (m_openFd >= 0)
            ::close(m_openFd);
        m_root = std::move(other.m_root);
        m_path = std::move(other.m_path);
        m_device = other.m_device;
        m_openFolder = std::move(other.m_openFolder);
        m_openFd = other.m_openFd;
        other.m_openFd = -1;
    }
    return *this;
}

FolderSweep::~FolderSweep()
{
    if (m_openFd >= 0)
        ::close(m_openFd);
}

Opened<FolderSweep> FolderSweep::open(const QString &path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return {{}, FolderError{FolderError::Kind::other, path + QStringLiteral(": not a full path")}};
    Opened<FolderHandle> top = FolderHandle::openTrusted(QStringLiteral("/"), false);
    if (!top.ok())
        return {{}, top.error};
    Opened<FolderHandle> folder = top.handle.openFolder(path.mid(1));
    if (!folder.ok())
        return {{}, folder.error};
    struct stat st {};
    if (::fstat(folder.handle.descriptor(), &st) != 0)
        return {{}, FolderError{FolderError::Kind::other, path + QStringLiteral(": ") + systemError(errno)}};
    FolderSweep sweep;
    sweep.m_root = std::move(folder.handle);
    sweep.m_path = QDir::cleanPath(path);
    sweep.m_device = quint64(st.st_dev);
    return {std::move(sweep), std::nullopt};
}

QString FolderSweep::pathOf(const SweepFile &file) const
{
    QString path = m_path;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    if (!file.folder.isEmpty())
        path += QFile::decodeName(file.folder) + QLatin1Char('/');
    return path + QFile::decodeName(file.name);
}

SweepListing FolderSweep::list(const SweepWalkOptions &options) const
{
    SweepListing listing;
    const int fd = ::fcntl(m_root.descriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return listing;
    ::lseek(fd, 0, SEEK_SET);
    walk(fd, {}, m_device, options, listing);
    return listing;
}

int FolderSweep::folderDescriptor(const QByteArray &folder)
{
    if (m_openFd >= 0 && m_openFolder == folder)
        return m_openFd;
    if (m_openFd >= 0)
        ::close(m_openFd);
    m_openFd = -1;
    m_openFolder = folder;
    int fd = ::fcntl(m_root.descriptor(), F_DUPFD_CLOEXEC, 0);
    for (const QByteArray &part : folder.split('/')) {
        if (fd < 0 || part.isEmpty())
            continue;
        const int next = openSubfolder(fd, part.constData(), m_device);
        ::close(fd);
        fd = next;
    }
    m_openFd = fd;
    return fd;
}

SweepRemoval FolderSweep::check(int folderFd, const SweepFile &file) const
{
    if (folderFd < 0)
        return {SweepRemoval::Kind::changed, {}};
    struct stat st {};
    if (::fstatat(folderFd, file.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return {errno == ENOENT ? SweepRemoval::Kind::gone : SweepRemoval::Kind::failed, systemError(errno)};
    if (!S_ISREG(st.st_mode) || quint64(st.st_dev) != file.device || quint64(st.st_ino) != file.inode)
        return {SweepRemoval::Kind::changed, {}};
    return {SweepRemoval::Kind::removed, {}};
}

SweepRemoval FolderSweep::remove(const SweepFile &file)
{
    const int fd = folderDescriptor(file.folder);
    const SweepRemoval found = check(fd, file);
    if (found.kind != SweepRemoval::Kind::removed)
        return found;
    if (::unlinkat(fd, file.name.constData(), 0) != 0)
        return {errno == ENOENT ? SweepRemoval::Kind::gone : SweepRemoval::Kind::failed, systemError(errno)};
    return {SweepRemoval::Kind::removed, {}};
}

SweepRemoval FolderSweep::moveToTrash(const SweepFile &file)
{
    const int fd = folderDescriptor(file.folder);
    const SweepRemoval found = check(fd, file);
    if (found.kind != SweepRemoval::Kind::removed)
        return found;
    // The Trash takes a path: confirm the path still leads, without a link, to the very file
    // and folder held here before handing it over.
    const QString path = pathOf(file);
    const QByteArray native = QFile::encodeName(path);
    struct stat byPath {};
    struct stat folder {};
    char resolved[PATH_MAX];
    const QByteArray parent = QFile::encodeName(path.section(QLatin1Char('/'), 0, -2, QString::SectionIncludeLeadingSep));
    if (::lstat(native.constData(), &byPath) != 0 || !S_ISREG(byPath.st_mode) ||
        quint64(byPath.st_ino) != file.inode || quint64(byPath.st_dev) != file.device ||
        !::realpath(parent.isEmpty() ? "/" : parent.constData(), resolved) ||
        QByteArray(resolved) != (parent.isEmpty() ? QByteArray("/") : parent) || ::fstat(fd, &folder) != 0)
        return {SweepRemoval::Kind::changed, {}};
    struct stat parentStat {};
    if (::stat(resolved, &parentStat) != 0 || parentStat.st_ino != folder.st_ino || parentStat.st_dev != folder.st_dev)
        return {SweepRemoval::Kind::changed, {}};
    // Without the user's data folder, Qt settles on a Trash relative to the working folder.
    static const bool dataFolderReady =
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (!dataFolderReady)
        return {SweepRemoval::Kind::failed, QStringLiteral("no Trash folder")};
    QFile trashed(path);
    if (!trashed.moveToTrash())
        return {SweepRemoval::Kind::failed, trashed.errorString()};
    return {SweepRemoval::Kind::removed, {}};
}

int FolderSweep::removeEmptyFolders(const QStringList &packageSuffixes)
{
    int removed = 0;
    const int fd = ::fcntl(m_root.descriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    ::lseek(fd, 0, SEEK_SET);
    pruneEmpty(fd, m_device, packageSuffixes, removed);
    return removed;
}

} // namespace vesk
