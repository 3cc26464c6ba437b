#pragma once

#include "platform/SourceSite.h"
#include "platform/StopToken.h"

#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>

namespace vesk {

class Clock;

// The run of a service's periodic loop: one pass, then a sleep on the injected clock, again
// and again until the service stops or is destroyed. Each start makes a fresh stop state, so a
// loop from an earlier run that is still inside its pass ends after it instead of carrying on
// beside the new one.
class LoopRun {
public:
    // One pass of the service's work.
    using Pass = std::function<QCoro::Task<>()>;
    // How long to sleep after a pass, asked each time (low-data mode may change it).
    using Wait = std::function<std::chrono::milliseconds()>;

    bool isRunning() const { return m_running; }
    // The current run's token: stopped once the run ends.
    StopToken token() const { return m_stop.token(); }

    // Starts the loop, its first pass at once; false (and nothing started) while a run is on.
    // `pass` and `wait` are only called while `owner` exists. The loop's sleeps are reported
    // as the caller's (a clock that logs its sleepers names the service, not this helper).
    bool start(QObject *owner, Clock &clock, Pass pass, Wait wait,
               SourceSite site = SourceSite::current());
    // Ends the run: a sleeping loop ends at once, a pass under way finishes and no other
    // begins. False when nothing runs.
    bool stop();

private:
    static QCoro::Task<> run(QPointer<QObject> owner, Clock &clock, StopToken token, Pass pass, Wait wait,
                             SourceSite site);

    bool m_running = false;
    StopSource m_stop;
};

} // namespace vesk
