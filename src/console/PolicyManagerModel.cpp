#include "console/PolicyManagerModel.h"

#include "console/ConsoleFleet.h"
#include "console/ConsoleTexts.h"
#include "console/PolicyDraftCheck.h"
#include "local/AppLock.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

#include <algorithm>

namespace vesk {

PolicyManagerModel::PolicyManagerModel(ConsoleFleet &fleet, AppLock &lock, QObject *parent)
    : QObject(parent), m_fleet(fleet), m_lock(lock)
{
    connect(&m_lock, &AppLock::lockStateChanged, this, &PolicyManagerModel::changed);
}

QCoro::Task<> PolicyManagerModel::load()
{
    QPointer<PolicyManagerModel> self(this);
    m_loading = true;
    emit changed();
    const APIResult<QList<DevicePolicy>> answer = co_await m_fleet.policies();
    if (!self)
        co_return;
    m_loading = false;
    m_loaded = true;
    m_loadError = answer.errorMessage();
    if (answer) {
        m_policies = answer.value();
        std::sort(m_policies.begin(), m_policies.end(), [](const DevicePolicy &a, const DevicePolicy &b) {
            return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
        });
        // A selection the server no longer lists is dropped; an unsaved draft stays.
        if (m_selected) {
            const auto listed = std::find_if(m_policies.cbegin(), m_policies.cend(),
                                             [&](const DevicePolicy &p) { return p.id == m_selected->id; });
            if (listed != m_policies.cend())
                m_selected = *listed;
        }
    }
    emit changed();
}

QString PolicyManagerModel::listNote() const
{
    if (m_loading && m_policies.isEmpty())
        return ConsoleTexts::loadingPolicies;
    if (!m_loadError.isEmpty())
        return ConsoleTexts::policiesFailed + m_loadError;
    if (m_loaded && m_policies.isEmpty())
        return ConsoleTexts::noPolicies;
    return {};
}

void PolicyManagerModel::select(const QUuid &id)
{
    m_selected.reset();
    for (const DevicePolicy &policy : std::as_const(m_policies)) {
        if (policy.id == id)
            m_selected = policy;
    }
    m_status.clear();
    emit changed();
}

void PolicyManagerModel::createDraft()
{
    m_selected = DevicePolicy{};
    m_status.clear();
    emit changed();
}

bool PolicyManagerModel::editable() const
{
    return !m_lock.policyLocked();
}

QCoro::Task<bool> PolicyManagerModel::save(DevicePolicy draft)
{
    if (!editable()) {
        m_status = ConsoleTexts::policyLocked;
        emit changed();
        co_return false;
    }
    if (const std::optional<QString> problem = PolicyDraftCheck::problem(draft)) {
        m_status = *problem;
        emit changed();
        co_return false;
    }
    QPointer<PolicyManagerModel> self(this);
    const APIStatus sent = co_await m_fleet.savePolicy(draft);
    if (!self)
        co_return false;
    if (!sent) {
        m_status = ConsoleTexts::policySaveFailed + draft.name + QStringLiteral(": ") + sent.errorMessage();
        emit changed();
        co_return false;
    }
    const auto known = std::find_if(m_policies.begin(), m_policies.end(),
                                    [&](const DevicePolicy &p) { return p.id == draft.id; });
    if (known != m_policies.end())
        *known = draft;
    else
        m_policies.append(draft);
    m_selected = draft;
    m_status = ConsoleTexts::policySaved + draft.name;
    emit changed();
    co_return true;
}

QCoro::Task<bool> PolicyManagerModel::remove(QUuid id)
{
    const auto known = std::find_if(m_policies.cbegin(), m_policies.cend(),
                                    [&](const DevicePolicy &p) { return p.id == id; });
    const QString name = known != m_policies.cend() ? known->name : (m_selected ? m_selected->name : QString());
    if (!editable()) {
        m_status = ConsoleTexts::policyLocked;
        emit changed();
        co_return false;
    }
    if (known == m_policies.cend()) {
        // Never saved: nothing on the server to delete.
        if (m_selected && m_selected->id == id)
            m_selected.reset();
        m_status.clear();
        emit changed();
        co_return true;
    }
    QPointer<PolicyManagerModel> self(this);
    const APIStatus sent = co_await m_fleet.deletePolicy(id);
    if (!self)
        co_return false;
    if (!sent) {
        // The server refusing reads differently from not reaching it at all.
        m_status = sent.error().code() == APIError::Code::serverError
                       ? ConsoleTexts::deleteFailedFor + name + QStringLiteral(": ") + sent.errorMessage()
                       : ConsoleTexts::deletePolicyFailed + name;
        emit changed();
        co_return false;
    }
    m_policies.removeIf([&](const DevicePolicy &p) { return p.id == id; });
    if (m_selected && m_selected->id == id)
        m_selected.reset();
    m_status = ConsoleTexts::policyDeleted + name;
    emit changed();
    co_return true;
}

QList<AssignableMachine> PolicyManagerModel::assignable(const QList<MachineEntry> &machines, const DevicePolicy &policy)
{
    QList<AssignableMachine> rows;
    for (const MachineEntry &machine : machines)
        rows.append({machine.serial, machine.name, policy.assignedSerials.contains(machine.serial)});
    for (const QString &serial : policy.assignedSerials) {
        const bool listed = std::any_of(machines.cbegin(), machines.cend(),
                                        [&](const MachineEntry &m) { return m.serial == serial; });
        if (!listed)
            rows.append({serial, serial, true});
    }
    return rows;
}

namespace {
const QString kId = QStringLiteral("id");
const QString kName = QStringLiteral("name");
const QString kSerials = QStringLiteral("assignedSerials");
} // namespace

QString PolicyManagerModel::rulesText(const DevicePolicy &policy)
{
    QJsonObject rules = policy.toJson();
    for (const QString &key : {kId, kName, kSerials})
        rules.remove(key);
    return QString::fromUtf8(QJsonDocument(rules).toJson(QJsonDocument::Indented));
}

} // namespace vesk
