#pragma once

#include "commands/CommandResult.h"

#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

// Configuration payloads as the command poller asks for them; the payload service
// answers with its own result texts.
class PayloadCommands {
public:
    virtual ~PayloadCommands() = default;

    // `payloadId` has already been read as a decimal integer.
    virtual QCoro::Task<CommandResult> deployPayload(qint64 payloadId) = 0;
    // The "target_path" parameter as received; none when it was not sent.
    virtual QCoro::Task<CommandResult> restorePayloadBackup(std::optional<QString> targetPath) = 0;
};

} // namespace vesk
