#include "credentials/CredentialScanner.h"

#include "credentials/CredentialFileParser.h"
#include "credentials/CredentialsLog.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace vesk {

CredentialScanner::CredentialScanner(Log log) : m_log(std::move(log)) {}

QStringList CredentialScanner::candidates(const QString &folder, bool recursive) const
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable()) {
        m_log(QStringLiteral("CREDENTIALS scan: cannot list ") + folder);
        return {};
    }
    if (recursive)
        return listRecursively(folder);
    QStringList found;
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        if (credentialfiles::isCandidateFileName(name))
            found.append(dir.filePath(name));
    }
    return found;
}

QStringList CredentialScanner::listRecursively(const QString &folder) const
{
    QStringList found;
    int listed = 0;
    // Symlinked folders are not followed: a link back up the tree would never end.
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (++listed > maxListedFiles) {
            m_log(QStringLiteral("CREDENTIALS scan: stopped listing %1 after %2 files").arg(folder).arg(maxListedFiles));
            break;
        }
        if (credentialfiles::isCandidateFileName(it.fileName()))
            found.append(path);
    }
    found.sort();
    return found;
}

std::optional<CredentialSet> CredentialScanner::read(const QString &path, const QDateTime &readAt) const
{
    // isFile() is false for devices, pipes and sockets, which could block or never end.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > credentialfiles::maxFileBytes) {
        qCDebug(lcCredentials) << "skipping" << path << "(not a regular file of at most"
                               << credentialfiles::maxFileBytes << "bytes)";
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The size may have changed since it was checked; read no more than the cap in any case.
    const QByteArray bytes = file.read(credentialfiles::maxFileBytes + 1);
    if (bytes.size() > credentialfiles::maxFileBytes)
        return std::nullopt;
    const std::optional<QString> text = credentialfiles::decodeText(bytes);
    if (!text)
        return std::nullopt;
    return credentialfiles::parseText(*text, info.fileName(), readAt);
}

} // namespace vesk
