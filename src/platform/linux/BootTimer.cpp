#include "platform/linux/BootTimer.h"

#include "platform/LogCategories.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace vesk {

namespace {
constexpr std::chrono::seconds kFallbackRecheck{15};
} // namespace

std::chrono::nanoseconds bootTimeNow()
{
    timespec now = {};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

BootTimer::BootTimer(QObject *parent) : QObject(parent)
{
    m_fd = ::timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this]() {
            std::uint64_t expirations = 0;
            [[maybe_unused]] const auto got = ::read(m_fd, &expirations, sizeof expirations);
            emit fired();
        });
        return;
    }
    qCWarning(lcPlatform) << "No boot-clock timer (" << std::strerror(errno)
                          << "); sleeps re-check every" << kFallbackRecheck.count() << "s instead";
    m_fallback = new QTimer(this);
    m_fallback->setSingleShot(true);
    m_fallback->setTimerType(Qt::PreciseTimer);
    connect(m_fallback, &QTimer::timeout, this, &BootTimer::fired);
}

BootTimer::~BootTimer()
{
    if (m_fd >= 0) {
        delete m_notifier;
        ::close(m_fd);
    }
}

void BootTimer::armAt(std::chrono::nanoseconds deadline)
{
    if (m_fd < 0) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - bootTimeNow());
        m_fallback->start(std::clamp<std::chrono::milliseconds>(left, std::chrono::milliseconds(0), kFallbackRecheck));
        return;
    }
    // An all-zero value would disarm; a boot-clock deadline is never zero, but keep it so.
    deadline = std::max(deadline, std::chrono::nanoseconds(1));
    itimerspec wake = {};
    wake.it_value.tv_sec = static_cast<time_t>(std::chrono::duration_cast<std::chrono::seconds>(deadline).count());
    wake.it_value.tv_nsec = static_cast<long>((deadline % std::chrono::seconds(1)).count());
    if (::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &wake, nullptr) != 0)
        qCWarning(lcPlatform) << "Could not arm the boot-clock timer:" << std::strerror(errno);
}

void BootTimer::disarm()
{
    if (m_fd < 0) {
        m_fallback->stop();
        return;
    }
    const itimerspec none = {};
    ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &none, nullptr);
}

} // namespace vesk
