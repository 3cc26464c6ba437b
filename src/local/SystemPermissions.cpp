#include "local/SystemPermissions.h"

#include "local/PrivacyDatabase.h"
#include "platform/AccessProbe.h"
#include "platform/LogCategories.h"

#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcorofuture.h>

#include <cerrno>
#include <cstring>

namespace vesk {

namespace {

bool isPermissionRefusal(int error)
{
    return error == EPERM || error == EACCES;
}

QString errnoText(int error)
{
    return QStringLiteral("errno ") + QString::number(error) + QStringLiteral(", ") +
           QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

SystemPermissions::SystemPermissions(Dependencies deps, QObject *parent)
    : QObject(parent), m_probe(deps.probe), m_applicationDirs(std::move(deps.applicationDirs)),
      m_homeDir(std::move(deps.homeDir)), m_readTargets(std::move(deps.readTargets)),
      m_privacyDatabases(std::move(deps.privacyDatabases)), m_bundleId(std::move(deps.bundleId)),
      m_bundlePath(std::move(deps.bundlePath))
{
}

QCoro::Task<> SystemPermissions::refresh()
{
    if (m_checking)
        co_return;
    m_checking = true;
    QPointer<SystemPermissions> self(this);
    const AccessProbe *probe = &m_probe;
    QStringList targets = m_readTargets ? m_readTargets() : QStringList();
    struct Both {
        Verdict fullDiskAccess;
        Verdict appManagement;
    };
    QFuture<Both> checked = QtConcurrent::run(
        [probe, targets, home = m_homeDir, folders = m_applicationDirs, databases = m_privacyDatabases,
         id = m_bundleId]() {
            return Both{probeFullDiskAccess(*probe, targets, home), probeAppManagement(*probe, folders, databases, id)};
        });
    // Awaited on its own line: g++ 12 mishandles temporaries inside a co_await expression.
    const Both found = co_await checked;
    if (!self)
        co_return;
    m_checking = false;
    m_fullDiskAccess = found.fullDiskAccess.status;
    m_fullDiskAccessDetail = found.fullDiskAccess.detail;
    m_appManagement = found.appManagement.status;
    m_appManagementDetail = found.appManagement.detail;
    qCInfo(lcPermissions).noquote() << QStringLiteral("Permissions check — FDA ") + logWord(m_fullDiskAccess) +
                                           QStringLiteral(": ") + m_fullDiskAccessDetail +
                                           QStringLiteral("; App Mgmt ") + logWord(m_appManagement) +
                                           QStringLiteral(": ") + m_appManagementDetail +
                                           QStringLiteral("; signature: ") +
                                           m_signatureProblem.value_or(QStringLiteral("valid")) +
                                           QStringLiteral("; running from ") + m_bundlePath;
    emit changed();
}

void SystemPermissions::startRefresh()
{
    refresh();
}

// Every application folder must take a replacement: one refusal decides "denied", and a
// folder that could not be tested for another reason leaves the answer open. Folders that do
// not exist are passed over.
SystemPermissions::Verdict SystemPermissions::probeAppManagement(const AccessProbe &probe, const QStringList &folders,
                                                                const QStringList &privacyDatabases,
                                                                const QString &bundleId)
{
    QStringList granted;
    QStringList open;
    for (const QString &folder : folders) {
        const int error = probe.tryReplaceIn(folder);
        if (error == 0) {
            granted << folder;
        } else if (isPermissionRefusal(error)) {
            return {Status::denied, QStringLiteral("the system blocked a test write into ") + folder +
                                        QStringLiteral(" (") + errnoText(error) + QLatin1Char(')')};
        } else if (error != ENOENT) {
            open << folder + QStringLiteral(" (") + errnoText(error) + QLatin1Char(')');
        }
    }
    if (!granted.isEmpty() && open.isEmpty())
        return {Status::granted,
                QStringLiteral("test write into ") + granted.join(QStringLiteral(", ")) + QStringLiteral(" succeeded")};
    if (const std::optional<bool> on = PrivacyDatabase::appManagementSwitch(privacyDatabases, bundleId)) {
        return *on ? Verdict{Status::granted, QStringLiteral("System Settings shows the App Management switch on")}
                   : Verdict{Status::denied, QStringLiteral("System Settings shows the App Management switch off")};
    }
    return {Status::unknown, open.isEmpty() ? QStringLiteral("no application folder could confirm the grant")
                                            : QStringLiteral("couldn't test ") + open.join(QStringLiteral(", "))};
}

// Every folder the agent must read is listed; any refusal is "denied". The answer is never
// left open: with nothing configured, the home folder stands in.
SystemPermissions::Verdict SystemPermissions::probeFullDiskAccess(const AccessProbe &probe, QStringList targets,
                                                                  const QString &home)
{
    targets.removeDuplicates();
    if (targets.isEmpty())
        targets << home;
    QStringList details;
    bool refused = false;
    for (const QString &target : std::as_const(targets)) {
        const int error = probe.tryRead(target);
        if (error == 0) {
            details << target + QStringLiteral(" readable");
        } else if (error == ENOENT) {
            details << target + QStringLiteral(" missing");
        } else {
            // Any refusal to read counts: the sweep or the mount would meet the same.
            refused = true;
            details << target + QStringLiteral(" read failed (") + errnoText(error) + QLatin1Char(')');
        }
    }
    return {refused ? Status::denied : Status::granted, details.join(QStringLiteral("; "))};
}

QStringList SystemPermissions::menuLines() const
{
    if (allGranted() && !m_signatureProblem)
        return {QStringLiteral("Permissions: granted")};
    QStringList lines;
    if (m_appManagement != Status::granted)
        lines << QStringLiteral("Grant App Management…");
    if (m_fullDiskAccess != Status::granted)
        lines << QStringLiteral("Grant Full Disk Access…");
    if (m_signatureProblem || m_appManagement == Status::denied || m_fullDiskAccess == Status::denied)
        lines << QStringLiteral("Repair Permissions…");
    return lines;
}

QString SystemPermissions::logWord(Status status)
{
    switch (status) {
    case Status::granted:
        return QStringLiteral("granted");
    case Status::denied:
        return QStringLiteral("denied");
    case Status::unknown:
        break;
    }
    return QStringLiteral("unconfirmed");
}

} // namespace vesk
