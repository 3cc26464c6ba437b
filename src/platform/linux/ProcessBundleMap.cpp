#include "platform/linux/ProcessBundleMap.h"

#include "platform/linux/BundleLayout.h"

#include <QFile>

#include <cerrno>

namespace vesk {

namespace {

QString decodedExecutable(int error, const std::string &raw)
{
    if (error != 0)
        return {};
    QString exe = QFile::decodeName(QByteArray(raw.data(), qsizetype(raw.size())));
    static const QString deleted = QStringLiteral(" (deleted)");
    if (exe.endsWith(deleted))
        exe.chop(deleted.size());
    return exe;
}

} // namespace

QList<ProcessBundleMap::Match> ProcessBundleMap::scan(const ProcessTable &table)
{
    ++m_pass;
    QList<Match> matches;
    for (const ProcEntry &entry : table.entries()) {
        auto it = m_known.find(entry.pid);
        // An inode of 1 is the listing's stand-in for a folder it could not open: never trusted.
        const bool same = it != m_known.end() && it->inode == entry.inode && entry.inode > 1;
        if (!same || !unchanged(table, entry.pid, *it)) {
            if (it == m_known.end())
                it = m_known.insert(entry.pid, Known{});
            else
                *it = Known{};
            it->inode = entry.inode;
            resolve(table, entry.pid, *it);
        }
        it->seen = m_pass;
        if (!it->bundle.isEmpty())
            matches.append(Match{entry.pid, it->bundle});
    }
    m_known.removeIf([this](const auto &known) { return known.value().seen != m_pass; });
    return matches;
}

bool ProcessBundleMap::unchanged(const ProcessTable &table, qint32 pid, Known &known)
{
    // No program, looked at twice: a kernel thread or a zombie, neither of which runs one again.
    if (known.settled && known.exeError == ENOENT)
        return true;
    const int error = table.readExecutableLink(pid, m_exe);
    if (error != known.exeError || m_exe != known.exe)
        return false;
    if (!known.usesCmdline || (known.settled && error != EACCES)) {
        known.settled = true;
        return true;
    }
    if (!table.readCommandLine(pid, m_cmdline))
        m_cmdline.clear();
    if (m_cmdline != known.cmdline)
        return false;
    known.settled = true;
    if (error != EACCES)
        std::string().swap(known.cmdline); // not looked at again
    return true;
}

void ProcessBundleMap::resolve(const ProcessTable &table, qint32 pid, Known &known)
{
    known.exeError = table.readExecutableLink(pid, known.exe);
    const QString exe = decodedExecutable(known.exeError, known.exe);
    known.bundle = bundleContaining(exe);
    if (!known.bundle.isEmpty())
        return; // the program itself says it; its arguments cannot change that

    if (!table.readCommandLine(pid, known.cmdline))
        known.cmdline.clear();
    // A kernel thread has neither program nor arguments, and never gains them.
    known.usesCmdline = known.exeError != ENOENT || !known.cmdline.empty();
    const QStringList argv = parseCmdline(QByteArray(known.cmdline.data(), qsizetype(known.cmdline.size())));
    // Another user's executable link is closed to us; its argv[0] usually names it.
    if (exe.isEmpty() && !argv.isEmpty()) {
        known.bundle = bundleContaining(argv.first());
        if (!known.bundle.isEmpty())
            return;
    }
    QString script = scriptArgument(argv);
    if (script.isEmpty())
        return;
    if (!script.startsWith(QLatin1Char('/'))) {
        const QString cwd = table.workingDirectory(pid);
        if (cwd.isEmpty())
            return;
        script = cwd + QLatin1Char('/') + script;
    }
    known.bundle = bundleContaining(script);
}

} // namespace vesk
