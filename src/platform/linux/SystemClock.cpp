#include "platform/linux/SystemClock.h"

#include <QTimer>

namespace vesk {

SystemClock::SystemClock(QObject *parent) : QObject(parent) {}

SystemClock::~SystemClock()
{
    for (auto &[id, timer] : m_timers)
        delete timer;
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

QTimeZone SystemClock::timeZone() const
{
    return QTimeZone::systemTimeZone();
}

std::uint64_t SystemClock::scheduleWake(std::chrono::milliseconds delay, std::function<void()> wake)
{
    const auto id = m_nextId++;
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, id, wake = std::move(wake)]() {
        auto it = m_timers.find(id);
        if (it == m_timers.end())
            return;
        it->second->deleteLater();
        m_timers.erase(it);
        wake();
    });
    m_timers.emplace(id, timer);
    timer->start(std::max(delay, std::chrono::milliseconds(0)));
    return id;
}

void SystemClock::cancelWake(std::uint64_t id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

} // namespace vesk
