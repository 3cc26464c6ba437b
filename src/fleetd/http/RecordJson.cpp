#include "fleetd/http/RecordJson.h"

#include <QJsonArray>

namespace vesk::fleetd {

QJsonObject commandJson(const CommandRecord &command)
{
    return {{QStringLiteral("id"), command.id},
            {QStringLiteral("command"), command.command},
            {QStringLiteral("params"), command.params}};
}

QJsonObject alertJson(const AlertRecord &alert, const QString &photographer)
{
    return {{QStringLiteral("id"), alert.id},
            {QStringLiteral("alert_id"), alert.id},
            {QStringLiteral("serial"), alert.serial},
            {QStringLiteral("severity"), alert.severity},
            {QStringLiteral("category"), alert.category},
            {QStringLiteral("title"), alert.title},
            {QStringLiteral("message"), alert.message},
            {QStringLiteral("timestamp"), alert.timestamp},
            {QStringLiteral("received_at"), alert.receivedAt},
            {QStringLiteral("photographer"), photographer},
            {QStringLiteral("acknowledged"), alert.acknowledged},
            {QStringLiteral("acknowledged_by"), alert.acknowledged ? QJsonValue(alert.acknowledgedBy) : QJsonValue()},
            {QStringLiteral("acknowledged_at"), alert.acknowledged ? QJsonValue(alert.acknowledgedAt) : QJsonValue()}};
}

QJsonObject noteJson(const NoteRecord &note)
{
    return {{QStringLiteral("id"), note.id},
            {QStringLiteral("serial"), note.serial},
            {QStringLiteral("author"), note.author},
            {QStringLiteral("note"), note.note},
            {QStringLiteral("created_at"), note.createdAt}};
}

QJsonObject appLogJson(const AppLogRecord &log)
{
    return {{QStringLiteral("id"), log.id},
            {QStringLiteral("serial"), log.serial},
            {QStringLiteral("bundle_id"), log.bundleId},
            {QStringLiteral("log_text"), log.logText},
            {QStringLiteral("created_at"), log.createdAt}};
}

QJsonObject payloadJson(const PayloadRecord &payload)
{
    return {{QStringLiteral("id"), payload.id},
            {QStringLiteral("photographer"), payload.tenantCode},
            {QStringLiteral("name"), payload.name},
            {QStringLiteral("notes"), payload.notes},
            {QStringLiteral("filename"), payload.filename},
            {QStringLiteral("sha256"), payload.sha256},
            {QStringLiteral("target_path"), payload.targetPath},
            {QStringLiteral("relaunch_bundle_ids"), QJsonArray::fromStringList(payload.relaunchBundleIds)},
            {QStringLiteral("size_bytes"), payload.sizeBytes},
            {QStringLiteral("created_by"), payload.createdBy},
            {QStringLiteral("created_at"), payload.createdAt}};
}

QJsonObject releaseJson(const ReleaseRecord &release)
{
    QJsonObject object{{QStringLiteral("bundle_id"), release.bundleId},
                       {QStringLiteral("version"), release.version},
                       {QStringLiteral("download_url"), release.downloadUrl},
                       {QStringLiteral("sha256"), release.sha256},
                       {QStringLiteral("released_at"), release.releasedAt},
                       {QStringLiteral("critical"), release.critical}};
    // Optional members are left out rather than sent empty.
    if (!release.name.isEmpty())
        object.insert(QStringLiteral("name"), release.name);
    if (!release.build.isEmpty())
        object.insert(QStringLiteral("build"), release.build);
    if (!release.releaseNotes.isEmpty())
        object.insert(QStringLiteral("release_notes"), release.releaseNotes);
    return object;
}

QJsonObject policyJson(const PolicyRecord &policy)
{
    QJsonObject body = policy.body;
    body.insert(QStringLiteral("assigned_serials"), QJsonArray::fromStringList(policy.assignedSerials));
    return body;
}

QJsonObject machineJson(const MachineRecord &machine, const QString &status)
{
    return {{QStringLiteral("id"), machine.serial},
            {QStringLiteral("serial"), machine.serial},
            {QStringLiteral("name"), machine.serial},
            {QStringLiteral("app"), machine.app},
            {QStringLiteral("app_version"), machine.version},
            {QStringLiteral("eventcode"), machine.eventCode},
            {QStringLiteral("first_seen"), machine.firstSeen},
            {QStringLiteral("last_seen"), machine.lastSeen},
            {QStringLiteral("status"), status}};
}

} // namespace vesk::fleetd
