#pragma once

#include "platform/WorkspaceTypes.h"

#include <QStringList>

namespace vesk {

// Starts `program` as a session leader of its own (setsid), apart from the agent: it is
// the grandchild of a short-lived fork, so init reaps it and the agent keeps no zombie.
// Standard input and output go to /dev/null and the working folder is "/". The answer
// comes once exec has happened or failed, with exec's own error when it failed.
LaunchOutcome launchDetached(const QString &program, const QStringList &arguments);

} // namespace vesk
