#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

// Why an operation on a folder's entry failed.
struct FolderError {
    enum class Kind {
        missing,     // nothing has that name
        occupied,    // the name is taken
        notAFolder,  // a link, a file or something else stands where a folder was expected
        crossDevice, // a rename between two file systems
        other,
    };
    Kind kind = Kind::other;
    QString text; // "<path>: <reason>"
};

// What one entry is, read without following it.
struct FolderEntryStatus {
    enum class Type { missing, folder, file, link, other };
    Type type = Type::missing;
    unsigned mode = 0;      // permission bits, sticky included
    unsigned owner = 0;     // user id
    bool ownedByUs = false; // owned by the user this process runs as
};

template <class Handle> struct Opened {
    Handle handle;
    std::optional<FolderError> error;
    bool ok() const { return !error.has_value(); }
};

// A file created inside a FolderHandle, written through its descriptor.
class FileHandle {
public:
    FileHandle() = default;
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    FileHandle(FileHandle &&other) noexcept;
    FileHandle &operator=(FileHandle &&other) noexcept;
    ~FileHandle();

    std::optional<FolderError> write(const char *data, qint64 size);
    std::optional<FolderError> setMode(unsigned mode);
    std::optional<FolderError> setModifiedTime(qint64 seconds, long nanoseconds);

private:
    friend class FolderHandle;
    FileHandle(int fd, QString path) : m_fd(fd), m_path(std::move(path)) {}

    int m_fd = -1;
    QString m_path;
};

// An open folder, worked on through its descriptor. Every call names an entry directly inside
// it (or a relative path walked one part at a time) and never follows a symbolic link on the
// way, so a link swapped in for a folder after it was opened or checked redirects nothing:
// the handle keeps meaning the folder it opened, wherever that folder is moved.
// Copying a handle duplicates the descriptor. Blocking file work: worker threads only.
// Built on the POSIX *at() calls, which Linux and macOS share, so it needs no per-platform
// implementation.
class FolderHandle {
public:
    FolderHandle() = default;
    FolderHandle(const FolderHandle &other);
    FolderHandle &operator=(const FolderHandle &other);
    FolderHandle(FolderHandle &&other) noexcept;
    FolderHandle &operator=(FolderHandle &&other) noexcept;
    ~FolderHandle();

    // A fixed folder of the machine (the shared folder, the temporary folder), whose
    // ancestors belong to the machine's owner: links on the way are followed. With
    // `create`, missing folders are made first.
    static Opened<FolderHandle> openTrusted(const QString &path, bool create);

    bool isOpen() const { return m_fd >= 0; }
    // The path the folder had when opened, for messages.
    const QString &path() const { return m_path; }
    // The open descriptor, for *at() calls of a caller that walks many entries; stays owned here.
    int descriptor() const { return m_fd; }

    // The folder at `relative` below this one ("" or "." is this folder again). Fails with
    // notAFolder when any part is a link or not a folder. With `createMode`, missing parts are
    // made with that mode.
    Opened<FolderHandle> openFolder(const QString &relative, std::optional<unsigned> createMode = {}) const;
    // A new folder; occupied when the name is taken.
    Opened<FolderHandle> makeFolder(const QString &name, unsigned mode) const;
    // A new file, empty, mode 0600 until setMode; occupied when the name is taken.
    Opened<FileHandle> createFile(const QString &name) const;
    std::optional<FolderError> makeLink(const QString &name, const QByteArray &target) const;

    FolderEntryStatus status() const;
    FolderEntryStatus statusOf(const QString &name) const;
    // True when the entry `name` is `folder` itself: the same folder, not a link to it.
    bool holds(const QString &name, const FolderHandle &folder) const;
    // Names directly inside, without "." and "..".
    QStringList entries() const;

    std::optional<FolderError> setMode(unsigned mode) const;
    std::optional<FolderError> setModifiedTime(qint64 seconds, long nanoseconds) const;

    // rename(2) of one entry into `to` under `newName`; the entry moves as it is, a link as a link.
    std::optional<FolderError> rename(const QString &name, const FolderHandle &to, const QString &newName) const;
    // Copies the entry into `to` under `newName`: folders recursively, links as links, modes
    // kept. A partial copy is left for the caller to remove.
    std::optional<FolderError> copyTree(const QString &name, const FolderHandle &to, const QString &newName) const;
    // Removes the entry and everything below it, links as links. Folders whose mode keeps
    // their owner out (a folder of mode 000) are opened up first. Nothing there is fine.
    std::optional<FolderError> removeTree(const QString &name) const;

private:
    FolderHandle(int fd, QString path) : m_fd(fd), m_path(std::move(path)) {}
    QString pathOf(const QString &name) const;

    int m_fd = -1;
    QString m_path;
};

} // namespace vesk
