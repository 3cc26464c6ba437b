#include "platform/linux/QtProcessRunner.h"

#include "platform/linux/EventWaiter.h"

#include <QProcess>

#include <qcoro/qcoroprocess.h>

namespace vesk {

namespace {
// After a kill the tool is gone at once; this only bounds a wait on a wedged kernel.
constexpr std::chrono::milliseconds killGrace{5000};
// Starting is fork and exec; far longer than that means the machine is wedged.
constexpr std::chrono::milliseconds startTimeout{30000};
} // namespace

QCoro::Task<ToolOutcome> QtProcessRunner::run(ToolInvocation invocation, ToolOptions options)
{
    QProcess process;
    process.setProgram(invocation.program);
    process.setArguments(invocation.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!options.captureStandardError)
        process.setStandardErrorFile(QProcess::nullDevice());

    ToolOutcome outcome;
    // Either a start or a failure to start ends the Starting state; waiting for the
    // started signal alone would sit out its whole time-out on a missing program.
    process.start();
    // Connected after start(), which itself signals the move into Starting.
    EventWaiter settled;
    QObject::connect(&process, &QProcess::stateChanged, &settled, &EventWaiter::wake);
    if (process.state() == QProcess::Starting) {
        const bool changed = co_await settled.wait(startTimeout);
        Q_UNUSED(changed)
    }
    const bool started = process.state() != QProcess::NotRunning || process.error() != QProcess::FailedToStart;
    if (!started) {
        outcome.errorText = process.errorString();
        co_return outcome;
    }
    outcome.started = true;

    const bool finished = co_await qCoro(process).waitForFinished(options.timeout);
    if (!finished) {
        outcome.timedOut = true;
        process.kill();
        const bool reaped = co_await qCoro(process).waitForFinished(killGrace);
        Q_UNUSED(reaped)
    }
    outcome.standardOutput = process.readAllStandardOutput();
    if (options.captureStandardError)
        outcome.standardError = process.readAllStandardError();
    outcome.crashed = !outcome.timedOut && process.exitStatus() == QProcess::CrashExit;
    outcome.exitCode = process.exitCode();
    if (outcome.crashed)
        outcome.errorText = process.errorString();
    co_return outcome;
}

} // namespace vesk
