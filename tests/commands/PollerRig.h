#pragma once

#include "CommandFakes.h"
#include "FakeMachineControl.h"
#include "FakeProcessRunner.h"
#include "FakeWorkspace.h"
#include "ManualClock.h"
#include "MemoryDefaultsStore.h"

#include "app/FleetSettingsStore.h"
#include "commands/CommandPoller.h"

#include <qcoro/qcorotask.h>

namespace vesk::test {

// A command poller over fakes, with every switch on, a manual clock and English dates.
struct PollerRig {
    static inline const QString kiosk = QStringLiteral("com.lumora.Kiosk");

    ManualClock clock;
    MemoryDefaultsStore defaults;
    FleetSettingsStore settings{defaults, clock};
    FakeCommandChannel fleet;
    FakeWorkspace workspace;
    FakeMachineControl machine;
    FakeProcessRunner processes;
    FakeReports reports;
    FakePayloads payloads;
    FakeMessages messages;
    std::vector<std::optional<QString>> logQueries;
    int agentQuits = 0;
    CommandPoller poller{CommandPoller::Dependencies{
        fleet, settings, clock, workspace, machine, processes,
        [this](const std::optional<QString> &id) {
            logQueries.push_back(id);
            return ToolInvocation{QStringLiteral("journal"), {id.value_or(QStringLiteral("all"))}};
        },
        reports, payloads, messages, [this] { ++agentQuits; }, QLocale(QLocale::English, QLocale::UnitedStates)}};

    PollerRig()
    {
        for (const char *key : {"fleetReportingEnabled", "appManagementEnabled", "remoteCommandsEnabled"})
            defaults.setValue(QString::fromLatin1(key), true);
        reports.reportsSoFar = [this] { return fleet.reports.size(); };
    }
    ~PollerRig() { poller.stop(); }

    static FleetCommand command(qint64 id, const QString &name, QMap<QString, AnyCodable> params = {})
    {
        FleetCommand out{id, name, {}};
        if (!params.isEmpty())
            out.params = std::move(params);
        return out;
    }

    // Polls once with these commands pending and lets every 1 s post-command wait pass.
    void pollWith(QList<FleetCommand> commands)
    {
        fleet.queue(std::move(commands));
        auto task = poller.pollOnce();
        while (!task.isReady() && clock.sleeperCount() > 0)
            clock.advance(clock.nextWakeIn());
        QCoro::waitFor(task);
    }
};

} // namespace vesk::test
