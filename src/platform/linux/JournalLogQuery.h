#pragma once

#include "platform/ProcessRunner.h"

namespace vesk {

// The last five minutes of the journal in journalctl's short form.
//
// An application is narrowed with journald matches standing for "its own subsystem, or a
// process of its executable's name": SYSLOG_IDENTIFIER equal to the bundle identifier or
// to its last dot-separated part, or else (+) the kernel's command name (_COMM, which the
// kernel cuts to 15 bytes) equal to that last part. Matches are exact, so an identifier
// can narrow the output but never widen it; an empty last part adds no match.
ToolInvocation journalRecentLogInvocation(const std::optional<QString> &bundleIdentifier);

} // namespace vesk
