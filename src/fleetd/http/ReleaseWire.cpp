#include "fleetd/http/ReleaseWire.h"

#include "fleetd/storage/ReleaseArchives.h"
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

QJsonObject appUpdatesJson(const QList<ReleaseRecord> &releases, const QUrl &base, const QString &dbPath)
{
    AppUpdatesResponse response;
    const QLatin1String hostedRoute(ReleaseArchives::downloadRoute);
    for (const ReleaseRecord &release : releases) {
        AvailableUpdate update = toWire(release);
        if (release.downloadUrl.startsWith(hostedRoute) && base.isValid()) {
            const QString name = release.downloadUrl.mid(hostedRoute.size());
            update.downloadUrl = base.resolved(QUrl(release.downloadUrl)).toString();
            if (!dbPath.isEmpty())
                update.signature = unlessEmpty(ReleaseArchives(dbPath).signatureOf(name));
        }
        response.updates.append(update);
    }
    return KeyCase::toReadableSnakeCase(response.toJson()).toObject();
}

} // namespace vesk::fleetd
