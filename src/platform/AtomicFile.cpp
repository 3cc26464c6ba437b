#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace vesk::AtomicFile {

std::optional<QString> write(const QString &path, const QByteArray &bytes,
                             std::optional<QFileDevice::Permissions> permissions)
{
    // QSaveFile writes a temporary file beside `path`, fsyncs it and renames it over `path`
    // on commit; it leaves the folder unsynced, which is the last step here.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    if (permissions)
        file.setPermissions(*permissions);
    // write() only fills QSaveFile's buffer; the bytes meet the disk in flush(). commit()
    // does not look at how that went, so a full disk or a short write would rename an empty
    // or cut-off file over the good one: flush here and give up on any failure.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return QStringLiteral("%1: %2").arg(path, why);
    }
    if (!file.commit())
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    if (!syncFolder(QFileInfo(path).absolutePath()))
        return QStringLiteral("%1: written, but its folder could not be flushed to disk").arg(path);
    return std::nullopt;
}

bool syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace vesk::AtomicFile
