#pragma once

#include "fleetd/records/ReleaseRecord.h"
#include "wire/policy/AppUpdatesResponse.h"

#include <QJsonObject>
#include <QList>

namespace vesk::fleetd {

// A published release as the agent decodes it; empty optional texts are left out.
AvailableUpdate toWire(const ReleaseRecord &release);
// The app-updates answer in its wire form (the record's keys in snake_case).
QJsonObject appUpdatesJson(const QList<ReleaseRecord> &releases);

} // namespace vesk::fleetd
