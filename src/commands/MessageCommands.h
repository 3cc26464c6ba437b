#pragma once

#include "commands/CommandResult.h"

#include <QMap>
#include <QString>

namespace vesk {

// The administrator's message on this machine's screen, as the command poller drives it.
// The on-screen message controller implements it; the result texts are its own.
class MessageCommands {
public:
    virtual ~MessageCommands() = default;

    // "show_message": `params` are the command's parameters as text ("message", "title",
    // "dismissable").
    virtual CommandResult showMessage(qint64 commandId, const QMap<QString, QString> &params) = 0;
    // "clear_message".
    virtual CommandResult clearMessage() = 0;
    // Puts a message that was on screen before the agent stopped back on screen, with its
    // first receive time.
    virtual void restoreMessage() = 0;
};

} // namespace vesk
