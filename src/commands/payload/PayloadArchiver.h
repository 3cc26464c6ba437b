#pragma once

#include "commands/payload/ArchiveError.h"

#include <QString>

namespace vesk {

// Bounds on what one payload may unpack to, so a small archive cannot fill the disk.
struct PayloadArchiveLimits {
    qint64 maxEntries = 20000;
    qint64 maxTotalBytes = qint64(1) << 30; // 1 GiB of file content
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

    // A new folder "<parent>/.warden-staging-<uuid>" holding the archive's contents. Every
    // entry is checked before it is written and again, by its real path, after; on any
    // failure the staging folder is removed and nothing outside it was touched.
    ArchiveResult extract(const QString &archivePath, const QString &parent) const;

    const Limits &limits() const { return m_limits; }

private:
    QString m_tempDir;
    Limits m_limits;
};

} // namespace vesk
