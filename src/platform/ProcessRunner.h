#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <optional>

namespace vesk {

// A command-line tool and its arguments, always passed as a list: nothing is ever
// handed to a shell, so no argument can be read as more than one.
struct ToolInvocation {
    QString program;
    QStringList arguments;

    bool operator==(const ToolInvocation &) const = default;
};

// How one run of a tool went. `started` false means the program never ran and
// `errorText` says why; otherwise the exit and what the tool wrote.
struct ToolOutcome {
    bool started = false;
    bool crashed = false;   // ended by a signal
    bool timedOut = false;  // killed after the time limit
    int exitCode = 0;
    QByteArray standardOutput;
    QByteArray standardError;
    QString errorText;

    bool succeeded() const { return started && !crashed && !timedOut && exitCode == 0; }
};

struct ToolOptions {
    // Standard error goes nowhere when false, so a chatty tool cannot fill a pipe.
    bool captureStandardError = true;
    // A tool still running after this long is killed; what it wrote so far is kept.
    std::chrono::milliseconds timeout{60000};
};

// Runs command-line tools as child processes and waits for them without blocking the
// main thread. Output is read while the tool runs, so a large output never stalls it.
class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    virtual QCoro::Task<ToolOutcome> run(ToolInvocation invocation, ToolOptions options = {}) = 0;
};

// The tool that prints the last five minutes of the system log in its short form,
// narrowed to one application when an identifier is given. The identifier must have
// been checked against the bundle-identifier pattern before it gets here.
using RecentLogQuery = std::function<ToolInvocation(const std::optional<QString> &bundleIdentifier)>;

} // namespace vesk
