#pragma once

#include "commands/PayloadCommands.h"
#include "commands/payload/PayloadArchiver.h"
#include "platform/PlatformPaths.h"

#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

class AppLifecycle;
class Clock;
class FleetAPIClient;
struct RemotePayload;

// Deploys configuration payloads into folders under the shared folder and puts the newest
// backup back. Every check (record, path, download, checksum, unpacking) happens before
// the target is touched; file work runs on worker threads and is awaited. Runs inside the
// command poller's serial loop, so two deploys never overlap.
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
    QCoro::Task<CommandResult> install(RemotePayload payload, QString download);

    FleetAPIClient &m_api;
    AppLifecycle &m_apps;
    Clock &m_clock;
    PlatformPaths m_paths;
    PayloadArchiver m_archiver;
};

} // namespace vesk
