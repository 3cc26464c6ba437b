#pragma once

#include "commands/payload/PayloadArchiver.h"
#include "wire/RemotePayload.h"
#include "platform/PlatformPaths.h"

#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class FleetAPIClient;

// The console's "Capture & Upload": zips a settings folder under the shared folder and
// uploads it to the fleet server as a new payload.
class PayloadCapture {
public:
    struct Request {
        QString name;
        QString notes;
        QString folder;                // the folder to capture, also the payload's target
        QStringList relaunchBundleIds; // apps to close and relaunch when the payload lands
    };

    struct Result {
        std::optional<RemotePayload> payload; // as the server stored it
        QString error;                        // the text the capture sheet shows otherwise
        bool ok() const { return payload.has_value(); }
    };

    PayloadCapture(FleetAPIClient &api, PlatformPaths paths);

    QCoro::Task<Result> captureAndUpload(Request request);

private:
    FleetAPIClient &m_api;
    PlatformPaths m_paths;
    PayloadArchiver m_archiver;
};

} // namespace vesk
