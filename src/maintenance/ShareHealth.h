#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace vesk {

enum class ShareStatus { unknown, checking, mounted, notMounted, hostUnreachable, stale, remounting, disabled };

QString shareStatusRawValue(ShareStatus status);

// What the last check of one share found; in memory only.
struct ShareHealth {
    ShareStatus status = ShareStatus::unknown;
    QString detail;
    std::optional<QDateTime> lastChecked;
    std::optional<QString> mountPoint;
    int consecutiveFailures = 0;

    bool operator==(const ShareHealth &) const = default;
};

// A share alert the monitor raises after repeated failures and clears on recovery.
struct ShareAlert {
    QString title;   // "<share> Unavailable"
    QString message; // the failure's detail
    QString serial;
};

// Where the monitor's alerts go: the alert service, category "network", severity warning.
class ShareAlertSink {
public:
    virtual ~ShareAlertSink() = default;
    virtual void raiseShareAlert(const ShareAlert &alert) = 0;
    virtual void clearShareAlert(const QString &title) = 0;
};

} // namespace vesk
