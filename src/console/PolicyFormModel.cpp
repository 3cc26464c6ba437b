#include "console/PolicyFormModel.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace vesk {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("PolicyEditor", text);
}

QString clock(int hour, int minute)
{
    return QStringLiteral("%1:%2").arg(hour, 2, 10, QLatin1Char('0')).arg(minute, 2, 10, QLatin1Char('0'));
}

// Shown for a listed rule whose identifying field is still blank.
QString orUnnamed(const QString &text)
{
    return text.trimmed().isEmpty() ? tr("(unnamed)") : text;
}

int listSize(const DevicePolicy &policy, PolicyRuleKind kind)
{
    switch (kind) {
    case PolicyRuleKind::keepAlive:
        return int(policy.keepAliveRules.size());
    case PolicyRuleKind::appRestart:
        return int(policy.appRestartRules.size());
    case PolicyRuleKind::cleanup:
        return int(policy.retentionRules.size());
    case PolicyRuleKind::share:
        return int(policy.monitoredShares.size());
    case PolicyRuleKind::weeklyRestart:
    case PolicyRuleKind::updates:
        break;
    }
    return 1;
}
} // namespace

QList<PolicyRuleKind> PolicyFormModel::addableKinds()
{
    return {PolicyRuleKind::keepAlive, PolicyRuleKind::appRestart, PolicyRuleKind::cleanup, PolicyRuleKind::share};
}

QString PolicyFormModel::kindName(PolicyRuleKind kind)
{
    switch (kind) {
    case PolicyRuleKind::weeklyRestart:
        return tr("Weekly Restart");
    case PolicyRuleKind::updates:
        return tr("App Updates");
    case PolicyRuleKind::keepAlive:
        return tr("Keep Alive");
    case PolicyRuleKind::appRestart:
        return tr("App Restart");
    case PolicyRuleKind::cleanup:
        return tr("Folder Cleanup");
    case PolicyRuleKind::share:
        return tr("Network Share");
    }
    return {};
}

QString PolicyFormModel::modeName(UpdatePolicy::Mode mode)
{
    switch (mode) {
    case UpdatePolicy::Mode::adminApproved:
        return tr("Admin Approved");
    case UpdatePolicy::Mode::automatic:
        return tr("Automatic");
    case UpdatePolicy::Mode::localAllowed:
        return tr("Local Installs Allowed");
    }
    return {};
}

QString PolicyFormModel::label(PolicyRuleKind kind, int index) const
{
    const QString prefix = kindName(kind) + QStringLiteral(": ");
    switch (kind) {
    case PolicyRuleKind::weeklyRestart: {
        const RestartSchedule &s = m_policy.restartSchedule;
        return prefix + (s.enabled ? clock(s.hour, s.minute) : tr("off"));
    }
    case PolicyRuleKind::updates:
        return prefix + modeName(m_policy.updatePolicy.mode);
    case PolicyRuleKind::keepAlive:
        return prefix + orUnnamed(m_policy.keepAliveRules.at(index).name);
    case PolicyRuleKind::appRestart:
        return prefix + orUnnamed(m_policy.appRestartRules.at(index).bundleId);
    case PolicyRuleKind::cleanup:
        return prefix + orUnnamed(m_policy.retentionRules.at(index).name);
    case PolicyRuleKind::share:
        return prefix + orUnnamed(m_policy.monitoredShares.at(index).name);
    }
    return prefix;
}

QList<PolicyRuleRow> PolicyFormModel::rows() const
{
    QList<PolicyRuleRow> out;
    for (const PolicyRuleKind kind : {PolicyRuleKind::weeklyRestart, PolicyRuleKind::updates})
        out.append({kind, 0, label(kind, 0)});
    for (const PolicyRuleKind kind : addableKinds()) {
        for (int index = 0; index < listSize(m_policy, kind); ++index)
            out.append({kind, index, label(kind, index)});
    }
    return out;
}

int PolicyFormModel::add(PolicyRuleKind kind)
{
    switch (kind) {
    case PolicyRuleKind::keepAlive:
        m_policy.keepAliveRules.append(KeepAliveRule{});
        break;
    case PolicyRuleKind::appRestart:
        m_policy.appRestartRules.append(AppRestartRule{});
        break;
    case PolicyRuleKind::cleanup:
        m_policy.retentionRules.append(RetentionRule{});
        break;
    case PolicyRuleKind::share: {
        MonitoredShare share;
        share.name = tr("New Share");
        m_policy.monitoredShares.append(share);
        break;
    }
    case PolicyRuleKind::weeklyRestart:
    case PolicyRuleKind::updates:
        return -1;
    }
    const QList<PolicyRuleRow> all = rows();
    for (int row = int(all.size()) - 1; row >= 0; --row) {
        if (all.at(row).kind == kind)
            return row;
    }
    return -1;
}

bool PolicyFormModel::remove(int row)
{
    const QList<PolicyRuleRow> all = rows();
    if (row < 0 || row >= all.size())
        return false;
    const PolicyRuleRow &target = all.at(row);
    switch (target.kind) {
    case PolicyRuleKind::keepAlive:
        m_policy.keepAliveRules.removeAt(target.index);
        return true;
    case PolicyRuleKind::appRestart:
        m_policy.appRestartRules.removeAt(target.index);
        return true;
    case PolicyRuleKind::cleanup:
        m_policy.retentionRules.removeAt(target.index);
        return true;
    case PolicyRuleKind::share:
        m_policy.monitoredShares.removeAt(target.index);
        return true;
    case PolicyRuleKind::weeklyRestart:
    case PolicyRuleKind::updates:
        break;
    }
    return false;
}

std::optional<DevicePolicy> PolicyFormModel::draft(const QUuid &id, const QString &name, const QStringList &serials,
                                                   QString *error) const
{
    if (name.trimmed().isEmpty()) {
        *error = tr("Give the policy a name.");
        return std::nullopt;
    }
    DevicePolicy out = m_policy;
    out.id = id;
    out.name = name.trimmed();
    out.assignedSerials = serials;
    return out;
}

QStringList PolicyFormModel::bundleIds(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[,\\n]"));
    QStringList ids;
    for (const QString &part : text.split(separators)) {
        const QString id = part.trimmed();
        if (!id.isEmpty())
            ids.append(id);
    }
    return ids;
}

QString PolicyFormModel::bundleIdsText(const QStringList &ids)
{
    return ids.join(QLatin1Char('\n'));
}

} // namespace vesk
