#include "commands/payload/ArchiveEntryPolicy.h"

#include <QList>
#include <QStringList>

#include <archive_entry.h>
#include <sys/stat.h>

namespace vesk::ArchiveEntryPolicy {

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

namespace {

bool hasControlOrBackslash(const QByteArray &bytes)
{
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '\\')
            return true;
    }
    return false;
}

bool hasDotDot(const QByteArray &path)
{
    const QList<QByteArray> parts = path.split('/');
    for (const QByteArray &part : parts) {
        if (part == "..")
            return true;
    }
    return false;
}

QString quoted(const QByteArray &name) { return QLatin1Char('"') + QString::fromUtf8(name) + QLatin1Char('"'); }

// A link may only point down from its own folder: relative, without "..", so every hop of
// a chain of links stays below the folder that holds it.
bool linkStaysInside(const QByteArray &target)
{
    return !target.isEmpty() && !target.startsWith('/') && !hasControlOrBackslash(target) && !hasDotDot(target);
}

} // namespace

std::optional<ArchiveError> refusal(const ArchiveEntryFacts &entry)
{
    const QByteArray &name = entry.name;
    // Backslashes are separators to other unpackers, control characters hide what a name says.
    if (name.isEmpty() || name.startsWith('/') || hasControlOrBackslash(name) || hasDotDot(name))
        return ArchiveError::escapedStaging();
    if (relativePath(name).isEmpty())
        return ArchiveError::escapedStaging(); // names the staging folder itself
    if (name.size() > maxNameBytes)
        return ArchiveError::dittoFailed(QStringLiteral("an entry name is longer than %1 bytes").arg(maxNameBytes));
    for (const QByteArray &part : name.split('/')) {
        if (part.size() > maxComponentBytes)
            return ArchiveError::dittoFailed(
                QStringLiteral("an entry name has a part longer than %1 bytes").arg(maxComponentBytes));
    }
    if (relativePath(name).count(QLatin1Char('/')) + 1 > maxNameParts)
        return ArchiveError::dittoFailed(QStringLiteral("an entry name has more than %1 parts").arg(maxNameParts));
    if (entry.hardLink)
        return ArchiveError::escapedStaging();

    switch (entry.fileType) {
    case S_IFREG:
    case S_IFDIR:
        break;
    case S_IFLNK:
        if (!entry.linkTarget || !linkStaysInside(*entry.linkTarget))
            return ArchiveError::escapedStaging();
        break;
    case S_IFCHR:
    case S_IFBLK:
        return ArchiveError::dittoFailed(quoted(name) + QStringLiteral(" is a device file"));
    case S_IFIFO:
        return ArchiveError::dittoFailed(quoted(name) + QStringLiteral(" is a named pipe"));
    default:
        return ArchiveError::dittoFailed(quoted(name) + QStringLiteral(" is not a file, folder or link"));
    }
    if (entry.mode & (S_ISUID | S_ISGID))
        return ArchiveError::dittoFailed(quoted(name) + QStringLiteral(" has the setuid or setgid bit"));
    return std::nullopt;
}

QString relativePath(const QByteArray &name)
{
    QStringList kept;
    for (const QByteArray &part : name.split('/')) {
        if (!part.isEmpty() && part != ".")
            kept.append(QString::fromUtf8(part));
    }
    return kept.join(QLatin1Char('/'));
}

} // namespace vesk::ArchiveEntryPolicy
