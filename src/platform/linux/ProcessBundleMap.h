#pragma once

#include "platform/linux/ProcessTable.h"

#include <QHash>
#include <QList>
#include <QString>

#include <string>

namespace vesk {

// Which bundle each running process belongs to, worked out once per process instead of on
// every sample. Finding out costs the executable link, the command line and sometimes the
// working directory of every process on the machine; remembering it costs one link read.
//
// A remembered answer stands while the process is the same process running the same program:
//  - a reused pid shows as a new inode of its /proc folder (read with the folder listing);
//  - an exec() into another program changes the executable link, read again every pass
//    (except for kernel threads and zombies, which have none and never will again);
//  - where the link is closed to us (another user's process) the command line stands in for it
//    and is compared every pass;
//  - a new process is looked at twice before its answer is trusted: one caught between fork()
//    and exec() still shows its parent's program and arguments, and an exec() into a script for
//    the same interpreter changes the command line but not the executable.
// So the one change a remembered answer misses is a process we have looked at twice that later
// exec()s the very same executable with other arguments. Processes that vanished are forgotten.
class ProcessBundleMap {
public:
    struct Match {
        qint32 pid = 0;
        QString bundle;
    };
    // The processes of `table` that run from a bundle, in the table's order.
    QList<Match> scan(const ProcessTable &table);

private:
    struct Known {
        quint64 inode = 0;
        int exeError = 0;
        std::string exe;     // raw link target
        std::string cmdline; // raw, when the answer depended on it
        bool settled = false;
        bool usesCmdline = false;
        quint64 seen = 0;
        QString bundle;
    };
    void resolve(const ProcessTable &table, qint32 pid, Known &known);
    bool unchanged(const ProcessTable &table, qint32 pid, Known &known);

    QHash<qint32, Known> m_known;
    quint64 m_pass = 0;
    std::string m_exe;
    std::string m_cmdline;
};

} // namespace vesk
