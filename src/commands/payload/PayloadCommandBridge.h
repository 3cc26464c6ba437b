#pragma once

#include "commands/PayloadCommands.h"

namespace vesk {

class PayloadService;

// Hands the command poller's payload commands to the payload service.
class PayloadCommandBridge final : public PayloadCommands {
public:
    explicit PayloadCommandBridge(PayloadService &service) : m_service(service) {}

    QCoro::Task<CommandResult> deployPayload(qint64 payloadId) override;
    QCoro::Task<CommandResult> restorePayloadBackup(std::optional<QString> targetPath) override;

private:
    PayloadService &m_service;
};

} // namespace vesk
