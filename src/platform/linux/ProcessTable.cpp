#include "platform/linux/ProcessTable.h"

#include "platform/linux/ProcFile.h"

#include <QFile>

#include <cerrno>
#include <charconv>

#include <dirent.h>
#include <unistd.h>

namespace vesk {

namespace {

QByteArray bytes(const std::string &text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

std::optional<qint32> pidName(const char *name)
{
    const char *end = name;
    while (*end >= '0' && *end <= '9')
        ++end;
    qint32 pid = 0;
    const auto [ptr, ec] = std::from_chars(name, end, pid);
    if (end == name || *end != '\0' || ec != std::errc() || pid <= 0)
        return std::nullopt;
    return pid;
}

QString decodedLink(const std::string &target)
{
    QString decoded = QFile::decodeName(bytes(target));
    static const QString deleted = QStringLiteral(" (deleted)");
    if (decoded.endsWith(deleted))
        decoded.chop(deleted.size());
    return decoded;
}

int readLink(const std::string &path, std::string &target)
{
    char buffer[4096];
    target.clear();
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (n < 0)
        return errno;
    if (n == 0 || size_t(n) >= sizeof buffer)
        return ENAMETOOLONG;
    target.assign(buffer, size_t(n));
    return 0;
}

} // namespace

ProcessTable::ProcessTable(QString procRoot)
    : m_root(std::move(procRoot)), m_encodedRoot(QFile::encodeName(m_root).toStdString())
{
}

QList<ProcEntry> ProcessTable::entries() const
{
    QList<ProcEntry> out;
    DIR *dir = ::opendir(m_encodedRoot.c_str());
    if (!dir)
        return out;
    while (const dirent *entry = ::readdir(dir)) {
        if (const auto pid = pidName(entry->d_name))
            out.append(ProcEntry{*pid, quint64(entry->d_ino)});
    }
    ::closedir(dir);
    return out;
}

QList<qint32> ProcessTable::pids() const
{
    QList<qint32> out;
    for (const ProcEntry &entry : entries())
        out.append(entry.pid);
    return out;
}

QString ProcessTable::executable(qint32 pid) const
{
    std::string target;
    if (readExecutableLink(pid, target) != 0)
        return {};
    return decodedLink(target);
}

QStringList ProcessTable::commandLine(qint32 pid) const
{
    std::string raw;
    if (!readCommandLine(pid, raw))
        return {};
    return parseCmdline(bytes(raw));
}

QString ProcessTable::workingDirectory(qint32 pid) const
{
    std::string target;
    if (readLink(pidPath(pid, "cwd"), target) != 0)
        return {};
    return QFile::decodeName(bytes(target));
}

std::optional<ProcStat> ProcessTable::stat(qint32 pid) const
{
    std::string text;
    if (!readStat(pid, text))
        return std::nullopt;
    return parseProcStat(bytes(text));
}

std::optional<qint64> ProcessTable::bootTime() const
{
    std::string text;
    if (!readProcFile(QFile::encodeName(m_root + QStringLiteral("/stat")).constData(), text))
        return std::nullopt;
    return parseBootTime(bytes(text));
}

qint64 ProcessTable::ticksPerSecond() const
{
    return qint64(::sysconf(_SC_CLK_TCK));
}

int ProcessTable::readExecutableLink(qint32 pid, std::string &target) const
{
    return readLink(pidPath(pid, "exe"), target);
}

bool ProcessTable::readCommandLine(qint32 pid, std::string &raw) const
{
    return readProcFile(pidPath(pid, "cmdline").c_str(), raw);
}

bool ProcessTable::readStat(qint32 pid, std::string &text) const
{
    return readProcFile(pidPath(pid, "stat").c_str(), text);
}

std::string ProcessTable::pidPath(qint32 pid, const char *leaf) const
{
    return procPidPath(m_encodedRoot, pid, leaf);
}

} // namespace vesk
