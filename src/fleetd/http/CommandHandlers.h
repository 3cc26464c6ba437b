#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/http/IdlePollAnswers.h"
#include "fleetd/http/IdlePollShortcut.h"
#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

#include <memory>

class QHttpServerRequest;

namespace vesk::fleetd {

// The command queue over HTTP (all authenticated):
//   POST device_commands {"serial"} → {"serial", "commands": [{"id", "command", "params"}]},
//        the pending commands, which are then marked delivered;
//   POST device_command_result {"command_id", "success", "result"?} → {"status": "ok"};
//        command id 0 records work the machine started itself;
//   POST device_command {"serial", "command", "params"?} →
//        {"queued": true, "command_id", "serial", "command"}.
class PushHub;

class CommandHandlers {
public:
    // With a push hub, a queued command is announced to its machine at once.
    // With a shortcut, idle answers are remembered for the connection front to repeat.
    explicit CommandHandlers(FleetContext context, PushHub *push = nullptr,
                             std::shared_ptr<IdlePollShortcut> shortcut = nullptr)
        : m_context(std::move(context)), m_push(push), m_shortcut(std::move(shortcut)) {}

    QHttpServerResponse poll(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse result(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse queue(const QHttpServerRequest &request, const TenantRecord &tenant) const;

private:
    FleetContext m_context;
    // Shared by the copies each route holds.
    std::shared_ptr<IdlePollAnswers> m_idleAnswers = std::make_shared<IdlePollAnswers>();
    PushHub *m_push;
    std::shared_ptr<IdlePollShortcut> m_shortcut;
};

} // namespace vesk::fleetd
