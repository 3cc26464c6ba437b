#pragma once

#include "commands/CommandResult.h"

#include <qcoro/qcorotask.h>

namespace vesk {

class FleetCommandChannel;

// Posts one command's result. A failed post is logged and dropped: the server then sees
// the command as unanswered. Results of the agent's own timed work go out as command 0.
// A copy is as good as the original, so coroutines keep one in their frame.
class ResultReporter {
public:
    explicit ResultReporter(FleetCommandChannel &fleet) : m_fleet(&fleet) {}

    QCoro::Task<> report(qint64 commandId, CommandResult result) const;

private:
    FleetCommandChannel *m_fleet;
};

} // namespace vesk
