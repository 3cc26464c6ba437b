#pragma once

#include "ManualClock.h"
#include "MemoryDefaultsStore.h"

#include "alerts/AlertReportingApi.h"
#include "alerts/AlertService.h"
#include "platform/Notifier.h"
#include "settings/FleetSettingsStore.h"

#include <QList>

namespace vesk::test {

struct RecordingNotifier final : Notifier {
    QList<LocalNotification> posted;
    void post(const LocalNotification &notification) override { posted << notification; }
    QStringList titles() const
    {
        QStringList out;
        for (const auto &n : posted)
            out << n.title;
        return out;
    }
};

// Answers at once; `failWith` turns every call into that server error, `unreachable` into a
// network error.
struct RecordingAlertApi final : AlertReportingApi {
    bool configured = true;
    bool unreachable = false;
    QString failWith;
    QList<AlertReport> reports;
    QList<PushTokenRegistration> registrations;

    QCoro::Task<bool> isConfigured() override { co_return configured; }
    QCoro::Task<APIStatus> reportAlert(AlertReport alert) override
    {
        reports << alert;
        co_return answer();
    }
    QCoro::Task<APIStatus> registerPushToken(PushTokenRegistration registration) override
    {
        registrations << registration;
        co_return answer();
    }
    APIStatus answer() const
    {
        if (unreachable)
            return APIError::networkError(QStringLiteral("Connection refused"));
        return failWith.isEmpty() ? APIStatus() : APIStatus(APIError::serverError(failWith));
    }
};

// An alert service for machine C02XK1ABCD over recording fakes and a manual clock, its outbox
// in `outboxFile` (memory only when empty).
struct AlertRig {
    explicit AlertRig(QString outboxFile = {}) : outboxFile(std::move(outboxFile)) {}

    QString outboxFile;
    ManualClock clock;
    MemoryDefaultsStore defaults;
    FleetSettingsStore settings{defaults, clock};
    RecordingNotifier notifier;
    RecordingAlertApi api;
    AlertService service{AlertService::Dependencies{settings, api, notifier, clock, QStringLiteral("C02XK1ABCD"),
                                                    QStringLiteral("macos"), outboxFile}};

    ~AlertRig() { service.stop(); }
    // A condition is an alert at its first sample.
    void useSingleSampleRule() { defaults.setValue(AlertThresholdKeys::consecutiveSamples, 1); }
};

constexpr qint64 GB = 1073741824;

// A healthy machine: half-full disk and RAM, cool, idle, up for a day.
inline SystemSnapshot healthySnapshot()
{
    SystemSnapshot s;
    s.diskTotal = 500 * GB;
    s.diskUsed = 250 * GB;
    s.diskFree = 250 * GB;
    s.ramTotal = 16 * GB;
    s.ramUsed = 8 * GB;
    s.cpuUsage = 12;
    s.cpuCoreCount = 8;
    s.uptimeSeconds = 86400;
    return s;
}

} // namespace vesk::test
