#pragma once

#include <QString>
#include <QStringList>

namespace vesk::fleetd {

// The fourteen commands an agent understands; nothing else is queued.
const QStringList &knownCommandNames();
bool isKnownCommand(const QString &name);

} // namespace vesk::fleetd
