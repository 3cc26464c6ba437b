#pragma once

#include <QString>

#include <ostream>

namespace vesk {

// The outcome of "show_message" and "clear_message": what the command poller reports.
struct RemoteMessageResult {
    bool success = false;
    QString message;

    friend bool operator==(const RemoteMessageResult &, const RemoteMessageResult &) = default;
};

inline std::ostream &operator<<(std::ostream &out, const RemoteMessageResult &result)
{
    return out << (result.success ? "success: " : "failure: ") << result.message.toStdString();
}

} // namespace vesk
