#pragma once

#include "commands/payload/ArchiveError.h"
#include "commands/payload/PayloadArchiver.h"

#include <QString>

#include <optional>

struct archive;
struct archive_entry;

namespace vesk {

// One unpacking of a payload zip into a new staging folder, entry by entry: each entry
// is judged by ArchiveEntryPolicy, must land on a path whose folders are real folders
// inside staging and that nothing occupies yet, and is confirmed by its real path once
// written. The size and entry caps count what is actually written, not what headers say.
class StagingExtraction {
public:
    StagingExtraction(QString archivePath, PayloadArchiver::Limits limits);

    ArchiveResult run(const QString &parent);

private:
    std::optional<ArchiveError> unpack(archive *reader, archive *writer);
    std::optional<ArchiveError> unpackEntry(archive *reader, archive *writer, archive_entry *entry);
    std::optional<ArchiveError> checkLanding(const QString &relative, bool isDirectory) const;
    std::optional<ArchiveError> copyData(archive *reader, archive *writer);
    std::optional<ArchiveError> checkEverythingInside() const;
    bool resolvesInside(const QString &path) const;

    QString m_archivePath;
    PayloadArchiver::Limits m_limits;
    QString m_staging; // its real path
    qint64 m_entries = 0;
    qint64 m_bytes = 0;
};

} // namespace vesk
