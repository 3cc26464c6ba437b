#include "platform/linux/ProcessTable.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace vesk {

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return file.readAll();
}

QString readLink(const QString &path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    if (n <= 0 || size_t(n) >= sizeof buffer)
        return {};
    return QFile::decodeName(QByteArray(buffer, n));
}

} // namespace

ProcessTable::ProcessTable(QString procRoot) : m_root(std::move(procRoot)) {}

QList<qint32> ProcessTable::pids() const
{
    QList<qint32> out;
    const QStringList names = QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        bool ok = false;
        const qint32 pid = name.toInt(&ok);
        if (ok && pid > 0)
            out.append(pid);
    }
    return out;
}

QString ProcessTable::executable(qint32 pid) const
{
    QString target = readLink(pidPath(pid, "exe"));
    static const QString deleted = QStringLiteral(" (deleted)");
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return target;
}

QStringList ProcessTable::commandLine(qint32 pid) const
{
    return parseCmdline(readAll(pidPath(pid, "cmdline")));
}

QString ProcessTable::workingDirectory(qint32 pid) const
{
    return readLink(pidPath(pid, "cwd"));
}

std::optional<ProcStat> ProcessTable::stat(qint32 pid) const
{
    return parseProcStat(readAll(pidPath(pid, "stat")));
}

std::optional<qint64> ProcessTable::bootTime() const
{
    return parseBootTime(readAll(m_root + QStringLiteral("/stat")));
}

qint64 ProcessTable::ticksPerSecond() const
{
    return qint64(::sysconf(_SC_CLK_TCK));
}

QString ProcessTable::pidPath(qint32 pid, const char *leaf) const
{
    return m_root + QLatin1Char('/') + QString::number(pid) + QLatin1Char('/') + QLatin1String(leaf);
}

} // namespace vesk
