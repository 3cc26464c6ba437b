#pragma once

#include <QObject>

#include <chrono>

class QSocketNotifier;
class QTimer;

namespace vesk {

// Time since boot, suspended time included (CLOCK_BOOTTIME).
std::chrono::nanoseconds bootTimeNow();

// One timer on the boot clock: a timerfd armed for an absolute deadline and watched by the
// event loop. The boot clock keeps counting while the machine is suspended, so a deadline
// that passed during a suspend fires as soon as the machine wakes; a QTimer (monotonic
// clock) would instead wait the slept time over again.
class BootTimer final : public QObject {
    Q_OBJECT
public:
    explicit BootTimer(QObject *parent = nullptr);
    ~BootTimer() override;

    // Fires once `deadline` (on the boot clock) has passed; replaces any earlier arming.
    void armAt(std::chrono::nanoseconds deadline);
    void disarm();

signals:
    // May also come early or spuriously: the receiver re-reads bootTimeNow().
    void fired();

private:
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    // Only when the kernel refuses a boot-clock timerfd: a monotonic timer capped to a
    // short re-check, so a wake still ends overdue waits within that cap.
    QTimer *m_fallback = nullptr;
};

} // namespace vesk
