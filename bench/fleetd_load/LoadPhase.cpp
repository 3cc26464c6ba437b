#include "LoadPhase.h"

#include "AgentConnection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

double percentileMs(std::vector<qint64> &micros, double fraction)
{
    if (micros.empty())
        return 0;
    const size_t index = std::min(micros.size() - 1, static_cast<size_t>(fraction * micros.size()));
    std::nth_element(micros.begin(), micros.begin() + static_cast<std::ptrdiff_t>(index), micros.end());
    return micros[index] / 1000.0;
}

} // namespace

PhaseResult runPhase(const QString &name, quint16 port, const QByteArrayList &requests, int expectedStatus,
                     int warmupMs, int measureMs)
{
    PhaseResult result;
    result.name = name;
    result.agents = static_cast<int>(requests.size());
    bool measuring = false;
    std::vector<qint64> latencies;
    latencies.reserve(1 << 20);

    QObject owner;
    std::vector<AgentConnection *> agents;
    for (const QByteArray &request : requests) {
        agents.push_back(new AgentConnection(request, [&](int status, qint64 micros) {
            if (!measuring)
                return;
            ++result.answers;
            if (status != expectedStatus)
                ++result.unexpected;
            latencies.push_back(micros);
        }, &owner));
    }
    // Connect in slices so the listen backlog is never the thing measured.
    QEventLoop loop;
    for (size_t i = 0; i < agents.size(); ++i) {
        agents[i]->start(port);
        if (i % 500 == 499)
            loop.processEvents(QEventLoop::AllEvents, 50);
    }
    const QDeadlineTimer connectDeadline(30000);
    while (!connectDeadline.hasExpired() &&
           !std::all_of(agents.begin(), agents.end(), [](AgentConnection *a) { return a->isConnected(); }))
        loop.processEvents(QEventLoop::AllEvents, 100);

    result.connected = static_cast<int>(
        std::count_if(agents.begin(), agents.end(), [](AgentConnection *a) { return a->isConnected(); }));
    QTimer::singleShot(warmupMs, &loop, [&] { measuring = true; });
    QElapsedTimer window;
    QTimer::singleShot(warmupMs, &loop, [&] { window.start(); });
    QTimer::singleShot(warmupMs + measureMs, &loop, [&] {
        measuring = false;
        result.seconds = window.nsecsElapsed() / 1e9;
        loop.quit();
    });
    loop.exec();
    for (AgentConnection *agent : agents)
        agent->stop();

    result.p50Ms = percentileMs(latencies, 0.50);
    result.p99Ms = percentileMs(latencies, 0.99);
    return result;
}
