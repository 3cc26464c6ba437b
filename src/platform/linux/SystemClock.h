#pragma once

#include "platform/Clock.h"

#include <QObject>

#include <map>

class QTimer;

namespace vesk {

// The real clock: wall time from QDateTime, sleeps on precise (monotonic) QTimers.
class SystemClock final : public QObject, public Clock {
    Q_OBJECT
public:
    explicit SystemClock(QObject *parent = nullptr);
    ~SystemClock() override;

    QDateTime now() const override;
    QTimeZone timeZone() const override;
    std::uint64_t scheduleWake(std::chrono::milliseconds delay, std::function<void()> wake) override;
    void cancelWake(std::uint64_t id) override;

private:
    std::uint64_t m_nextId = 1;
    std::map<std::uint64_t, QTimer *> m_timers;
};

} // namespace vesk
