#include "fleetd/cli/ReleaseCommand.h"

#include "fleetd/cli/AdminSupport.h"

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

    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    if (!hex.match(release.sha256).hasMatch())
        return reportFailure(err, QStringLiteral("--sha256 must be 64 hexadecimal digits"));
    const QUrl url(release.downloadUrl, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return reportFailure(err, QStringLiteral("URL must be an http or https URL"));
    if (release.bundleId.trimmed().isEmpty() || release.version.trimmed().isEmpty())
        return reportFailure(err, QStringLiteral("BUNDLE_ID and VERSION must not be empty"));

    FleetStore store;
    if (!openAdminStore(store, commandLine.dbPath, FleetStore::OpenMode::CreateIfMissing, err))
        return 1;
    const StoreStatus published = store.releases().publish(release, QDateTime::currentDateTimeUtc());
    if (!published.isOk())
        return reportFailure(err, published.message());
    out << "published " << release.bundleId << ' ' << release.version << Qt::endl;
    return 0;
}

} // namespace vesk::fleetd
