#pragma once

#include "platform/linux/SystemInfoParsers.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QString>

#include <chrono>
#include <optional>

namespace vesk {

class Clock;

// Whether a process can answer its user, from what the kernel shows of its main thread:
// - stopped or traced (T, t): it cannot run until someone continues it;
// - zombie or dead (Z, X): it has ended;
// - in uninterruptible sleep (D) for more than the limit without once being switched out:
//   stuck in the kernel, typically on a file system or device that stopped answering. A
//   process doing heavy disk I/O also shows D at any one look, but it is switched in and out
//   all the time, so its context-switch count moves; the kernel's own hung-task detector
//   tells the two apart the same way.
// A process whose files cannot be read does not respond either (it has gone).
//
// The D state is seen only at the moments someone asks, so "held" means: D at every look
// since the first, with the same switch count, for longer than the limit.
//
// Thread-safe: the responsiveness probe asks from a worker thread.
class ProcessHangWatch {
public:
    static constexpr std::chrono::milliseconds defaultUninterruptibleLimit = std::chrono::seconds(30);

    ProcessHangWatch(QString procRoot, const Clock &clock,
                     std::chrono::milliseconds uninterruptibleLimit = defaultUninterruptibleLimit);

    bool responds(qint32 pid) const;

    // The tracking alone, for one look at a process: true when it has been held in D too long.
    bool heldUninterruptible(qint32 pid, const ProcessStatFields &stat, std::optional<quint64> switches) const;

private:
    struct Held {
        quint64 startTicks = 0; // tells a reused pid apart
        std::optional<quint64> switches;
        QDateTime since;
        QDateTime lastSeen;
    };

    std::string pidPath(qint32 pid, const char *leaf) const;
    void forgetStale(const QDateTime &now) const;

    std::string m_encodedRoot;
    const Clock &m_clock;
    std::chrono::milliseconds m_limit;
    mutable QMutex m_mutex;
    mutable QHash<qint32, Held> m_held;
};

} // namespace vesk
