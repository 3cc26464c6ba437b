#pragma once

#include "wire/policy/DevicePolicy.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace vesk {

// The kinds of rule a policy holds. The weekly restart and the update policy are one each;
// the others are lists the editor adds to and removes from.
enum class PolicyRuleKind { weeklyRestart, updates, keepAlive, appRestart, cleanup, share };

// One line of the editor's rule list: which rule, by kind and position in its list.
struct PolicyRuleRow {
    PolicyRuleKind kind = PolicyRuleKind::weeklyRestart;
    int index = 0;
    QString label;

    bool operator==(const PolicyRuleRow &) const = default;
};

// The rules of the policy being edited, as the editor's form sees them: a flat list of rows
// over the policy record, rules added and removed by row, and the fields' text forms. The
// form writes its fields straight into rules(); nothing is checked here, the draft check
// refuses a bad policy when it is saved.
class PolicyFormModel {
public:
    void setPolicy(const DevicePolicy &policy) { m_policy = policy; }
    const DevicePolicy &rules() const { return m_policy; }
    DevicePolicy &rules() { return m_policy; }

    // The weekly restart and the update policy first, then every listed rule by kind.
    QList<PolicyRuleRow> rows() const;
    QString label(PolicyRuleKind kind, int index) const;
    // Appends a new rule of a listed kind and answers its row; -1 for the single ones.
    int add(PolicyRuleKind kind);
    // False for the weekly restart and update rows, which cannot be removed.
    bool remove(int row);

    // The policy the form describes under the editor's name and assignment, or none with
    // `error` set when the name is blank.
    std::optional<DevicePolicy> draft(const QUuid &id, const QString &name, const QStringList &serials,
                                      QString *error) const;

    // The kinds the "Add Rule" menu offers, with their menu texts.
    static QList<PolicyRuleKind> addableKinds();
    static QString kindName(PolicyRuleKind kind);
    static QString modeName(UpdatePolicy::Mode mode);
    // Bundle IDs typed one per line or separated by commas, trimmed; blank entries are dropped
    // (a rule left with none is refused by the draft check).
    static QStringList bundleIds(const QString &text);
    static QString bundleIdsText(const QStringList &ids);

private:
    DevicePolicy m_policy;
};

} // namespace vesk
