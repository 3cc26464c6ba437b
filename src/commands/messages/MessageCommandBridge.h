#pragma once

#include "commands/MessageCommands.h"

namespace vesk {

class RemoteMessageController;

// Hands the command poller's message commands to the on-screen message controller.
class MessageCommandBridge final : public MessageCommands {
public:
    explicit MessageCommandBridge(RemoteMessageController &controller) : m_controller(controller) {}

    QCoro::Task<CommandResult> showMessage(qint64 commandId, QMap<QString, QString> params) override;
    QCoro::Task<CommandResult> clearMessage() override;
    void restoreMessage() override;

private:
    RemoteMessageController &m_controller;
};

} // namespace vesk
