#pragma once

#include "BundleFixture.h"
#include "ManualClock.h"
#include "MemoryDefaultsStore.h"
#include "PayloadRig.h"
#include "ScriptedHttpTransport.h"

#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/RenameExchange.h"
#include "settings/FleetSettingsStore.h"
#include "updates/AppInstaller.h"
#include "updates/UpdateService.h"

#include <QTemporaryDir>

namespace vesk::test {

// Packs `bundle` (a folder "Name.app") into `archive`; the tool is chosen by the name's end.
void packBundle(const QString &bundle, const QString &archive);
// Every path below `root` with its type, mode and bytes, hashed: equal digests mean equal trees.
QByteArray treeDigest(const QString &root);

// An update service over real bundles under a temporary root: the application folder, a
// second folder standing for the rest of the machine, the backup folder and the downloads.
struct UpdateRig {
    static inline const QString captureId = QStringLiteral("com.lumora.Capture");

    QTemporaryDir root;
    PlatformPaths paths = pathsUnder(root.path());
    ManualClock clock;
    MemoryDefaultsStore defaults;
    FleetSettingsStore settings{defaults, clock};
    ScriptedHttpTransport http;
    LinuxWorkspace workspace{paths.applicationDirs};
    FakeApps apps;
    RenameExchange swap;
    AppInstaller installer{{workspace, apps, clock, swap, paths}};
    QList<AvailableUpdate> serverReleases;
    bool serverAnswers = true;
    int fetches = 0;
    UpdateService service{{[this]() -> QCoro::Task<std::optional<QList<AvailableUpdate>>> {
                               ++fetches;
                               if (!serverAnswers)
                                   co_return std::nullopt;
                               // A copy: the task's promise moves from what it is given.
                               co_return std::optional<QList<AvailableUpdate>>(serverReleases);
                           },
                           settings, http, clock, installer,
                           InstalledAppLookup(workspace, paths.applicationsDir()), paths.tempDir}};

    static PlatformPaths pathsUnder(const QString &root)
    {
        PlatformPaths p = PlatformPaths::underRoot(root);
        p.applicationDirs = {root + QStringLiteral("/Applications"), root + QStringLiteral("/Downloads")};
        return p;
    }
    // A real bundle "<name>.app" in `folder` (the application folder by default).
    QString makeApp(const QString &id, const QString &name, const QString &version, QString folder = {},
                    const QByteArray &marker = {})
    {
        if (folder.isEmpty())
            folder = paths.applicationsDir();
        const QString bundle = makeBundle(folder, name + QStringLiteral(".app"), appInfo(id, name, version));
        writeFile(bundle + QStringLiteral("/Contents/Resources/data.bin"), marker.isEmpty() ? version.toUtf8() : marker);
        workspace.refreshApplications();
        return bundle;
    }
    // An archive of a new version of an app, in a scratch folder, padded past the size floor.
    QString makeArchive(const QString &id, const QString &name, const QString &version, const QString &fileName)
    {
        const QString scratch = root.path() + QStringLiteral("/scratch-") + fileName;
        const QString bundle = makeBundle(scratch, name + QStringLiteral(".app"), appInfo(id, name, version));
        writeFile(bundle + QStringLiteral("/Contents/Resources/data.bin"), QByteArray(4000, 'n') + version.toUtf8());
        const QString archive = root.path() + QStringLiteral("/") + fileName;
        packBundle(bundle, archive);
        return archive;
    }
    AvailableUpdate release(const QString &id, const QString &version, const QString &url) const
    {
        AvailableUpdate r;
        r.bundleId = id;
        r.name = id.section(QLatin1Char('.'), -1);
        r.version = version;
        r.downloadUrl = url;
        return r;
    }
    QString installedVersion(const QString &id)
    {
        workspace.refreshApplications();
        const auto path = workspace.applicationPath(id);
        const auto info = path ? workspace.bundleInfo(*path) : std::nullopt;
        return info ? info->shortVersion.value_or(QString()) : QString();
    }
    // Names left in a folder other than bundles: staging a failed install must remove.
    QStringList leftovers(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).filter(
            QStringLiteral(".warden-staging"));
    }
};

} // namespace vesk::test
