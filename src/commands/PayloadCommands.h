#pragma once

#include "commands/CommandResult.h"

#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

// Configuration payloads as the command poller asks for them. The payload service
// implements it; the result texts are its own.
class PayloadCommands {
public:
    virtual ~PayloadCommands() = default;

    // "deploy_payload": `payloadId` has already been read as a decimal integer.
    virtual QCoro::Task<CommandResult> deployPayload(qint64 payloadId) = 0;
    // "restore_payload_backup": the "target_path" parameter as received, empty when not sent.
    virtual QCoro::Task<CommandResult> restorePayloadBackup(QString targetPath) = 0;
};

} // namespace vesk
