#include "fleetd/http/TelemetrySnapshot.h"

#include "fleetd/FleetdLog.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace vesk::fleetd {

namespace {

// The members of the agent's telemetry report that are not scalars.
const QLatin1String kHungApps("hung_apps");
const QLatin1String kRunningApps("running_apps");
const QLatin1String kInterfaces("network_interfaces");
const QLatin1String kMounts("network_mounts");
const QLatin1String kPluggedIn("is_plugged_in");

QString jsonText(const QJsonArray &array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

// Apps arrive as names or as objects; the snapshot lists names.
std::optional<QString> appNames(const QJsonValue &value)
{
    if (value.isUndefined())
        return std::nullopt;
    if (!value.isArray())
        return value.toString();
    QJsonArray names;
    for (const QJsonValue &app : value.toArray()) {
        if (app.isString()) {
            names.append(app);
            continue;
        }
        const QJsonObject object = app.toObject();
        const QString name = object.value(QLatin1String("name")).toString();
        names.append(name.isEmpty() ? object.value(QLatin1String("bundle_id")).toString() : name);
    }
    return jsonText(names);
}

// Every interface gets all four members, so the snapshot's strict decoding succeeds
// even when the machine withholds addresses.
std::optional<QString> interfaces(const QJsonValue &value)
{
    if (value.isUndefined())
        return std::nullopt;
    if (!value.isArray())
        return value.toString();
    QJsonArray result;
    for (const QJsonValue &item : value.toArray()) {
        const QJsonObject in = item.toObject();
        const DecodedNetworkInterface decoded{in.value(QLatin1String("name")).toString(),
                                              in.value(QLatin1String("type")).toString(),
                                              in.value(QLatin1String("ip_address")).toString(),
                                              in.value(QLatin1String("is_active")).toBool()};
        result.append(decoded.toJson());
    }
    return jsonText(result);
}

} // namespace

DeviceTelemetrySnapshot toWire(const TelemetryRecord &record)
{
    const QJsonObject &body = record.body;
    QJsonObject scalars;
    for (auto it = body.constBegin(); it != body.constEnd(); ++it) {
        if (!it->isArray() && !it->isObject())
            scalars.insert(it.key(), *it);
    }
    // The report's scalar members carry the snapshot's own keys.
    QString error;
    std::optional<DeviceTelemetrySnapshot> snapshot = DeviceTelemetrySnapshot::fromJson(scalars, &error);
    if (!snapshot) {
        qCWarning(lcFleetd) << "telemetry of" << record.serial << "answered without its scalars:" << error;
        snapshot = DeviceTelemetrySnapshot{};
    }
    snapshot->serial = record.serial;
    snapshot->createdAt = record.receivedAt;
    if (std::optional<QString> names = appNames(body.value(kHungApps)))
        snapshot->hungApps = names;
    if (std::optional<QString> names = appNames(body.value(kRunningApps)))
        snapshot->runningApps = names;
    if (std::optional<QString> text = interfaces(body.value(kInterfaces)))
        snapshot->networkInterfaces = text;
    const QJsonValue mounts = body.value(kMounts);
    if (mounts.isArray())
        snapshot->networkMounts = jsonText(mounts.toArray());
    const QJsonValue plugged = body.value(kPluggedIn);
    if (plugged.isBool())
        snapshot->isPluggedIn = plugged.toBool() ? 1 : 0;
    // Only the texts travel; the decoded lists are the reader's own.
    snapshot->decodedHungApps.reset();
    snapshot->decodedRunningApps.reset();
    snapshot->decodedNetworkInterfaces.reset();
    snapshot->decodedNetworkMounts.reset();
    return *snapshot;
}

} // namespace vesk::fleetd
