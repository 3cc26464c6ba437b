#include "commands/CommandResult.h"

#include <ostream>

namespace vesk {

std::ostream &operator<<(std::ostream &out, const CommandResult &result)
{
    out << (result.success ? "success" : "failure");
    if (result.message)
        out << " \"" << result.message->toStdString() << '"';
    if (result.quitAgentAfterReport)
        out << ", then the agent quits";
    return out;
}

} // namespace vesk
