#include "platform/linux/BundleWalker.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesk {

namespace {

// Deeper trees than this are not application folders; stop rather than exhaust descriptors.
constexpr int kMaxDepth = 64;

struct Entry {
    std::string name;
    bool isDirectory;
};

int openDirectoryAt(int parent, const char *name)
{
    return ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Reads one folder; the descriptor is consumed. Type comes from d_type, or lstat when unknown.
template <typename Visit>
void readFolder(int fd, Visit &&visit)
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
        visit(::dirfd(dir), name, entry->d_type);
    }
    ::closedir(dir);
}

bool isDirectoryEntry(int parent, const char *name, unsigned char type)
{
    if (type != DT_UNKNOWN)
        return type == DT_DIR;
    struct stat st;
    return ::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

void findIn(int fd, const QString &path, int depth, QStringList &out)
{
    std::vector<std::string> folders;
    readFolder(fd, [&](int parent, const char *name, unsigned char type) {
        if (isDirectoryEntry(parent, name, type))
            folders.emplace_back(name);
    });
    std::sort(folders.begin(), folders.end());
    for (const std::string &name : folders) {
        const QString child = path + QLatin1Char('/') + QFile::decodeName(name.c_str());
        const size_t n = name.size();
        if (n > 4 && name.compare(n - 4, 4, ".app") == 0) {
            out.append(child);
            continue;
        }
        if (depth >= kMaxDepth)
            continue;
        const int childFd = ::open(QFile::encodeName(child).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (childFd >= 0)
            findIn(childFd, child, depth + 1, out);
    }
}

qint64 sumBlocks(int fd, int depth)
{
    qint64 total = 0;
    readFolder(fd, [&](int parent, const char *name, unsigned char type) {
        if (type == DT_DIR || type == DT_UNKNOWN) {
            if (depth < kMaxDepth) {
                const int childFd = openDirectoryAt(parent, name);
                if (childFd >= 0) {
                    total += sumBlocks(childFd, depth + 1);
                    return;
                }
            }
            if (type == DT_DIR)
                return;
        }
        struct stat st;
        if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
            total += qint64(st.st_blocks) * 512;
    });
    return total;
}

} // namespace

QStringList findBundleFolders(const QStringList &roots)
{
    QStringList out;
    for (const QString &root : roots) {
        // The root itself may be a link (an application folder moved to a bigger disk).
        const int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0)
            findIn(fd, root, 0, out);
    }
    return out;
}

std::optional<qint64> allocatedBytes(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    return sumBlocks(fd, 0);
}

} // namespace vesk
