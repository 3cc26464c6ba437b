#pragma once

#include "alerts/AlertService.h"
#include "maintenance/ShareHealth.h"
#include "platform/Clock.h"

namespace vesk {

// Hands the share monitor's alerts to the alert service: a network warning per share,
// cleared by title when the share answers again.
class ShareAlertBridge final : public ShareAlertSink {
public:
    ShareAlertBridge(AlertService &alerts, const Clock &clock) : m_alerts(alerts), m_clock(clock) {}

    void raiseShareAlert(const ShareAlert &alert) override
    {
        m_alerts.raise(WardenAlert::make(AlertSeverity::warning, AlertCategory::network, alert.title, alert.message,
                                         alert.serial, m_clock.now()));
    }
    void clearShareAlert(const QString &title) override { m_alerts.clear(AlertCategory::network, title); }

private:
    AlertService &m_alerts;
    const Clock &m_clock;
};

} // namespace vesk
