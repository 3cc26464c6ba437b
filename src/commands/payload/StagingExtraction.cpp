#include "commands/payload/StagingExtraction.h"

#include "commands/payload/ArchiveEntryPolicy.h"
#include "platform/LogCategories.h"

#include <QFile>
#include <QUuid>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <memory>

namespace vesk {

namespace {

using ArchivePtr = std::unique_ptr<archive, int (*)(archive *)>;

ArchiveError libraryError(archive *a)
{
    const char *text = archive_error_string(a);
    return ArchiveError::dittoFailed(text ? QString::fromUtf8(text).trimmed() : QStringLiteral("unknown error"));
}

// A name already taken, or a link or file where a folder should be: the archive tries to
// write through or over something, which only an escape attempt does.
ArchiveError fromFolderError(const FolderError &error)
{
    if (error.kind == FolderError::Kind::occupied || error.kind == FolderError::Kind::notAFolder)
        return ArchiveError::escapedStaging();
    return ArchiveError::dittoFailed(error.text);
}

constexpr unsigned kWorkingFolderMode = 0700;

} // namespace

StagingExtraction::StagingExtraction(QString archivePath, PayloadArchiver::Limits limits, Formats formats)
    : m_archivePath(std::move(archivePath)), m_limits(limits), m_formats(formats)
{
}

StagedArchive StagingExtraction::run(const FolderHandle &parent)
{
    const QString name = QStringLiteral(".warden-staging-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    // Owner-only while it fills: nobody else may look or write into it before the swap.
    Opened<FolderHandle> made = parent.makeFolder(name, kWorkingFolderMode);
    if (!made.ok())
        return StagedArchive{{}, {}, ArchiveError::dittoFailed(made.error->text + QStringLiteral(": cannot create folder"))};
    m_staging = std::move(made.handle);

    ArchivePtr reader(archive_read_new(), archive_read_free);
    archive_read_support_format_zip(reader.get());
    if (m_formats == Formats::zipOrTar) {
        archive_read_support_format_tar(reader.get());
        archive_read_support_filter_gzip(reader.get());
        archive_read_support_filter_xz(reader.get());
        archive_read_support_filter_zstd(reader.get());
    }
    std::optional<ArchiveError> failure;
    if (archive_read_open_filename(reader.get(), QFile::encodeName(m_archivePath).constData(), 1 << 16) !=
        ARCHIVE_OK)
        failure = libraryError(reader.get());
    if (!failure)
        failure = unpack(reader.get());
    if (!failure)
        failure = finishFolders();
    if (!failure && m_staging.entries().isEmpty())
        failure = ArchiveError::emptyArchive();
    if (failure) {
        m_staging = {};
        if (const auto left = parent.removeTree(name))
            qCWarning(lcPayload).noquote() << "Could not remove the staging folder:" << left->text;
        return StagedArchive{{}, {}, failure};
    }
    return StagedArchive{std::move(m_staging), name, std::nullopt};
}

std::optional<ArchiveError> StagingExtraction::unpack(archive *reader)
{
    while (true) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader, &entry);
        if (status == ARCHIVE_EOF)
            return std::nullopt;
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            return libraryError(reader);
        if (++m_entries > m_limits.maxEntries)
            return ArchiveError::dittoFailed(
                QStringLiteral("the archive holds more than %1 entries").arg(m_limits.maxEntries));
        if (const auto failure = unpackEntry(reader, entry))
            return failure;
    }
}

