#pragma once

#include "maintenance/ShareHealth.h"
#include "wire/policy/MonitoredShare.h"

#include <QObject>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class NetworkShareMonitor;

// The Network Shares screen: this Mac's shares and the policy's with their mount status,
// and the edits of this Mac's list. The user name is optional (none mounts as guest); a
// password typed here goes to the keychain only, and a blank one keeps the stored one.
// Without the monitor the screen shows its empty state and saves nothing.
class NetworkSharesModel : public QObject {
    Q_OBJECT
public:
    struct Row {
        MonitoredShare share;
        bool fromPolicy = false; // read-only here, but it can be mounted now
        QString title;
        QString summary; // address and account
        QString status;  // status and its sentence
    };

    explicit NetworkSharesModel(NetworkShareMonitor *monitor, QObject *parent = nullptr);

    bool isAvailable() const { return m_monitor != nullptr; }
    // This Mac's shares, then the policy's.
    QList<Row> rows() const;
    QString emptyText() const;
    // "Checking shares…", the last check's time, or that none ran.
    QString checkText() const;
    // The monitor's log, newest first.
    QStringList logLines() const;

    // Why `draft` cannot be saved, or none.
    std::optional<QString> problem(const MonitoredShare &draft) const;
    // Adds or updates `draft` and, when `password` is not empty, stores it; whether all of it
    // was kept. The refusal or failure is message().
    QCoro::Task<bool> save(MonitoredShare draft, QByteArray password);
    QCoro::Task<> remove(QUuid id);
    // Mounts the share now, whatever its auto-remount; message() tells how it went.
    QCoro::Task<> mountNow(QUuid id);
    const QString &message() const { return m_message; }

    static QString statusLabel(ShareStatus status);

signals:
    void changed();

private:
    Row row(const MonitoredShare &share, bool fromPolicy) const;

    NetworkShareMonitor *m_monitor; // outlives the console
    QString m_message;
};

} // namespace vesk
