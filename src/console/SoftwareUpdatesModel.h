#pragma once

#include "updates/DownloadState.h"
#include "wire/policy/AvailableUpdate.h"
#include "wire/policy/UpdatePolicy.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class DefaultsStore;
class InstalledAppsModel;
class UpdateCommands;
class UpdateService;

// What the update service last knew, as the Software Updates screen reads it.
struct SoftwareUpdateFacts {
    QList<AvailableUpdate> available; // newer than an installed copy, in the service's order
    QList<AvailableUpdate> releases;  // every release the fleet listed
    QMap<QString, DownloadState> pending;
    std::optional<AvailableUpdate> heldByPin;
    std::optional<QDateTime> lastCheck;

    // Nothing at all without a service.
    static SoftwareUpdateFacts gather(const UpdateService *service);
};

// One row of the screen.
struct SoftwareRow {
    QString bundleId;
    QString name;
    QString installedVersion; // empty when not installed here
    QString availableVersion; // empty when no newer release is offered
    QString status;
    bool installable = false;

    bool operator==(const SoftwareRow &) const = default;
};

// "Software Updates": this machine's family apps with their installed and offered versions,
// filtered to updates, installed apps or every app, each offered update with its install
// button and the answer of its last install.
class SoftwareUpdatesModel : public QObject {
    Q_OBJECT
public:
    enum class Filter { updates, installed, all };

    // `commands` installs (none: nothing is installable); `defaults` holds the version pins.
    SoftwareUpdatesModel(const InstalledAppsModel &installed, UpdateCommands *commands, const DefaultsStore &defaults,
                         QObject *parent = nullptr);

    void setFacts(SoftwareUpdateFacts facts);
    // The active policy's update rules; none when no policy is in force.
    void setPolicy(std::optional<UpdatePolicy> policy);
    void setFilter(Filter filter);
    Filter filter() const { return m_filter; }

    QList<SoftwareRow> rows() const;
    // In place of the rows when there are none.
    QString emptyText() const;
    // The critical agent release a pin holds back, or empty.
    QString heldText() const;
    // How updates reach this machine under the policy, and when the list was last checked.
    QString policyText() const;

    // Installs the offered release of `bundleId` with this machine's pins; the row then shows
    // the install's own answer.
    QCoro::Task<> install(QString bundleId);
    // Asks the fleet again which releases exist.
    QCoro::Task<> checkNow();

signals:
    void changed();

private:
    SoftwareRow row(const QString &bundleId, const QString &name, const QString &installedVersion) const;
    bool adminApprovalNeeded() const;

    const InstalledAppsModel &m_installed;
    UpdateCommands *m_commands;
    const DefaultsStore &m_defaults;
    SoftwareUpdateFacts m_facts;
    std::optional<UpdatePolicy> m_policy;
    Filter m_filter = Filter::updates;
    QSet<QString> m_installing;
    QMap<QString, QString> m_results; // bundle identifier → the last install's answer
};

} // namespace vesk
