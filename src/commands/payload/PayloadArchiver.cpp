#include "commands/payload/PayloadArchiver.h"

#include "commands/payload/StagingExtraction.h"
#include "platform/LogCategories.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace vesk {

namespace {

using ArchivePtr = std::unique_ptr<archive, int (*)(archive *)>;
using EntryPtr = std::unique_ptr<archive_entry, void (*)(archive_entry *)>;

QString errorOf(archive *a)
{
    const char *text = archive_error_string(a);
    return text ? QString::fromUtf8(text) : QStringLiteral("unknown error");
}

// Copies one file's bytes into the current zip entry.
std::optional<QString> writeContents(archive *zip, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    while (true) {
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got < 0)
            return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        if (got == 0)
            return std::nullopt;
        if (archive_write_data(zip, chunk.constData(), size_t(got)) < 0)
            return errorOf(zip);
    }
}

std::optional<QString> writeFolder(archive *zip, const QString &folder)
{
    ArchivePtr disk(archive_read_disk_new(), archive_read_free);
    archive_read_disk_set_symlink_physical(disk.get());
    const QDir root(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        EntryPtr entry(archive_entry_new(), archive_entry_free);
        const QByteArray native = QFile::encodeName(path);
        archive_entry_copy_sourcepath(entry.get(), native.constData());
        if (archive_read_disk_entry_from_file(disk.get(), entry.get(), -1, nullptr) != ARCHIVE_OK)
            return errorOf(disk.get());
        const auto type = archive_entry_filetype(entry.get());
        if (type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK) {
            qCWarning(lcPayload).noquote() << "Payload capture skips" << path << "(not a file, folder or link)";
            continue;
        }
        const QByteArray relative = root.relativeFilePath(path).toUtf8();
        archive_entry_set_pathname(entry.get(), relative.constData());
        if (archive_write_header(zip, entry.get()) != ARCHIVE_OK)
            return errorOf(zip);
        if (type == AE_IFREG) {
            if (const auto failure = writeContents(zip, path))
                return failure;
        }
    }
    return std::nullopt;
}

} // namespace

PayloadArchiver::PayloadArchiver(QString tempDir, Limits limits)
    : m_tempDir(std::move(tempDir)), m_limits(limits)
{
}

ArchiveResult PayloadArchiver::archive(const QString &folder) const
{
    if (!QFileInfo(folder).isDir())
        return ArchiveResult::failure(ArchiveError::dittoFailed(folder + QStringLiteral(": No such directory")));
    QDir().mkpath(m_tempDir);
    const QString output = m_tempDir + QStringLiteral("/warden-payload-") +
                           QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".zip");
    ArchivePtr zip(archive_write_new(), archive_write_free);
    archive_write_set_format_zip(zip.get());
    std::optional<QString> failure;
    if (archive_write_open_filename(zip.get(), QFile::encodeName(output).constData()) != ARCHIVE_OK)
        failure = errorOf(zip.get());
    if (!failure)
        failure = writeFolder(zip.get(), folder);
    if (!failure && archive_write_close(zip.get()) != ARCHIVE_OK)
        failure = errorOf(zip.get());
    if (failure) {
        zip.reset();
        QFile::remove(output);
        return ArchiveResult::failure(ArchiveError::dittoFailed(failure->trimmed()));
    }
    return ArchiveResult::success(output);
}

StagedArchive PayloadArchiver::stage(const QString &archivePath, const FolderHandle &parent) const
{
    StagingExtraction extraction(archivePath, m_limits);
    return extraction.run(parent);
}

ArchiveResult PayloadArchiver::extract(const QString &archivePath, const QString &parent) const
{
    const Opened<FolderHandle> folder = FolderHandle::openTrusted(parent, true);
    if (!folder.ok())
        return ArchiveResult::failure(ArchiveError::dittoFailed(folder.error->text));
    const StagedArchive staged = stage(archivePath, folder.handle);
    if (!staged.ok())
        return ArchiveResult::failure(*staged.error);
    return ArchiveResult::success(folder.handle.path() + QLatin1Char('/') + staged.name);
}

} // namespace vesk
