#include "fleetd/http/ReleaseWire.h"

#include "wire/KeyCaseConversion.h"

namespace vesk::fleetd {

namespace {

std::optional<QString> unlessEmpty(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

} // namespace

AvailableUpdate toWire(const ReleaseRecord &release)
{
    AvailableUpdate out;
    out.bundleId = release.bundleId;
    out.name = unlessEmpty(release.name);
    out.version = release.version;
    out.build = unlessEmpty(release.build);
    out.downloadUrl = release.downloadUrl;
    out.sha256 = release.sha256;
    out.releaseNotes = unlessEmpty(release.releaseNotes);
    out.releasedAt = release.releasedAt;
    out.critical = release.critical;
    return out;
}

QJsonObject appUpdatesJson(const QList<ReleaseRecord> &releases)
{
    AppUpdatesResponse response;
    for (const ReleaseRecord &release : releases)
        response.updates.append(toWire(release));
    return KeyCase::toReadableSnakeCase(response.toJson()).toObject();
}

} // namespace vesk::fleetd
