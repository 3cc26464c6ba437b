#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

// The fields of /proc/PID/stat the workspace needs.
struct ProcStat {
    qint32 pid = 0;
    QString comm;          // may hold spaces and parentheses
    char state = '?';      // R, S, D, T, t, Z, X, ...
    qint32 ppid = 0;
    quint64 startTicks = 0; // clock ticks after boot

    bool operator==(const ProcStat &) const = default;
};

// One line of /proc/PID/stat. The command name runs to the last ')' of the line.
std::optional<ProcStat> parseProcStat(const QByteArray &text);

// /proc/PID/cmdline: NUL-separated arguments, usually NUL-terminated.
QStringList parseCmdline(const QByteArray &raw);

// The "btime" line of /proc/stat: boot time in seconds since 1970.
std::optional<qint64> parseBootTime(const QByteArray &procStatText);

// Start of a process from its start ticks, the boot time and the kernel's tick rate (UTC);
// none when the figures are too large for a date.
std::optional<QDateTime> processStartTime(qint64 bootTimeSeconds, quint64 startTicks, qint64 ticksPerSecond);

// The script an interpreter runs: the first argument after argv[0] that is not an option.
QString scriptArgument(const QStringList &argv);

// A stopped or traced process cannot answer; a zombie or dead one has ended.
inline bool isStoppedState(char state) { return state == 'T' || state == 't'; }
inline bool isEndedState(char state) { return state == 'Z' || state == 'X' || state == 'x'; }

} // namespace vesk
