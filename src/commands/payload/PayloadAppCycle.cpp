#include "commands/payload/PayloadAppCycle.h"

#include "commands/payload/AppLifecycle.h"
#include "platform/Clock.h"
#include "platform/LogCategories.h"

#include <chrono>

namespace vesk {

using namespace std::chrono_literals;

namespace {
constexpr int kTerminationChecks = 20;
}

QCoro::Task<QStringList> PayloadAppCycle::stillRunning(QStringList bundleIds)
{
    QStringList running;
    for (const QString &id : bundleIds) {
        const bool up = co_await m_apps.isRunning(id);
        if (up)
            running.append(id);
    }
    co_return running;
}

QCoro::Task<> PayloadAppCycle::closeApps(QStringList bundleIds)
{
    QStringList running = co_await stillRunning(bundleIds);
    if (running.isEmpty())
        co_return;
    for (const QString &id : running)
        co_await m_apps.quit(id);
    for (int check = 0; check < kTerminationChecks && !running.isEmpty(); ++check) {
        co_await m_clock.sleep(500ms);
        running = co_await stillRunning(running);
    }
    if (running.isEmpty())
        co_return;
    for (const QString &id : running) {
        qCWarning(lcPayload).noquote() << "Payload deploy force-quits" << id;
        co_await m_apps.forceQuit(id);
    }
    co_await m_clock.sleep(1s);
}

QCoro::Task<QStringList> PayloadAppCycle::relaunch(QStringList bundleIds)
{
    QStringList relaunched;
    for (const QString &id : bundleIds) {
        const bool installed = co_await m_apps.isInstalled(id);
        if (!installed) {
            qCCritical(lcPayload).noquote() << "Payload relaunch: " + id + " not installed";
            continue;
        }
        co_await m_apps.launch(id);
        relaunched.append(id);
    }
    co_return relaunched;
}

} // namespace vesk
