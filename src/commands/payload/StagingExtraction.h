#pragma once

#include "commands/payload/ArchiveError.h"
#include "commands/payload/PayloadArchiver.h"
#include "platform/FolderHandle.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

struct archive;
struct archive_entry;

namespace vesk {

// One unpacking of a payload zip into a new staging folder, entry by entry: each entry is
// judged by ArchiveEntryPolicy, then written through folder handles, one name part at a time
// and never through a link, onto a name nothing occupies yet. Folders are made owner-only
// and get their own modes once everything is written, deepest first, so a folder of mode
// 000 neither stops the unpacking nor the removal of a failed one. The caps count what is
// actually written and created (every folder, the parents of deep names included), not
// what headers say.
class StagingExtraction {
public:
    // Payloads are zips; app releases also come as tar archives (gzip, xz or zstd).
    enum class Formats { zip, zipOrTar };

    StagingExtraction(QString archivePath, PayloadArchiver::Limits limits, Formats formats = Formats::zip);

    StagedArchive run(const FolderHandle &parent);

private:
    struct FolderFinish {
        unsigned mode = 0755;
        std::optional<qint64> modified; // seconds
        long modifiedNanoseconds = 0;
    };

    std::optional<ArchiveError> unpack(archive *reader);
    std::optional<ArchiveError> unpackEntry(archive *reader, archive_entry *entry);
    std::optional<ArchiveError> openParents(const QStringList &parts, FolderHandle &folder);
    std::optional<ArchiveError> writeFile(archive *reader, archive_entry *entry, const FolderHandle &folder,
                                          const QString &name);
    std::optional<ArchiveError> created();
    std::optional<ArchiveError> finishFolders();

    QString m_archivePath;
    PayloadArchiver::Limits m_limits;
    Formats m_formats;
    FolderHandle m_staging;
    QHash<QString, FolderFinish> m_folders; // relative path → what it gets at the end
    qint64 m_entries = 0;
    qint64 m_created = 0;
    qint64 m_bytes = 0;
};

} // namespace vesk
