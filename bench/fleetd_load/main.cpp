// fleetd_load: N simulated agents, each on its own keep-alive connection, polling
// device_commands with a valid fleet key against one `vesk-fleetd serve` child
// process. Two baselines run in the same process against the same server: a route
// that does nothing (an unknown path, answered 404 without authentication or
// storage) and HEAD speedtest (authentication only).
#include "FleetServer.h"
#include "LoadApplication.h"
#include "LoadPhase.h"

#include <QTextStream>

#include <algorithm>

#include <sys/resource.h>

namespace {

QByteArray request(const QByteArray &method, const QByteArray &path, quint16 port, const QByteArray &key,
                   const QByteArray &serial, const QByteArray &body)
{
    QByteArray text = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n";
    if (!key.isEmpty())
        text += "X-Fleet-Key: " + key + "\r\nX-Device-Serial: " + serial + "\r\n";
    if (!body.isEmpty())
        text += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
    return text + "\r\n" + body;
}

} // namespace

int main(int argc, char **argv)
{
    const QCommandLineOption agentsOption("agents", "Comma-separated agent counts.", "N,N", "1000,10000");
    const QCommandLineOption secondsOption("seconds", "Measured seconds per phase.", "S", "5");
    const LoadApplication app(argc, argv, {agentsOption, secondsOption});

    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }

    QList<int> counts;
    for (const QString &count : app.value(agentsOption).split(','))
        counts.append(count.toInt());
    const int maxAgents = *std::max_element(counts.begin(), counts.end());
    const int measureMs = app.value(secondsOption).toInt() * 1000;

    QTextStream out(stdout);
    FleetServer server;
    if (!server.start(maxAgents, out))
        return 1;
    const FleetFixture &fleet = server.fleet;
    const quint16 port = server.port;
    out << "vesk-fleetd pid " << server.process.processId() << " on port " << port << ", " << maxAgents
        << " machines" << Qt::endl;

    out << "agents  route                    req/s     p50 ms   p99 ms  unexpected  vs 404 route" << Qt::endl;
    for (const int count : counts) {
        QByteArrayList baseline;
        QByteArrayList head;
        QByteArrayList poll;
        for (int i = 0; i < count; ++i) {
            const QByteArray serial = fleet.serials.at(i).toLatin1();
            baseline.append(request("GET", "/api/nope", port, {}, {}, {}));
            head.append(request("HEAD", "/api/speedtest", port, fleet.fleetKey, serial, {}));
            poll.append(request("POST", "/api/device_commands", port, fleet.fleetKey, serial,
                                "{\"serial\":\"" + serial + "\"}"));
        }
        // The first round trip of every agent must be over before the window opens.
        const int warmupMs = std::max(1000, count);
        const PhaseResult phases[] = {
            runPhase("GET unknown (404)", port, baseline, 404, warmupMs, measureMs),
            runPhase("HEAD speedtest (auth)", port, head, 200, warmupMs, measureMs),
            runPhase("POST device_commands", port, poll, 200, warmupMs, measureMs),
        };
        for (const PhaseResult &phase : phases) {
            out << QString::number(phase.agents).rightJustified(6) << "  " << phase.name.leftJustified(22) << ' '
                << QString::number(phase.perSecond(), 'f', 0).rightJustified(8) << ' '
                << QString::number(phase.p50Ms, 'f', 2).rightJustified(9) << ' '
                << QString::number(phase.p99Ms, 'f', 2).rightJustified(8) << ' '
                << QString::number(phase.unexpected).rightJustified(11) << "  "
                << QString::number(phase.perSecond() / std::max(1.0, phases[0].perSecond()), 'f', 2)
                << (phase.connected < phase.agents ? QStringLiteral("  (%1 connected)").arg(phase.connected) : QString())
                << Qt::endl;
        }
    }
    return 0;
}