std::optional<ArchiveError> StagingExtraction::unpackEntry(archive *reader, archive_entry *entry)
{
    const ArchiveEntryFacts facts = ArchiveEntryPolicy::factsOf(entry);
    if (const auto refused = ArchiveEntryPolicy::refusal(facts))
        return refused;
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > m_limits.maxTotalBytes - m_bytes)
        return ArchiveError::dittoFailed(
            QStringLiteral("the archive unpacks to more than %1 bytes").arg(m_limits.maxTotalBytes));

    const QString relative = ArchiveEntryPolicy::relativePath(facts.name);
    const QStringList parts = relative.split(QLatin1Char('/'));
    FolderHandle folder;
    if (const auto failure = openParents(parts, folder))
        return failure;
    const QString &name = parts.last();

    switch (facts.fileType) {
    case AE_IFDIR: {
        // A folder an earlier entry's name already made gets its own mode now.
        const FolderEntryStatus existing = folder.statusOf(name);
        if (existing.type != FolderEntryStatus::Type::folder) {
            if (const Opened<FolderHandle> made = folder.makeFolder(name, kWorkingFolderMode); !made.ok())
                return fromFolderError(*made.error);
            if (const auto failure = created())
                return failure;
        }
        FolderFinish &finish = m_folders[relative];
        finish.mode = facts.mode;
        if (archive_entry_mtime_is_set(entry)) {
            finish.modified = archive_entry_mtime(entry);
            finish.modifiedNanoseconds = archive_entry_mtime_nsec(entry);
        }
        return std::nullopt;
    }
    case AE_IFLNK:
        if (const auto failure = folder.makeLink(name, *facts.linkTarget))
            return fromFolderError(*failure);
        return created();
    default:
        return writeFile(reader, entry, folder, name);
    }
}

std::optional<ArchiveError> StagingExtraction::openParents(const QStringList &parts, FolderHandle &folder)
{
    folder = m_staging;
    QString relative;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        relative += (i ? QStringLiteral("/") : QString()) + parts[i];
        Opened<FolderHandle> next = folder.openFolder(parts[i]);
        if (!next.ok() && next.error->kind == FolderError::Kind::missing) {
            next = folder.makeFolder(parts[i], kWorkingFolderMode);
            if (next.ok()) {
                m_folders.insert(relative, FolderFinish{});
                if (const auto failure = created())
                    return failure;
            }
        }
        if (!next.ok())
            return fromFolderError(*next.error);
        folder = std::move(next.handle);
    }
    return std::nullopt;
}

std::optional<ArchiveError> StagingExtraction::writeFile(archive *reader, archive_entry *entry,
                                                         const FolderHandle &folder, const QString &name)
{
    Opened<FileHandle> file = folder.createFile(name);
    if (!file.ok())
        return fromFolderError(*file.error);
    if (const auto failure = created())
        return failure;
    QByteArray block(1 << 16, Qt::Uninitialized);
    while (true) {
        const la_ssize_t got = archive_read_data(reader, block.data(), size_t(block.size()));
        if (got < 0)
            return libraryError(reader);
        if (got == 0)
            break;
        m_bytes += got;
        if (m_bytes > m_limits.maxTotalBytes)
            return ArchiveError::dittoFailed(
                QStringLiteral("the archive unpacks to more than %1 bytes").arg(m_limits.maxTotalBytes));
        if (const auto failure = file.handle.write(block.constData(), got))
            return ArchiveError::dittoFailed(failure->text);
    }
    std::optional<FolderError> failure = file.handle.setMode(archive_entry_perm(entry) & 0777);
    if (!failure && archive_entry_mtime_is_set(entry))
        failure = file.handle.setModifiedTime(archive_entry_mtime(entry), archive_entry_mtime_nsec(entry));
    if (failure)
        return ArchiveError::dittoFailed(failure->text);
    return std::nullopt;
}

std::optional<ArchiveError> StagingExtraction::created()
{
    if (++m_created > m_limits.maxEntries)
        return ArchiveError::dittoFailed(
            QStringLiteral("the archive creates more than %1 files and folders").arg(m_limits.maxEntries));
    return std::nullopt;
}

std::optional<ArchiveError> StagingExtraction::finishFolders()
{
    // Deepest first: a folder that shuts its owner out is closed only after everything
    // below it is done.
    QStringList paths = m_folders.keys();
    std::sort(paths.begin(), paths.end(), [](const QString &a, const QString &b) {
        return a.count(QLatin1Char('/')) > b.count(QLatin1Char('/'));
    });
    for (const QString &path : paths) {
        const FolderFinish &finish = m_folders[path];
        const Opened<FolderHandle> folder = m_staging.openFolder(path);
        if (!folder.ok())
            return fromFolderError(*folder.error);
        std::optional<FolderError> failure = folder.handle.setMode(finish.mode);
        if (!failure && finish.modified)
            failure = folder.handle.setModifiedTime(*finish.modified, finish.modifiedNanoseconds);
        if (failure)
            return ArchiveError::dittoFailed(failure->text);
    }
    return std::nullopt;
}

} // namespace vesk
