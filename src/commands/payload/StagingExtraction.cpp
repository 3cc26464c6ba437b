#include "commands/payload/StagingExtraction.h"

#include "commands/payload/ArchiveEntryPolicy.h"
#include "commands/payload/PathContainment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <archive.h>
#include <archive_entry.h>

#include <filesystem>
#include <memory>

namespace vesk {

namespace {

namespace fs = std::filesystem;

using ArchivePtr = std::unique_ptr<archive, int (*)(archive *)>;

ArchiveError libraryError(archive *a)
{
    const char *text = archive_error_string(a);
    return ArchiveError::dittoFailed(text ? QString::fromUtf8(text).trimmed() : QStringLiteral("unknown error"));
}

fs::file_status statusOf(const QString &path)
{
    std::error_code ec;
    return fs::symlink_status(fs::path(QFile::encodeName(path).toStdString()), ec);
}

ArchiveEntryFacts factsOf(archive_entry *entry)
{
    ArchiveEntryFacts facts;
    if (const char *name = archive_entry_pathname(entry))
        facts.name = QByteArray(name);
    facts.fileType = archive_entry_filetype(entry);
    facts.mode = archive_entry_mode(entry) & 07777;
    facts.hardLink = archive_entry_hardlink(entry) != nullptr;
    if (const char *target = archive_entry_symlink(entry))
        facts.linkTarget = QByteArray(target);
    else if (facts.fileType == AE_IFLNK)
        facts.linkTarget = QByteArray();
    return facts;
}

// The destination paths handed to the disk writer are absolute paths inside staging that we
// build ourselves, so libarchive's SECURE_NOABSOLUTEPATHS would refuse every one of them;
// ArchiveEntryPolicy refuses absolute names in the archive instead, before the rewrite.
// Relative destinations would need chdir(), which is process-wide and unsafe on a worker thread.
constexpr int kDiskFlags = ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                           ARCHIVE_EXTRACT_NO_OVERWRITE | ARCHIVE_EXTRACT_TIME;

} // namespace

StagingExtraction::StagingExtraction(QString archivePath, PayloadArchiver::Limits limits)
    : m_archivePath(std::move(archivePath)), m_limits(limits)
{
}

ArchiveResult StagingExtraction::run(const QString &parent)
{
    const QString staging = QDir::cleanPath(parent) + QStringLiteral("/.warden-staging-") +
                            QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!QDir().mkpath(staging))
        return ArchiveResult::failure(ArchiveError::dittoFailed(staging + QStringLiteral(": cannot create folder")));
    m_staging = QFileInfo(staging).canonicalFilePath();

    ArchivePtr reader(archive_read_new(), archive_read_free);
    archive_read_support_format_zip(reader.get());
    ArchivePtr writer(archive_write_disk_new(), archive_write_free);
    archive_write_disk_set_options(writer.get(), kDiskFlags);

    std::optional<ArchiveError> failure;
    if (archive_read_open_filename(reader.get(), QFile::encodeName(m_archivePath).constData(), 1 << 16) !=
        ARCHIVE_OK)
        failure = libraryError(reader.get());
    if (!failure)
        failure = unpack(reader.get(), writer.get());
    // Closing applies the deferred folder times; only then is the tree final.
    if (archive_write_close(writer.get()) != ARCHIVE_OK && !failure)
        failure = libraryError(writer.get());
    if (!failure)
        failure = checkEverythingInside();
    if (!failure && QDir(m_staging).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        failure = ArchiveError::emptyArchive();
    if (failure) {
        QDir(m_staging).removeRecursively();
        return ArchiveResult::failure(*failure);
    }
    return ArchiveResult::success(m_staging);
}

std::optional<ArchiveError> StagingExtraction::unpack(archive *reader, archive *writer)
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
        if (const auto failure = unpackEntry(reader, writer, entry))
            return failure;
    }
}

std::optional<ArchiveError> StagingExtraction::unpackEntry(archive *reader, archive *writer, archive_entry *entry)
{
    const ArchiveEntryFacts facts = factsOf(entry);
    if (const auto refused = ArchiveEntryPolicy::refusal(facts))
        return refused;
    const QString relative = ArchiveEntryPolicy::relativePath(facts.name);
    if (const auto refused = checkLanding(relative, facts.fileType == AE_IFDIR))
        return refused;
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > m_limits.maxTotalBytes - m_bytes)
        return ArchiveError::dittoFailed(
            QStringLiteral("the archive unpacks to more than %1 bytes").arg(m_limits.maxTotalBytes));

    const QString destination = m_staging + QLatin1Char('/') + relative;
    archive_entry_set_pathname(entry, QFile::encodeName(destination).constData());
    if (archive_write_header(writer, entry) != ARCHIVE_OK)
        return libraryError(writer);
    if (facts.fileType == AE_IFREG) {
        if (const auto failure = copyData(reader, writer))
            return failure;
    }
    if (archive_write_finish_entry(writer) != ARCHIVE_OK)
        return libraryError(writer);
    if (!resolvesInside(destination))
        return ArchiveError::escapedStaging();
    return std::nullopt;
}

std::optional<ArchiveError> StagingExtraction::checkLanding(const QString &relative, bool isDirectory) const
{
    const QStringList parts = relative.split(QLatin1Char('/'));
    QString path = m_staging;
    for (int i = 0; i < parts.size(); ++i) {
        path += QLatin1Char('/') + parts[i];
        const fs::file_status status = statusOf(path);
        if (!fs::exists(status))
            return std::nullopt; // libarchive creates the rest as plain folders
        const bool last = i == parts.size() - 1;
        if (!last && status.type() != fs::file_type::directory)
            return ArchiveError::escapedStaging(); // through a link, or through a file
        if (last && !(isDirectory && status.type() == fs::file_type::directory))
            return ArchiveError::escapedStaging(); // would replace an earlier entry
    }
    return std::nullopt;
}

std::optional<ArchiveError> StagingExtraction::copyData(archive *reader, archive *writer)
{
    while (true) {
        const void *block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return std::nullopt;
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            return libraryError(reader);
        m_bytes += qint64(size);
        if (m_bytes > m_limits.maxTotalBytes)
            return ArchiveError::dittoFailed(
                QStringLiteral("the archive unpacks to more than %1 bytes").arg(m_limits.maxTotalBytes));
        if (archive_write_data_block(writer, block, size, offset) != ARCHIVE_OK)
            return libraryError(writer);
    }
}

bool StagingExtraction::resolvesInside(const QString &path) const
{
    // A link whose target does not exist (yet) resolves to nothing; the policy already
    // holds its target below its own folder.
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() || PathContainment::isWithin(real, m_staging);
}

std::optional<ArchiveError> StagingExtraction::checkEverythingInside() const
{
    QDirIterator it(m_staging, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (!resolvesInside(it.next()))
            return ArchiveError::escapedStaging();
    }
    return std::nullopt;
}

} // namespace vesk
