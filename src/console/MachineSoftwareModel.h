#pragma once

#include "monitor/AppRef.h"
#include "wire/AnyCodable.h"
#include "wire/RemoteInstalledApp.h"
#include "wire/policy/AvailableUpdate.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

namespace vesk {

class ConsoleFleet;

// An offered release newer than the copy a machine reported.
struct MachineUpdate {
    QString bundleId;
    QString name;
    QString installedVersion;
    QString availableVersion;

    bool operator==(const MachineUpdate &) const = default;
};

// The machine detail's Software tab: the apps a fleet machine reported, the fleet's releases
// newer than them, and the app commands queued for that machine.
class MachineSoftwareModel : public QObject {
    Q_OBJECT
public:
    explicit MachineSoftwareModel(ConsoleFleet &fleet, QObject *parent = nullptr);

    // Shows `serial` (named `name`) and loads its apps and the fleet's releases.
    QCoro::Task<> show(QString serial, QString name);
    QCoro::Task<> reload();

    const QString &serial() const { return m_serial; }
    bool isLoading() const { return m_loading; }
    // The loading line, the failure with the server's message, or the waiting line of a
    // machine that has not reported yet; empty once there are apps.
    QString appsText() const;
    const QList<RemoteInstalledApp> &apps() const { return m_apps; }
    // The apps as the app selector offers them.
    QList<AppRef> appRefs() const;
    const QList<MachineUpdate> &updates() const { return m_updates; }
    // "All apps are up to date", the releases' failure, or empty.
    QString updatesText() const;

    // The confirmation above a restart of these apps.
    QString restartConfirmText(const QStringList &bundleIds) const;
    // "quit_app", "launch_app" or "restart_app" for each app; `at` defers it.
    QCoro::Task<> appCommand(QString command, QStringList bundleIds, std::optional<QDateTime> at = std::nullopt);
    QCoro::Task<> scheduleUpdate(QString bundleId, QDateTime at);
    // Pins the app to the version the machine reported.
    QCoro::Task<> pinCurrentVersion(QString bundleId);
    // One line per queued command: its identifier, or the failure.
    const QStringList &commandLines() const { return m_commandLines; }

signals:
    void changed();

private:
    QString displayName(const QString &bundleId) const;
    QCoro::Task<> send(QString command, QMap<QString, AnyCodable> params, QString okText);

    ConsoleFleet &m_fleet;
    QString m_serial;
    QString m_name;
    bool m_loading = false;
    QString m_appsError;
    QString m_releasesError;
    quint64 m_generation = 0; // answers for a machine no longer shown are dropped
    QList<RemoteInstalledApp> m_apps;
    QList<MachineUpdate> m_updates;
    QStringList m_commandLines;
};

} // namespace vesk
