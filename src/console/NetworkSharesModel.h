#pragma once

#include "console/LocalListModel.h"
#include "maintenance/ShareHealth.h"
#include "wire/policy/MonitoredShare.h"

#include <qcoro/qcorotask.h>

namespace vesk {

class NetworkShareMonitor;

// The Network Shares screen: this Mac's shares and the policy's with their mount status,
// and the edits of this Mac's list. The user name is optional (none mounts as guest); a
// password typed here goes to the keychain only, and a blank one keeps the stored one.
class NetworkSharesModel : public LocalListModel {
    Q_OBJECT
public:
    explicit NetworkSharesModel(NetworkShareMonitor *monitor, QObject *parent = nullptr);

    QList<Row> rows() const override;
    // "Checking shares…", the last check's time, or that none ran.
    QString activityText() const override;
    QStringList logLines() const override;
    std::optional<MonitoredShare> ownShare(const QUuid &id) const;

    // Why `draft` cannot be saved, or none.
    std::optional<QString> problem(const MonitoredShare &draft) const;
    // Adds or updates `draft` and, when `password` is not empty, stores it; whether all of it
    // was kept. The refusal or failure is message().
    QCoro::Task<bool> save(MonitoredShare draft, QByteArray password);
    QCoro::Task<> remove(QUuid id);
    // Mounts the share now, the policy's too, whatever its auto-remount; message() tells how.
    QCoro::Task<> mountNow(QUuid id);
    QString message() const override { return m_message; }

    static QString statusLabel(ShareStatus status);

private:
    Row row(const MonitoredShare &share) const;

    NetworkShareMonitor *m_monitor; // outlives the console
    QString m_message;
};

} // namespace vesk
