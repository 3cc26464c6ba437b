#include "commands/messages/MessageCommandBridge.h"

#include "commands/messages/RemoteMessageController.h"

namespace vesk {

QCoro::Task<CommandResult> MessageCommandBridge::showMessage(qint64 commandId, QMap<QString, QString> params)
{
    const RemoteMessageResult result = m_controller.showFromCommand(commandId, params);
    co_return CommandResult{result.success, result.message};
}

QCoro::Task<CommandResult> MessageCommandBridge::clearMessage()
{
    const RemoteMessageResult result = m_controller.clearFromCommand();
    co_return CommandResult{result.success, result.message};
}

void MessageCommandBridge::restoreMessage()
{
    m_controller.restore();
}

} // namespace vesk
