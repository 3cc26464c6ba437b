#pragma once

#include "platform/FolderHandle.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <string_view>
#include <vector>

namespace vesk {

// One regular file found by a sweep, named by bytes as the file system has it.
struct SweepFile {
    QByteArray folder; // below the swept folder, parts joined by '/'; empty for the folder itself
    QByteArray name;
    qint64 modifiedMs = 0; // since the epoch
    qint64 size = 0;
    quint64 device = 0;
    quint64 inode = 0;
};

struct SweepWalkOptions {
    bool includeSubfolders = true;
    // Folder name endings (".app", ...) of packages, which are never entered.
    QStringList packageSuffixes;
    // Which file names count; all when unset.
    std::function<bool(std::string_view name)> admits;
};

struct SweepListing {
    std::vector<SweepFile> files;
    int linksSkipped = 0;
    int otherMountsSkipped = 0;
};

struct SweepRemoval {
    enum class Kind {
        removed,
        gone,    // someone else removed it first
        changed, // another file or a link now has its name, or its folder moved: left alone
        failed,
    };
    Kind kind = Kind::failed;
    QString error; // the system's description of a failure
};

// One folder being cleaned, held by its descriptor. The folder is opened one path
// component at a time from "/" without following a link, so a folder that was swapped for
// a link after it was checked opens nothing. Walks never follow a link, never enter hidden
// folders or packages and never cross into another mounted file system; removals work
// through the descriptors of the folders found, so a link put in a subfolder's place
// meanwhile redirects nothing. Blocking: worker threads only.
class FolderSweep {
public:
    FolderSweep() = default;
    FolderSweep(const FolderSweep &) = delete;
    FolderSweep &operator=(const FolderSweep &) = delete;
    FolderSweep(FolderSweep &&other) noexcept;
    FolderSweep &operator=(FolderSweep &&other) noexcept;
    ~FolderSweep();

    // `path` must be absolute with no links in it (already resolved).
    static Opened<FolderSweep> open(const QString &path);

    const QString &path() const { return m_path; }
    QString pathOf(const SweepFile &file) const;

    // Regular files, hidden files left out.
    SweepListing list(const SweepWalkOptions &options) const;
    // unlink(2) through the file's folder, after checking the name still means the file listed.
    SweepRemoval remove(const SweepFile &file);
    // The user's Trash, once the file's path is confirmed to still lead to the file listed.
    SweepRemoval moveToTrash(const SweepFile &file);
    // Removes, deepest first, every folder below this one that holds nothing or only a
    // ".DS_Store" file; hidden folders, packages and other mounts are left alone. Returns
    // how many went.
    int removeEmptyFolders(const QStringList &packageSuffixes);

private:
    int folderDescriptor(const QByteArray &folder);
    SweepRemoval check(int folderFd, const SweepFile &file) const;

    FolderHandle m_root;
    QString m_path;
    quint64 m_device = 0;
    QByteArray m_openFolder; // the folder whose descriptor is kept for consecutive removals
    int m_openFd = -1;
};

} // namespace vesk
