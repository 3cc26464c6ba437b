#include "monitor/ResponsivenessProbe.h"

#include "platform/SystemInfoSource.h"

namespace vesk {

QHash<QString, bool> probeResponsiveness(const QList<ResponsivenessProbeRequest> &requests,
                                         const SystemInfoSource &source)
{
    QHash<QString, bool> verdicts;
    for (const ResponsivenessProbeRequest &request : requests) {
        const bool canAsk = request.isRunning && request.isFinishedLaunching;
        verdicts.insert(request.bundleId, canAsk && source.processResponds(request.pid));
    }
    return verdicts;
}

} // namespace vesk
