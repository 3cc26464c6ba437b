#pragma once

#include "commands/payload/PayloadArchiver.h"
#include "commands/payload/PayloadResult.h"
#include "platform/PlatformPaths.h"

#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

class AppLifecycle;
class Clock;
class FleetAPIClient;
struct RemotePayload;

// Deploys configuration payloads into folders under the shared folder and puts the newest
// backup back. Every check (id, record, path, download, checksum, unpacking) happens
// before the target is touched; file work runs on worker threads and is awaited. Runs
// inside the command poller's serial loop, so two deploys never overlap.
class PayloadService {
public:
    struct Dependencies {
        FleetAPIClient &api;
        AppLifecycle &apps;
        Clock &clock;
        PlatformPaths paths;
        PayloadArchiver::Limits limits = {};
    };

    explicit PayloadService(Dependencies deps);

    // "deploy_payload": `payloadId` is the command's "payload_id" text (empty when missing).
    QCoro::Task<PayloadResult> deployPayload(QString payloadId);
    // "restore_payload_backup": `targetPath` is the command's "target_path" text.
    QCoro::Task<PayloadResult> restorePayloadBackup(QString targetPath);

private:
    QCoro::Task<PayloadResult> install(RemotePayload payload, QString download);

    FleetAPIClient &m_api;
    AppLifecycle &m_apps;
    Clock &m_clock;
    PlatformPaths m_paths;
    PayloadArchiver m_archiver;
};

} // namespace vesk
