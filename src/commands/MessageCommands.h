#pragma once

#include "commands/CommandResult.h"

#include <QMap>
#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

// The administrator's message on this machine's screen, as the command poller drives it.
class MessageCommands {
public:
    virtual ~MessageCommands() = default;

    // `params` are the command's parameters as text ("message", "title", "dismissable").
    virtual QCoro::Task<CommandResult> showMessage(qint64 commandId, QMap<QString, QString> params) = 0;
    virtual QCoro::Task<CommandResult> clearMessage() = 0;
    // Puts a message that was on screen before the agent stopped back on screen.
    virtual void restoreMessage() = 0;
};

} // namespace vesk
