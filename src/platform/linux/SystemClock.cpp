#include "platform/linux/SystemClock.h"

#include "platform/linux/BootTimer.h"

#include <QPointer>

#include <algorithm>

namespace vesk {

SystemClock::SystemClock(QObject *parent) : QObject(parent), m_timer(new BootTimer(this))
{
    connect(m_timer, &BootTimer::fired, this, &SystemClock::wakeDue);
}

SystemClock::~SystemClock() = default;

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
    const auto deadline = bootTimeNow() + std::max(delay, std::chrono::milliseconds(0));
    m_wakes.emplace(Key{deadline, id}, std::move(wake));
    m_deadlines.emplace(id, deadline);
    armForEarliest();
    return id;
}

void SystemClock::cancelWake(std::uint64_t id)
{
    const auto it = m_deadlines.find(id);
    if (it == m_deadlines.end())
        return;
    m_wakes.erase(Key{it->second, id});
    m_deadlines.erase(it);
    armForEarliest();
}

void SystemClock::wakeDue()
{
    // Only what was due when the timer fired: a zero-delay wake scheduled by one of these
    // callbacks waits for the next pass of the event loop, as a zero timer would.
    const auto now = bootTimeNow();
    const QPointer<SystemClock> alive(this);
    while (!m_wakes.empty() && m_wakes.begin()->first.first <= now) {
        auto due = m_wakes.extract(m_wakes.begin());
        m_deadlines.erase(due.key().second);
        due.mapped()();
        if (!alive)
            return; // a resumed task tore down the clock's owner
    }
    armForEarliest();
}

void SystemClock::armForEarliest()
{
    if (m_wakes.empty())
        m_timer->disarm();
    else
        m_timer->armAt(m_wakes.begin()->first.first);
}

} // namespace vesk
