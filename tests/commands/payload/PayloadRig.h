#pragma once

#include "ManualClock.h"
#include "MemoryDefaultsStore.h"
#include "MemoryKeychainStore.h"
#include "ScriptedHttpTransport.h"

#include "settings/FleetSettingsStore.h"
#include "commands/payload/AppLifecycle.h"
#include "fleet/FleetAPIClient.h"
#include "pairing/FleetSecretManager.h"
#include "platform/MachineIdentity.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace vesk::test {

class RigIdentity final : public MachineIdentity {
public:
    QString hardwareSerial() const override { return QStringLiteral("C02XK1ABCD"); }
    QString hostName() const override { return QStringLiteral("capture-01"); }
};

// The real fleet client over a scripted transport, with settings, keychain and clock in memory.
struct FleetRig {
    static inline const QString baseUrl = QStringLiteral("https://fleet.example.com/api");

    QTemporaryDir root;
    PlatformPaths paths = PlatformPaths::underRoot(root.path());
    ManualClock clock;
    MemoryDefaultsStore defaults;
    FleetSettingsStore settings{defaults, clock};
    MemoryKeychainStore keychain;
    ScriptedHttpTransport http;
    RigIdentity identity;
    FleetSecretManager secrets{FleetSecretManager::Dependencies{keychain, http, settings, identity, clock, baseUrl,
                                                                AgentBundle{}, QStringLiteral("2.4.0")}};
    FleetAPIClient api{FleetAPIClient::Dependencies{http, settings, secrets, identity, paths, baseUrl, {}, {}, {}}};
};

// Applications as the payload sees them: which run, which are installed, and what was done.
class FakeApps final : public AppLifecycle {
public:
    QSet<QString> running;
    QSet<QString> installed;
    QSet<QString> ignoresTerminate;
    QStringList actions; // "quit x", "force x", "launch x"
    std::function<void(const QString &)> onQuit;

    QCoro::Task<bool> isRunning(QString id) override { co_return running.contains(id); }
    QCoro::Task<> quit(QString id) override
    {
        actions.append("quit " + id);
        if (onQuit)
            onQuit(id);
        if (!ignoresTerminate.contains(id))
            running.remove(id);
        co_return;
    }
    QCoro::Task<> forceQuit(QString id) override
    {
        actions.append("force " + id);
        running.remove(id);
        co_return;
    }
    QCoro::Task<bool> isInstalled(QString id) override { co_return installed.contains(id); }
    QCoro::Task<bool> launch(QString id) override
    {
        actions.append("launch " + id);
        running.insert(id);
        co_return true;
    }
};

template <class T> QCoro::Task<> storeResult(QCoro::Task<T> task, std::optional<T> &out)
{
    T value = co_await std::move(task);
    out = std::move(value);
}

// Runs `task` to its end, turning the event loop (for awaited worker-thread results) and
// moving the manual clock to each sleeper's deadline. Fails the test if it does not end.
template <class T> T drive(QCoro::Task<T> task, ManualClock &clock, std::chrono::milliseconds *slept = nullptr)
{
    std::optional<T> out;
    auto runner = storeResult(std::move(task), out);
    QElapsedTimer guard;
    guard.start();
    while (!out && guard.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!out && clock.sleeperCount() > 0) {
            const auto step = clock.nextWakeIn();
            if (slept)
                *slept += step;
            clock.advance(step);
        }
    }
    if (!out) {
        ADD_FAILURE() << "the operation did not finish";
        return T{};
    }
    return std::move(*out);
}

} // namespace vesk::test
