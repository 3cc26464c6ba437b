#pragma once

#include "commands/payload/ArchiveError.h"

#include <QByteArray>
#include <QString>

#include <optional>

struct archive_entry;

namespace vesk {

// What one archive entry claims to be, as read from its header.
struct ArchiveEntryFacts {
    QByteArray name;                      // raw pathname bytes
    unsigned fileType = 0;                // S_IFREG, S_IFDIR, S_IFLNK, ...
    unsigned mode = 0;                    // permission bits including setuid, setgid, sticky
    bool hardLink = false;
    std::optional<QByteArray> linkTarget; // for symbolic links
};

// The rules an entry of a payload archive must meet before anything of it is written.
// Entries are refused, never rewritten: an archive with one bad entry is a bad archive.
namespace ArchiveEntryPolicy {

// What libarchive's header of one entry says, in the terms the rules below judge.
ArchiveEntryFacts factsOf(archive_entry *entry);

inline constexpr int maxNameBytes = 1024;
inline constexpr int maxComponentBytes = 255;
// Parts of one name, the file's own included: a 1024-byte name could otherwise ask for 512
// nested folders. Real settings folders stay far below this.
inline constexpr int maxNameParts = 32;

// Why the entry is refused, or none when it may be extracted.
std::optional<ArchiveError> refusal(const ArchiveEntryFacts &entry);

// The entry's path relative to the staging folder ("./a//b/" → "a/b"); call after refusal().
QString relativePath(const QByteArray &name);

} // namespace ArchiveEntryPolicy
} // namespace vesk
