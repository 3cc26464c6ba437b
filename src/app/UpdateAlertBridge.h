#pragma once

#include "alerts/AlertService.h"
#include "platform/Clock.h"
#include "updates/UpdateRevertSink.h"

namespace vesk {

// Hands the installer's automatic reverts to the alert service: an app alert per app, a
// warning when the kept copy is back, critical when it could not be put back; cleared by
// title once a later install of the app stays up.
class UpdateAlertBridge final : public UpdateRevertSink {
public:
    UpdateAlertBridge(AlertService &alerts, const Clock &clock, QString serial)
        : m_alerts(alerts), m_clock(clock), m_serial(std::move(serial))
    {
    }

    void raiseUpdateRevert(const UpdateRevert &revert) override
    {
        m_alerts.raise(WardenAlert::make(revert.restored ? AlertSeverity::warning : AlertSeverity::critical,
                                         AlertCategory::appHung, revert.title, revert.message, m_serial,
                                         m_clock.now()));
    }
    void clearUpdateRevert(const QString &title) override { m_alerts.clear(AlertCategory::appHung, title); }

private:
    AlertService &m_alerts;
    const Clock &m_clock;
    QString m_serial;
};

} // namespace vesk
