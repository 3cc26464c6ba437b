#include "console/TelemetrySeries.h"

#include "console/ConsoleTexts.h"

#include <QCoreApplication>

#include <algorithm>

namespace vesk {

namespace {
QDateTime parsed(const QString &text)
{
    QDateTime at = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!at.isValid())
        at = QDateTime::fromString(text, Qt::ISODate);
    return at;
}

std::optional<double> percentOf(const std::optional<double> &used, const std::optional<double> &total)
{
    if (!used || !total || *total <= 0)
        return std::nullopt;
    return *used / *total * 100.0;
}
} // namespace

TelemetrySeries TelemetrySeries::from(const QList<DeviceTelemetrySnapshot> &samples)
{
    QList<std::pair<qint64, const DeviceTelemetrySnapshot *>> timed;
    for (const DeviceTelemetrySnapshot &sample : samples) {
        const QDateTime at = parsed(sample.createdAt.value_or(QString()));
        if (at.isValid())
            timed.append({at.toMSecsSinceEpoch(), &sample});
    }
    std::stable_sort(timed.begin(), timed.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    TelemetrySeries series;
    for (const auto &[ms, sample] : timed) {
        const double x = static_cast<double>(ms);
        if (sample->cpuUsage)
            series.cpu.append({x, *sample->cpuUsage});
        if (const auto memory = percentOf(sample->ramUsedGb, sample->ramTotalGb))
            series.memory.append({x, *memory});
        if (const auto disk = percentOf(sample->diskUsedGb, sample->diskTotalGb))
            series.disk.append({x, *disk});
    }
    return series;
}

QString lastSeenText(const QString &lastSeen, const QDateTime &now)
{
    const QDateTime at = parsed(lastSeen);
    if (!at.isValid())
        return ConsoleTexts::lastSeenUnknown;
    const QDate day = at.toLocalTime().date();
    const QDate today = now.toLocalTime().date();
    const qint64 seconds = std::max<qint64>(0, at.secsTo(now));
    if (seconds < 60)
        return QCoreApplication::translate("Console", "Last seen just now");
    if (seconds < 3600)
        return QCoreApplication::translate("Console", "Last seen %1 min ago").arg(seconds / 60);
    if (day == today.addDays(-1))
        return ConsoleTexts::lastSeenYesterday;
    if (day == today)
        return QCoreApplication::translate("Console", "Last seen %1 h ago").arg(seconds / 3600);
    return QCoreApplication::translate("Console", "Last seen %1").arg(at.toLocalTime().toString(Qt::ISODate));
}

} // namespace vesk
