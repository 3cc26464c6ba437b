#pragma once

#include "FakeMachineControl.h"
#include "FakeWorkspace.h"
#include "FleetTestRig.h"

#include "policy/PolicyConsumers.h"
#include "policy/PolicyEngine.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <qcoro/qcorotask.h>

#include <memory>

namespace vesk::test {

struct RecordingServices final : PolicyRetentionTarget, PolicyShareTarget {
    QList<QList<RetentionRule>> retention;
    QList<QList<MonitoredShare>> shares;
    void setPolicyRetentionRules(const QList<RetentionRule> &rules) override { retention.append(rules); }
    void setPolicyShares(const QList<MonitoredShare> &list) override { shares.append(list); }
};

// A policy engine over a paired fleet client with scripted HTTP, a fake workspace, a fake
// machine and a manual clock starting Monday 2026-03-02 09:00 UTC.
struct PolicyRig : FleetTestRig {
    static inline const QString kiosk = QStringLiteral("com.lumora.Kiosk");
    static inline const QString printer = QStringLiteral("com.lumora.Print");

    FakeWorkspace workspace;
    FakeMachineControl machine;
    QList<AppSnapshot> samples;
    RecordingServices services;
    std::shared_ptr<int> quits = std::make_shared<int>(0);
    QString storage = tempRoot.path() + QStringLiteral("/storage");
    std::unique_ptr<PolicyEngine> engine;

    PolicyRig()
    {
        setTenant(QStringLiteral("abc"));
        storeSecret(QStringLiteral("abc"), QString(64, QLatin1Char('a')), 42);
        workspace.useClock(clock);
        engine = makeEngine();
    }
    ~PolicyRig() { engine.reset(); }

    std::unique_ptr<PolicyEngine> makeEngine()
    {
        auto made = std::make_unique<PolicyEngine>(PolicyEngine::Dependencies{
            api, settings, workspace, clock,
            ComputerRestart(machine, [quits = std::weak_ptr<int>(quits)] {
                if (const auto live = quits.lock())
                    ++*live;
            }),
            storage, identity.hardwareSerial(), QLocale(QLocale::English, QLocale::UnitedKingdom)});
        made->attachAppSamples([this] { return samples; });
        made->attachFolderRetention(&services);
        made->attachShareMonitor(&services);
        return made;
    }

    // Runs a task to its end, letting the clock pass for every wait it makes.
    template <class Task> void drive(Task task)
    {
        while (!task.isReady() && clock.sleeperCount() > 0)
            clock.advance(clock.nextWakeIn());
        QCoro::waitFor(std::move(task));
    }
    void pass() { drive(engine->enforce()); }

    void putInForce(const DevicePolicy &policy)
    {
        writeFile(QStringLiteral("policy_cache.json"), QJsonDocument(policy.toJson()).toJson());
        engine->loadInitialPolicy();
    }
    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QDir().mkpath(storage);
        QFile file(storage + QLatin1Char('/') + name);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
    }
    QByteArray readFile(const QString &name) const
    {
        QFile file(storage + QLatin1Char('/') + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void answerPolicy(const QByteArray &body, int status = 200)
    {
        http.expect("GET", QStringLiteral("/api/device_policy"), status, body);
    }
};

inline KeepAliveRule keepAlive(QStringList bundleIds, QList<TimeWindow> windows = {},
                               Weekdays days = Weekdays::everyDay())
{
    KeepAliveRule rule;
    rule.name = QStringLiteral("Front desk");
    rule.bundleIds = std::move(bundleIds);
    rule.windows = std::move(windows);
    rule.days = days;
    return rule;
}

inline TimeWindow window(int startHour, int startMinute, int endHour, int endMinute)
{
    TimeWindow w;
    w.startHour = startHour;
    w.startMinute = startMinute;
    w.endHour = endHour;
    w.endMinute = endMinute;
    return w;
}

} // namespace vesk::test
