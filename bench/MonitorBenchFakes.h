#pragma once

// Stand-ins for the settings, the machine's identity and the fleet that the monitor
// benchmarks hand the system monitor, so that they measure sampling and nothing else.
#include "monitor/FleetReportingApi.h"
#include "platform/DefaultsStore.h"
#include "platform/MachineIdentity.h"

#include <QVariantMap>

namespace vesk::bench {

class Defaults final : public DefaultsStore {
public:
    QVariant object(const QString &key) const override { return m_values.contains(key) ? m_values[key] : m_registered[key]; }
    void setValue(const QString &key, const QVariant &value) override { m_values.insert(key, value); }
    void remove(const QString &key) override { m_values.remove(key); }
    void registerDefaults(const QVariantMap &d) override { m_registered.insert(d); }

private:
    QVariantMap m_values, m_registered;
};

class Identity final : public MachineIdentity {
public:
    QString hardwareSerial() const override { return QStringLiteral("BENCH"); }
    QString hostName() const override { return QStringLiteral("bench"); }
};

class NoFleet final : public FleetReportingApi {
public:
    QCoro::Task<bool> isConfigured() override { co_return false; }
    QCoro::Task<APIStatus> reportTelemetry(TelemetryReport) override { co_return APIStatus(); }
    QCoro::Task<APIStatus> reportInstalledApps(QList<RemoteInstalledApp>) override { co_return APIStatus(); }
    QCoro::Task<APIResult<std::optional<SpeedTestResult>>> runSpeedTest() override
    {
        co_return APIResult<std::optional<SpeedTestResult>>(std::optional<SpeedTestResult>());
    }
};

} // namespace vesk::bench
