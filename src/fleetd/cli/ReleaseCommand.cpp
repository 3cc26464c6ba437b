#include "fleetd/cli/ReleaseCommand.h"

#include "fleetd/cli/AdminSupport.h"
#include "fleetd/storage/ReleaseArchives.h"

#include <QFileInfo>

#include <QRegularExpression>
#include <QUrl>

namespace vesk::fleetd {

int runReleasePublish(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    ReleaseRecord release;
    release.bundleId = commandLine.operands.at(0);
    release.version = commandLine.operands.at(1);
    release.downloadUrl = commandLine.operands.at(2);
    release.sha256 = commandLine.sha256.toLower();
    release.build = commandLine.build;
    release.name = commandLine.name;
    release.releaseNotes = commandLine.notes;
    release.critical = commandLine.critical;
    if (release.bundleId.trimmed().isEmpty() || release.version.trimmed().isEmpty())
        return reportFailure(err, QStringLiteral("BUNDLE_ID and VERSION must not be empty"));

    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    // A local archive is hosted and signed here; anything else names another host's URL.
    const bool hosted = QFileInfo(release.downloadUrl).isFile();
    if (hosted) {
        QString error;
        const std::optional<ReleaseArchives::Stored> stored =
            ReleaseArchives(commandLine.dbPath).store(release.downloadUrl, &error);
        if (!stored)
            return reportFailure(err, error);
        if (!release.sha256.isEmpty() && release.sha256 != stored->sha256)
            return reportFailure(err, QStringLiteral("--sha256 does not match the archive"));
        release.sha256 = stored->sha256;
        release.downloadUrl = QLatin1String(ReleaseArchives::downloadRoute) + stored->name;
    } else {
        if (!hex.match(release.sha256).hasMatch())
            return reportFailure(err, QStringLiteral("--sha256 must be 64 hexadecimal digits"));
        const QUrl url(release.downloadUrl, QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
            return reportFailure(err, QStringLiteral("ARCHIVE must be a file or an http or https URL"));
    }

    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::CreateIfMissing, err))
        return 1;
    const StoreStatus published = store.releases().publish(release, QDateTime::currentDateTimeUtc());
    if (!published.isOk())
        return reportFailure(err, published.message());
    out << "published " << release.bundleId << ' ' << release.version << (hosted ? " (signed)" : "") << Qt::endl;
    return 0;
}

} // namespace vesk::fleetd
