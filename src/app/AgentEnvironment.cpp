#include "app/AgentEnvironment.h"

#include <QtGlobal>

#include <optional>

namespace vesk {

namespace {
std::optional<AgentEnvironment> &slot()
{
    static std::optional<AgentEnvironment> environment;
    return environment;
}
} // namespace

void AgentEnvironment::install(AgentEnvironment environment)
{
    slot() = std::move(environment);
}

const AgentEnvironment &AgentEnvironment::current()
{
    if (!slot())
        qFatal("AgentEnvironment::current() called before the executable installed the platform objects");
    return *slot();
}

bool AgentEnvironment::isInstalled()
{
    return slot().has_value();
}

} // namespace vesk
