#pragma once

#include <QStringList>

#include <qcoro/qcorotask.h>

namespace vesk {

class AppLifecycle;
class Clock;

// Closes a payload's applications before its folder is swapped and opens them afterwards.
class PayloadAppCycle {
public:
    PayloadAppCycle(AppLifecycle &apps, Clock &clock) : m_apps(apps), m_clock(clock) {}

    // Asks the running ones to quit, checks every 0.5 s for up to 10 s, then force-quits
    // those still running and gives them a second to go.
    QCoro::Task<> closeApps(QStringList bundleIds);
    // Opens every installed one, whether or not it ran before; the identifiers opened.
    QCoro::Task<QStringList> relaunch(QStringList bundleIds);

private:
    QCoro::Task<QStringList> stillRunning(QStringList bundleIds);

    AppLifecycle &m_apps;
    Clock &m_clock;
};

} // namespace vesk
