#pragma once

#include <QString>

#include <iosfwd>
#include <optional>

namespace vesk {

// What one fleet command came to: success or failure and, almost always, the text the
// fleet server shows next to the command.
struct CommandResult {
    bool success = false;
    std::optional<QString> message;
    // A restart the machine accepted: the agent quits, but only once this result has been
    // posted, or the post would die with the agent.
    bool quitAgentAfterReport = false;

    static CommandResult ok(QString message) { return {true, std::move(message)}; }
    static CommandResult failure(QString message) { return {false, std::move(message)}; }

    bool operator==(const CommandResult &) const = default;
};

std::ostream &operator<<(std::ostream &out, const CommandResult &result);

} // namespace vesk
