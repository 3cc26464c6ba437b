#include "platform/LoopRun.h"

#include "platform/Clock.h"

namespace vesk {

bool LoopRun::start(QObject *owner, Clock &clock, Pass pass, Wait wait, SourceSite site)
{
    if (m_running)
        return false;
    m_running = true;
    m_stop = StopSource();
    run(QPointer<QObject>(owner), clock, m_stop.token(), std::move(pass), std::move(wait), site);
    return true;
}

bool LoopRun::stop()
{
    if (!m_running)
        return false;
    m_running = false;
    // Replaced first: the stop resumes a sleeping loop synchronously, and whatever it does
    // then must already see the next run's state.
    StopSource stopping = m_stop;
    m_stop = StopSource();
    stopping.requestStop();
    return true;
}

QCoro::Task<> LoopRun::run(QPointer<QObject> owner, Clock &clock, StopToken token, Pass pass, Wait wait,
                           SourceSite site)
{
    for (;;) {
        if (!owner || token.stopRequested())
            co_return;
        co_await pass();
        if (!owner || token.stopRequested())
            co_return;
        const std::chrono::milliseconds delay = wait();
        co_await clock.sleep(delay, token, site);
    }
}

} // namespace vesk
