#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <optional>

namespace vesk::AtomicFile {

// Replaces the file at `path` with `bytes` so that a crash or power loss at any moment leaves
// either the old content or the new, never an empty or half-written file: the bytes go to a
// temporary file in the same folder, which is flushed to disk (fsync), renamed over the file,
// and then the folder itself is flushed so that the rename survives too. With `permissions`
// the temporary file gets them before the first byte lands. The folder must exist.
// None on success, else what went wrong (with the file's name) for the log.
std::optional<QString> write(const QString &path, const QByteArray &bytes,
                             std::optional<QFileDevice::Permissions> permissions = std::nullopt);

// Flushes a folder's entries to disk: a rename or a new file in it is durable only after
// this. False when the folder could not be opened or flushed.
bool syncFolder(const QString &folder);

} // namespace vesk::AtomicFile
