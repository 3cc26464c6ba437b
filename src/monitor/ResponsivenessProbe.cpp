#include "monitor/ResponsivenessProbe.h"

#include "platform/SystemInfoSource.h"

namespace vesk {

QHash<QString, bool> probeResponsiveness(const QList<ResponsivenessProbeRequest> &requests,
                                         const SystemInfoSource &source)
{
    // Every process is asked in one call, so that a platform that pings the apps waits once.
    QList<qint32> pids;
    for (const ResponsivenessProbeRequest &request : requests) {
        if (request.isRunning && request.isFinishedLaunching)
            pids.append(request.pid);
    }
    const QHash<qint32, bool> answers = pids.isEmpty() ? QHash<qint32, bool>() : source.processesRespond(pids);
    QHash<QString, bool> verdicts;
    for (const ResponsivenessProbeRequest &request : requests) {
        const bool canAsk = request.isRunning && request.isFinishedLaunching;
        verdicts.insert(request.bundleId, canAsk && answers.value(request.pid, false));
    }
    return verdicts;
}

} // namespace vesk
