#include "platform/linux/JournalLogQuery.h"

namespace vesk {

namespace {
// TASK_COMM_LEN less the terminating NUL; identifiers are ASCII, so characters are bytes.
constexpr qsizetype commandNameLength = 15;
} // namespace

ToolInvocation journalRecentLogInvocation(const std::optional<QString> &bundleIdentifier)
{
    ToolInvocation invocation{QStringLiteral("journalctl"),
                              {QStringLiteral("--no-pager"), QStringLiteral("--quiet"), QStringLiteral("--output=short"),
                               QStringLiteral("--since=-5min")}};
    if (!bundleIdentifier)
        return invocation;

    const QString &id = *bundleIdentifier;
    const QString processName = id.section(QLatin1Char('.'), -1);
    invocation.arguments << QStringLiteral("SYSLOG_IDENTIFIER=") + id;
    if (processName.isEmpty())
        return invocation;
    if (processName != id)
        invocation.arguments << QStringLiteral("SYSLOG_IDENTIFIER=") + processName;
    invocation.arguments << QStringLiteral("+")
                         << QStringLiteral("_COMM=") + processName.left(commandNameLength);
    return invocation;
}

} // namespace vesk
