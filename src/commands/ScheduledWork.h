#pragma once

#include "commands/AppActions.h"
#include "commands/ComputerRestart.h"
#include "commands/ResultReporter.h"
#include "platform/StopToken.h"

#include <qcoro/qcorotask.h>

namespace vesk {

class Clock;
class FleetSettingsStore;
class UpdateCommands;

// One pass of the poller's timed loop: the weekly restart configured on this machine,
// updates scheduled by "schedule_update", then actions deferred by "scheduled_at".
// A pass keeps its own copy of this object, so it may outlive the poller.
class ScheduledWork {
public:
    ScheduledWork(FleetSettingsStore &settings, Clock &clock, ComputerRestart restart, ResultReporter reporter,
                  AppActions apps);

    void setUpdateCommands(UpdateCommands *updates) { m_updates = updates; }

    QCoro::Task<> runOnce(StopToken token) const;

private:
    // Starts the restart in a task of its own, so the pass does not wait for it.
    void startWeeklyRestartIfDue() const;
    static QCoro::Task<> restartOnSchedule(ComputerRestart restart, ResultReporter reporter);
    static QCoro::Task<> runDueUpdates(ScheduledWork work, StopToken token);
    static QCoro::Task<> runDueActions(ScheduledWork work, StopToken token);

    FleetSettingsStore *m_settings;
    Clock *m_clock;
    ComputerRestart m_restart;
    ResultReporter m_reporter;
    AppActions m_apps;
    UpdateCommands *m_updates = nullptr;
};

} // namespace vesk
