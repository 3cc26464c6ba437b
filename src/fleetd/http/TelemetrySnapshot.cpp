#include "fleetd/http/TelemetrySnapshot.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace vesk::fleetd {

namespace {

QString jsonText(const QJsonArray &array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

// Apps arrive as names or as objects; the snapshot lists names.
QString appNames(const QJsonValue &value)
{
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

// Every interface gets all four members, so the console's strict decoding succeeds
// even when the machine withholds addresses.
QString interfaces(const QJsonValue &value)
{
    if (!value.isArray())
        return value.toString();
    QJsonArray result;
    for (const QJsonValue &item : value.toArray()) {
        const QJsonObject in = item.toObject();
        result.append(QJsonObject{{QStringLiteral("name"), in.value(QLatin1String("name")).toString()},
                                  {QStringLiteral("type"), in.value(QLatin1String("type")).toString()},
                                  {QStringLiteral("ip_address"), in.value(QLatin1String("ip_address")).toString()},
                                  {QStringLiteral("is_active"), in.value(QLatin1String("is_active")).toBool()}});
    }
    return jsonText(result);
}

} // namespace

QJsonObject telemetrySnapshot(const TelemetryRecord &record)
{
    QJsonObject snapshot;
    const QJsonObject &body = record.body;
    for (auto it = body.constBegin(); it != body.constEnd(); ++it) {
        if (!it->isArray() && !it->isObject())
            snapshot.insert(it.key(), *it);
    }
    const QJsonValue hung = body.value(QLatin1String("hung_apps"));
    if (!hung.isUndefined())
        snapshot.insert(QStringLiteral("hung_apps"), appNames(hung));
    const QJsonValue running = body.value(QLatin1String("running_apps"));
    if (!running.isUndefined())
        snapshot.insert(QStringLiteral("running_apps"), appNames(running));
    const QJsonValue networks = body.value(QLatin1String("network_interfaces"));
    if (!networks.isUndefined())
        snapshot.insert(QStringLiteral("network_interfaces"), interfaces(networks));
    const QJsonValue mounts = body.value(QLatin1String("network_mounts"));
    if (mounts.isArray())
        snapshot.insert(QStringLiteral("network_mounts"), jsonText(mounts.toArray()));
    const QJsonValue plugged = body.value(QLatin1String("is_plugged_in"));
    if (plugged.isBool())
        snapshot.insert(QStringLiteral("is_plugged_in"), plugged.toBool() ? 1 : 0);
    snapshot.insert(QStringLiteral("serial"), record.serial);
    snapshot.insert(QStringLiteral("created_at"), record.receivedAt);
    return snapshot;
}

} // namespace vesk::fleetd
