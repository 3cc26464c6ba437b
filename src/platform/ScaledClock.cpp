#include "platform/ScaledClock.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>

namespace vesk {

namespace {

Q_LOGGING_CATEGORY(lcSoak, "soak")

// "policy/PolicyEngine.cpp:88 void vesk::PolicyEngine::loop": the source file from its folder
// under src/, the line and the function, without its parameters.
QString siteText(const SourceSite &site)
{
    QString file = QString::fromUtf8(site.file_name());
    const qsizetype src = file.lastIndexOf(QLatin1String("/src/"));
    if (src >= 0)
        file = file.mid(src + 5);
    const QString function = QString::fromUtf8(site.function_name()).section(QLatin1Char('('), 0, 0);
    return QStringLiteral("%1:%2 %3").arg(file).arg(site.line()).arg(function);
}

} // namespace

ScaledClock::ScaledClock(Clock &inner, double factor)
    : m_inner(inner), m_factor(std::isfinite(factor) && factor > 1.0 ? factor : 1.0)
{
}

std::chrono::milliseconds ScaledClock::period(std::chrono::milliseconds length) const
{
    if (m_factor == 1.0 || length <= kShortest)
        return length;
    const auto scaled = std::chrono::milliseconds(std::llround(double(length.count()) / m_factor));
    return std::max(scaled, kShortest);
}

std::uint64_t ScaledClock::scheduleWake(std::chrono::milliseconds delay, std::function<void()> wake)
{
    return m_inner.scheduleWake(period(delay), std::move(wake));
}

std::uint64_t ScaledClock::scheduleSleep(std::chrono::milliseconds delay, std::function<void()> wake,
                                         const SourceSite &site)
{
    if (m_factor == 1.0)
        return m_inner.scheduleWake(delay, std::move(wake));
    auto ticked = [where = siteText(site), wake = std::move(wake)]() {
        qCInfo(lcSoak).noquote() << "tick" << where;
        wake();
    };
    return m_inner.scheduleWake(period(delay), std::move(ticked));
}

} // namespace vesk
