#pragma once

#include "platform/linux/ProcParsers.h"

#include <QList>
#include <QString>

#include <optional>
#include <string>

namespace vesk {

// One process of the table and the inode of its /proc folder. The kernel makes a new inode for
// every process that takes a pid, so the pair tells a reused pid apart without opening anything.
// (The inode can also change while a process lives, when the kernel drops the folder from its
// cache; that only costs whoever relies on it a second look.)
struct ProcEntry {
    qint32 pid = 0;
    quint64 inode = 0;
};

// Reads the kernel's process table under a proc root ("/proc"). Entries of processes that
// end while being read, or that belong to users we may not inspect, come back empty.
class ProcessTable {
public:
    explicit ProcessTable(QString procRoot = QStringLiteral("/proc"));

    QList<ProcEntry> entries() const;
    QList<qint32> pids() const;
    // Target of /proc/PID/exe, without the " (deleted)" mark of a replaced binary.
    QString executable(qint32 pid) const;
    QStringList commandLine(qint32 pid) const;
    QString workingDirectory(qint32 pid) const;
    std::optional<ProcStat> stat(qint32 pid) const;
    std::optional<qint64> bootTime() const;
    qint64 ticksPerSecond() const;

    // The raw readers behind the above, into the caller's buffer, for checks that run every
    // sample. The link's target as the kernel gives it; 0, or the errno of the failed read
    // (ENOENT for kernel threads and zombies, EACCES for other users' processes).
    int readExecutableLink(qint32 pid, std::string &target) const;
    bool readCommandLine(qint32 pid, std::string &raw) const;
    bool readStat(qint32 pid, std::string &text) const;

private:
    std::string pidPath(qint32 pid, const char *leaf) const;

    QString m_root;
    std::string m_encodedRoot;
};

} // namespace vesk
