#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace vesk {

class SystemInfoSource;

// What the probe needs to know of one running app, captured when the pass started it.
struct ResponsivenessProbeRequest {
    QString bundleId;
    qint32 pid = 0;
    bool isRunning = false;           // not terminated
    bool isFinishedLaunching = false;

    bool operator==(const ResponsivenessProbeRequest &) const = default;
};

// Runs on a worker thread: an app answers when it runs, has finished launching and the
// platform says its process can respond. Later requests for one bundle replace earlier ones.
QHash<QString, bool> probeResponsiveness(const QList<ResponsivenessProbeRequest> &requests,
                                         const SystemInfoSource &source);

} // namespace vesk
