#include "console/PolicyDraftCheck.h"

#include "policy/PolicyCheck.h"

#include <QCoreApplication>

namespace vesk::PolicyDraftCheck {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("PolicyEditor", text);
}

std::optional<QString> keepAliveProblem(const KeepAliveRule &rule)
{
    if (rule.bundleIds.isEmpty())
        return tr("Keep-alive rule \"%1\" has no app. Add an app's bundle ID.").arg(rule.name);
    for (const QString &bundleId : rule.bundleIds) {
        if (bundleId.trimmed().isEmpty())
            return tr("Keep-alive rule \"%1\" has an empty bundle ID.").arg(rule.name);
    }
    for (const TimeWindow &window : rule.windows) {
        if (window.startHour == window.endHour && window.startMinute == window.endMinute)
            return tr("Keep-alive rule \"%1\" has a window that ends when it starts.").arg(rule.name);
    }
    if (rule.days.isEmpty())
        return tr("Keep-alive rule \"%1\" runs on no day. Pick at least one day.").arg(rule.name);
    return std::nullopt;
}

std::optional<QString> restartRuleProblem(const AppRestartRule &rule)
{
    if (rule.bundleId.trimmed().isEmpty())
        return tr("An app restart rule has an empty bundle ID.");
    if (rule.days.isEmpty())
        return tr("The restart rule for %1 runs on no day. Pick at least one day.").arg(rule.bundleId);
    return std::nullopt;
}
} // namespace

std::optional<QString> problem(const DevicePolicy &draft)
{
    for (const KeepAliveRule &rule : draft.keepAliveRules) {
        if (auto found = keepAliveProblem(rule))
            return found;
    }
    for (const AppRestartRule &rule : draft.appRestartRules) {
        if (auto found = restartRuleProblem(rule))
            return found;
    }
    if (draft.restartSchedule.enabled && draft.restartSchedule.days.isEmpty())
        return tr("The scheduled restart runs on no day. Pick at least one day.");
    if (draft.updatePolicy.mode == UpdatePolicy::Mode::automatic) {
        if (draft.updatePolicy.windowStart == draft.updatePolicy.windowEnd)
            return tr("The update window ends when it starts. Choose a different end hour.");
        if (draft.updatePolicy.days.isEmpty())
            return tr("The update window is open on no day. Pick at least one day.");
    }
    return PolicyCheck::problem(draft);
}

} // namespace vesk::PolicyDraftCheck
