#pragma once

#include "commands/payload/ArchiveError.h"
#include "platform/FolderHandle.h"

#include <QString>

namespace vesk {

// Bounds on what one payload may unpack to, so a small archive cannot fill the disk.
struct PayloadArchiveLimits {
    // Entries read, and separately everything unpacking creates: files, links and every
    // folder, the ones made for the parents of deep names included.
    qint64 maxEntries = 20000;
    qint64 maxTotalBytes = qint64(1) << 30; // 1 GiB of file content
};

// A payload unpacked into a fresh staging folder, kept open so that what is later moved into
// place is the folder that was checked.
struct StagedArchive {
    FolderHandle folder;
    QString name; // inside the folder it was staged in
    std::optional<ArchiveError> error;

    bool ok() const { return !error.has_value(); }
};

// Packs a settings folder into a zip and unpacks a payload zip into a fresh staging folder.
// Both calls do blocking file work: callers run them on a worker thread.
class PayloadArchiver {
public:
    using Limits = PayloadArchiveLimits;

    explicit PayloadArchiver(QString tempDir, Limits limits = {});

    // A new zip "warden-payload-<uuid>.zip" in the temporary folder holding the folder's
    // contents (not the folder itself). Links are stored as links.
    ArchiveResult archive(const QString &folder) const;

    // A new folder ".warden-staging-<uuid>" inside `parent` holding the archive's contents.
    // Every entry is checked before it is written and written through folder handles that
    // never follow a link; on any failure the staging folder is removed and nothing outside
    // it was touched.
    StagedArchive stage(const QString &archivePath, const FolderHandle &parent) const;
    // The same inside the folder at `parent` (made when missing); the result names the
    // staging folder by path.
    ArchiveResult extract(const QString &archivePath, const QString &parent) const;

    const Limits &limits() const { return m_limits; }

private:
    QString m_tempDir;
    Limits m_limits;
};

} // namespace vesk
