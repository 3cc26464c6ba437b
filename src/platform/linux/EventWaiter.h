#pragma once

#include <QObject>

#include <qcoro/qcorotask.h>

#include <chrono>

namespace vesk {

// Waits on the event loop until wake() or a time-out. QCoro's signal awaiters pass a
// private signal's hidden argument on as a null reference, so the private signals we wait
// for (QSocketNotifier::activated, QProcess::stateChanged) are connected to wake() instead.
class EventWaiter final : public QObject {
    Q_OBJECT
public:
    void wake();
    // True when woken (before or during the wait), false after `timeout`.
    QCoro::Task<bool> wait(std::chrono::milliseconds timeout);

signals:
    void woken();

private:
    bool m_woken = false;
};

} // namespace vesk
