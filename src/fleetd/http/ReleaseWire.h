#pragma once

#include "fleetd/records/ReleaseRecord.h"
#include "wire/policy/AppUpdatesResponse.h"

#include <QJsonObject>
#include <QList>
#include <QUrl>

namespace vesk::fleetd {

// A published release as the agent decodes it; empty optional texts are left out.
AvailableUpdate toWire(const ReleaseRecord &release);
// The app-updates answer in its wire form (the record's keys in snake_case). Archives hosted
// here get a download URL on `base` (the address the agent asked) and their signature.
QJsonObject appUpdatesJson(const QList<ReleaseRecord> &releases, const QUrl &base = {},
                           const QString &dbPath = {});

} // namespace vesk::fleetd
