#pragma once

#include "wire/SpeedTestResult.h"
#include "wire/TelemetryReport.h"
#include "monitor/AppSampler.h"
#include "monitor/AppSnapshot.h"
#include "monitor/SnapshotBuilder.h"
#include "monitor/SystemSnapshot.h"
#include "platform/StopToken.h"

#include <QCollator>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class Clock;
class FleetAppDirectory;
class FleetReportingApi;
class FleetSettingsStore;
class MachineIdentity;
class SystemInfoSource;
class Workspace;
struct ResponsivenessProbeRequest;

// The agent's eyes on the machine. Every 15 seconds (60 in low-data mode) it samples the
// machine, the running family apps and which of them hang; with fleet reporting on it sends
// telemetry every 4th sample (6th in low-data mode), the installed apps every 6th telemetry
// report and runs a speed test at most every 30 minutes. Lives on the main thread; only the
// responsiveness probe runs on a worker, and its verdicts count only if no newer probe began.
class SystemMonitor final : public QObject {
    Q_OBJECT
public:
    struct Dependencies {
        SystemInfoSource &source;
        Workspace &workspace;
        FleetReportingApi &api;
        FleetSettingsStore &settings;
        FleetAppDirectory &appDirectory;
        MachineIdentity &identity;
        Clock &clock;
    };

    explicit SystemMonitor(Dependencies deps, QObject *parent = nullptr);
    ~SystemMonitor() override;

    // Starts the sampling loop unless it runs; stop() ends it and drops a running probe.
    void start();
    void stop();
    bool isRunning() const { return m_loopStop.has_value(); }

    // One sampling pass: snapshot, app list, hung list.
    void refresh();
    // One report each, when its switch is on and the fleet client is configured; true when sent.
    // An installed-apps list the server already has goes again only once a day.
    QCoro::Task<bool> reportTelemetry();
    QCoro::Task<bool> reportInstalledApps();
    TelemetryReport telemetryReport(const QString &serial) const;

    const SystemSnapshot &snapshot() const { return m_snapshot; }
    const QList<AppSnapshot> &appSnapshots() const { return m_appSnapshots; }
    const QStringList &hungApps() const { return m_hungApps; }
    const std::optional<SpeedTestResult> &lastSpeedTest() const { return m_lastSpeedTest; }
    const QString &serial() const { return m_serial; }

signals:
    // After every sampling pass.
    void updated();
    // A probe's verdicts were taken in; the next pass shows them.
    void responsivenessChanged();

private:
    QCoro::Task<> samplingLoop(StopToken token);
    QCoro::Task<> runSpeedTestIfDue();
    QList<AppSnapshot> collectAppSnapshots(const QDateTime &now);
    void startResponsivenessProbe(QList<ResponsivenessProbeRequest> requests);

    SystemInfoSource &m_source;
    Workspace &m_workspace;
    FleetReportingApi &m_api;
    FleetSettingsStore &m_settings;
    FleetAppDirectory &m_appDirectory;
    Clock &m_clock;

    SystemSnapshot m_snapshot;
    QList<AppSnapshot> m_appSnapshots;
    QStringList m_hungApps;
    std::optional<StopSource> m_loopStop;
    QString m_serial;
    SnapshotBuilder m_snapshotBuilder;
    AppSampler m_appSampler;
    QHash<QString, bool> m_responsivenessByBundleId;
    quint64 m_probeGeneration = 0;
    std::optional<SpeedTestResult> m_lastSpeedTest;
    std::optional<QDateTime> m_lastSpeedTestTime;
    QByteArray m_installedAppsDigest; // of the last installed-apps report the server took
    std::optional<QDateTime> m_installedAppsSentAt;
    QCollator m_collator;
    QThreadPool m_probePool; // last member: its destructor waits for a running probe
};

} // namespace vesk
