#include "console/NetworkScoutLog.h"

#include "console/ConsoleTexts.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSet>

#include <algorithm>

namespace vesk {

namespace {
QDateTime sampleTime(const DeviceTelemetrySnapshot &sample)
{
    const QString text = sample.createdAt.value_or(QString());
    QDateTime at = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!at.isValid())
        at = QDateTime::fromString(text, Qt::ISODate);
    return at;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("NetworkScoutLog", text);
}

QString filled(const std::optional<QString> &value)
{
    return value.value_or(QString()).trimmed();
}

// The Wi-Fi network and the mounts are reported only while sensitive telemetry is on; a
// sample that carries the local address carries them too, and no mount list then means none.
bool carriesContext(const DeviceTelemetrySnapshot &sample)
{
    return sample.localIP.has_value();
}

std::optional<QStringList> mounts(const DeviceTelemetrySnapshot &sample)
{
    if (sample.decodedNetworkMounts)
        return sample.decodedNetworkMounts;
    if (carriesContext(sample))
        return QStringList();
    return std::nullopt;
}

NetworkEvent event(NetworkEvent::Kind kind, const QDateTime &at, const QString &detail)
{
    switch (kind) {
    case NetworkEvent::Kind::interfaceSwitched:
        return {kind, at, QStringLiteral("arrow.triangle.swap"), tr("Interface Switched"), detail};
    case NetworkEvent::Kind::wifiDisconnected:
        return {kind, at, QStringLiteral("wifi.exclamationmark"), tr("Wi-Fi Disconnected"), detail};
    case NetworkEvent::Kind::mountAdded:
        return {kind, at, QStringLiteral("externaldrive.badge.plus"), tr("Mount Added"), detail};
    case NetworkEvent::Kind::mountRemoved:
        break;
    }
    return {kind, at, QStringLiteral("externaldrive.badge.minus"), tr("Mount Removed"), detail};
}
} // namespace

QList<NetworkEvent> networkEvents(const QList<DeviceTelemetrySnapshot> &samples)
{
    QList<std::pair<QDateTime, const DeviceTelemetrySnapshot *>> timed;
    for (const DeviceTelemetrySnapshot &sample : samples) {
        const QDateTime at = sampleTime(sample);
        if (at.isValid())
            timed.append({at, &sample});
    }
    std::stable_sort(timed.begin(), timed.end(), [](const auto &a, const auto &b) { return a.first < b.first; });

    // Built oldest first, then turned round one sample at a time, so the changes seen in one
    // sample keep their order.
    QList<QList<NetworkEvent>> bySample;
    for (qsizetype i = 1; i < timed.size(); ++i) {
        QList<NetworkEvent> &events = bySample.emplace_back();
        const DeviceTelemetrySnapshot &before = *timed[i - 1].second;
        const DeviceTelemetrySnapshot &after = *timed[i].second;
        const QDateTime &at = timed[i].first;
        const QString fromInterface = filled(before.primaryInterface);
        const QString toInterface = filled(after.primaryInterface);
        if (!fromInterface.isEmpty() && !toInterface.isEmpty() && fromInterface != toInterface)
            events.append(event(NetworkEvent::Kind::interfaceSwitched, at, fromInterface + QStringLiteral(" → ") + toInterface));
        const QString ssid = filled(before.wifiSSID);
        if (!ssid.isEmpty() && carriesContext(after) && filled(after.wifiSSID).isEmpty())
            events.append(event(NetworkEvent::Kind::wifiDisconnected, at, ssid));
        const std::optional<QStringList> wasMounted = mounts(before);
        const std::optional<QStringList> isMounted = mounts(after);
        if (wasMounted && isMounted) {
            const QStringList &was = *wasMounted;
            const QStringList &is = *isMounted;
            for (const QString &mount : is) {
                if (!was.contains(mount))
                    events.append(event(NetworkEvent::Kind::mountAdded, at, mount));
            }
            for (const QString &mount : was) {
                if (!is.contains(mount))
                    events.append(event(NetworkEvent::Kind::mountRemoved, at, mount));
            }
        }
    }
    QList<NetworkEvent> newestFirst;
    for (auto sample = bySample.crbegin(); sample != bySample.crend(); ++sample)
        newestFirst.append(*sample);
    return newestFirst;
}

NetworkScoutLog NetworkScoutLog::from(const QList<NetworkEvent> &events)
{
    NetworkScoutLog log;
    if (events.isEmpty()) {
        log.emptyText = ConsoleTexts::noNetworkChanges;
        return log;
    }
    const QLocale locale;
    for (const NetworkEvent &e : events.mid(0, shownEvents)) {
        log.lines.append(QStringLiteral("%1  %2 — %3")
                             .arg(locale.toString(e.timestamp.toLocalTime(), QLocale::ShortFormat), e.title, e.detail));
    }
    if (events.size() > shownEvents)
        log.moreLine = QString::number(events.size() - shownEvents) + ConsoleTexts::moreEventsNotShown;

    int counts[4] = {};
    for (const NetworkEvent &e : events)
        ++counts[static_cast<int>(e.kind)];
    const auto count = [](int n, const char *one, const char *many) {
        return n == 1 ? tr(one) : tr(many).arg(n);
    };
    QStringList parts;
    if (const int n = counts[static_cast<int>(NetworkEvent::Kind::interfaceSwitched)])
        parts.append(count(n, "1 interface switch", "%1 interface switches"));
    if (const int n = counts[static_cast<int>(NetworkEvent::Kind::wifiDisconnected)])
        parts.append(count(n, "1 Wi-Fi disconnect", "%1 Wi-Fi disconnects"));
    if (const int n = counts[static_cast<int>(NetworkEvent::Kind::mountAdded)] + counts[static_cast<int>(NetworkEvent::Kind::mountRemoved)])
        parts.append(count(n, "1 mount change", "%1 mount changes"));
    log.trends = parts.join(QStringLiteral(" · "));
    return log;
}

} // namespace vesk
