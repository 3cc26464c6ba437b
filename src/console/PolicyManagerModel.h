#pragma once

#include "console/MachineListModel.h"
#include "wire/policy/DevicePolicy.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class AppLock;
class ConsoleFleet;

// One machine the policy editor can assign a policy to.
struct AssignableMachine {
    QString serial;
    QString name; // the serial again for a machine the fleet no longer lists
    bool assigned = false;

    bool operator==(const AssignableMachine &) const = default;
};

// The Policy Manager: the tenant's policies as the fleet server lists them, the one being
// edited, and the outcome of the last save or delete. Saving and deleting are refused while
// the policy lock is engaged, and a draft the policy check refuses never leaves the console.
class PolicyManagerModel : public QObject {
    Q_OBJECT
public:
    PolicyManagerModel(ConsoleFleet &fleet, AppLock &lock, QObject *parent = nullptr);

    QCoro::Task<> load();
    const QList<DevicePolicy> &policies() const { return m_policies; }
    // The line above the list: loading, the failure, or the empty list; empty otherwise.
    QString listNote() const;

    void select(const QUuid &id);
    // Starts a new, unsaved policy and selects it.
    void createDraft();
    // The policy being edited, or none (the editor then shows its empty state).
    const std::optional<DevicePolicy> &selected() const { return m_selected; }

    bool editable() const;
    QCoro::Task<bool> save(DevicePolicy draft);
    QCoro::Task<bool> remove(QUuid id);
    // What the last save, delete or refusal said.
    QString statusText() const { return m_status; }

    // The fleet's machines with the policy's assignment marked, then any serial the policy
    // names that the fleet no longer lists (kept, so saving does not drop it unseen).
    static QList<AssignableMachine> assignable(const QList<MachineEntry> &machines, const DevicePolicy &policy);

    // The editor's read-only JSON view: the policy's rules in the agent's own JSON form,
    // without the id, name and assignment the editor shows in fields of their own.
    static QString rulesText(const DevicePolicy &policy);

signals:
    void changed();

private:
    ConsoleFleet &m_fleet;
    AppLock &m_lock;
    QList<DevicePolicy> m_policies;
    std::optional<DevicePolicy> m_selected;
    bool m_loading = false;
    bool m_loaded = false;
    QString m_loadError;
    QString m_status;
};

} // namespace vesk
