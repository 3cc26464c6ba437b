#include "console/PermissionsModel.h"

#include "local/SystemPermissions.h"

namespace vesk {

PermissionsModel::PermissionsModel(SystemPermissions *permissions, QObject *parent)
    : QObject(parent), m_permissions(permissions)
{
    if (m_permissions)
        connect(m_permissions, &SystemPermissions::changed, this, &PermissionsModel::changed);
}

QStringList PermissionsModel::lines() const
{
    if (!m_permissions)
        return {tr("Permission check unavailable")};
    const auto line = [](const QString &name, SystemPermissions::Status status, const QString &detail) {
        const QString word = SystemPermissions::logWord(status);
        return detail.isEmpty() ? name + QStringLiteral(": ") + word
                                : name + QStringLiteral(": ") + word + QStringLiteral(" — ") + detail;
    };
    QStringList out{line(tr("Full Disk Access"), m_permissions->fullDiskAccess(), m_permissions->fullDiskAccessDetail()),
                    line(tr("App Management"), m_permissions->appManagement(), m_permissions->appManagementDetail())};
    if (m_permissions->signatureProblem())
        out.append(*m_permissions->signatureProblem());
    if (m_checking)
        out.append(tr("Checking…"));
    return out;
}

QCoro::Task<> PermissionsModel::recheck()
{
    if (!m_permissions || m_checking)
        co_return;
    QPointer<PermissionsModel> self(this);
    QPointer<SystemPermissions> permissions = m_permissions;
    m_checking = true;
    emit changed();
    co_await permissions->refresh();
    if (!self)
        co_return;
    m_checking = false;
    emit changed();
}

} // namespace vesk
