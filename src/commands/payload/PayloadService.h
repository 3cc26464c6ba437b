#pragma once

#include "commands/PayloadCommands.h"
#include "commands/payload/PayloadArchiver.h"
#include "commands/payload/PayloadBackupStore.h"
#include "platform/FolderHandle.h"
#include "platform/PlatformPaths.h"

#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

class AppLifecycle;
class Clock;
class FleetAPIClient;
struct RemotePayload;

// Deploys configuration payloads into folders under the shared folder and puts the newest
// backup back. Every check (id, record, path, download, checksum, unpacking, the backup
// store) happens before the target is touched; the target's parent, the staging folder and
// the store are opened once and the swap works on those handles. File work runs on worker
// threads and is awaited. Runs inside the command poller's serial loop, so two deploys never
// overlap.
class PayloadService final : public PayloadCommands {
public:
    struct Dependencies {
        FleetAPIClient &api;
        AppLifecycle &apps;
        Clock &clock;
        PlatformPaths paths;
        PayloadArchiver::Limits limits = {};
    };

    explicit PayloadService(Dependencies deps);

    QCoro::Task<CommandResult> deployPayload(qint64 payloadId) override;
    QCoro::Task<CommandResult> restorePayloadBackup(QString targetPath) override;

private:
    // What a deploy prepared before the apps close.
    struct Staged {
        FolderHandle parent; // the target's parent
        StagedArchive archive;
        std::optional<PayloadBackupStore> store;
        std::optional<QString> failure;
    };

    QCoro::Task<CommandResult> install(RemotePayload payload, QString download);
    static Staged stage(const PayloadArchiver &archiver, const PlatformPaths &paths, const QString &download,
                        const QString &target);
    static Opened<FolderHandle> openParent(const PlatformPaths &paths, const QString &target);
    static PayloadBackupStore::Opened openStore(const PlatformPaths &paths, bool create);

    FleetAPIClient &m_api;
    AppLifecycle &m_apps;
    Clock &m_clock;
    PlatformPaths m_paths;
    PayloadArchiver m_archiver;
};

} // namespace vesk
