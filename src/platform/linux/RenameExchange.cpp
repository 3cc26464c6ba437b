#include "platform/linux/RenameExchange.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace vesk {

namespace {

std::optional<FolderError> renamed(const QString &from, const QString &to, unsigned flags)
{
    const QByteArray a = QFile::encodeName(from);
    const QByteArray b = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), flags) == 0)
        return std::nullopt;
    const int error = errno;
    FolderError failure;
    failure.text = from + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    switch (error) {
    case ENOENT: failure.kind = FolderError::Kind::missing; break;
    case EEXIST: failure.kind = FolderError::Kind::occupied; break;
    case EXDEV: failure.kind = FolderError::Kind::crossDevice; break;
    default: failure.kind = FolderError::Kind::other; break;
    }
    return failure;
}

} // namespace

std::optional<FolderError> RenameExchange::exchange(const QString &a, const QString &b)
{
    return renamed(a, b, RENAME_EXCHANGE);
}

std::optional<FolderError> RenameExchange::moveNew(const QString &from, const QString &to)
{
    return renamed(from, to, RENAME_NOREPLACE);
}

} // namespace vesk
