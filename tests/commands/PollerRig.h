#pragma once

#include "CommandFakes.h"
#include "FakeMachineControl.h"
#include "FakeProcessRunner.h"
#include "FakeWorkspace.h"
#include "ManualClock.h"
#include "MemoryDefaultsStore.h"

#include "settings/FleetSettingsStore.h"
#include "commands/CommandPoller.h"

#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <memory>

namespace vesk::test {

// A command poller over fakes, with every switch on, a manual clock and English dates.
struct PollerRig {
    static inline const QString kiosk = QStringLiteral("com.lumora.Kiosk");

    ManualClock clock;
    // The storage folder, where the poller keeps the ids of the commands it ran.
    QTemporaryDir storage;
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
    // For each time the agent was told to quit: how many results the fleet had by then.
    std::vector<std::size_t> quitsAfterReports;
    // The quit is queued on the application, so it may run after this rig is gone.
    std::shared_ptr<PollerRig *> alive = std::make_shared<PollerRig *>(this);
    CommandPoller poller{CommandPoller::Dependencies{
        fleet, settings, clock, workspace, machine, processes,
        [this](const std::optional<QString> &id) {
            logQueries.push_back(id);
            return ToolInvocation{QStringLiteral("journal"), {id.value_or(QStringLiteral("all"))}};
        },
        [this](QString bundleId, QString text) { return fleet.uploadAppLog(std::move(bundleId), std::move(text)); },
        reports, payloads, messages,
        [rig = std::weak_ptr<PollerRig *>(alive)] {
            if (const auto live = rig.lock())
                (*live)->quitsAfterReports.push_back((*live)->fleet.reports.size());
        },
        QLocale(QLocale::English, QLocale::UnitedStates), storage.path()}};

    PollerRig()
    {
        for (const char *key : {"fleetReportingEnabled", "appManagementEnabled", "remoteCommandsEnabled"})
            defaults.setValue(QString::fromLatin1(key), true);
        reports.reportsSoFar = [this] { return fleet.reports.size(); };
        workspace.useClock(clock);
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
