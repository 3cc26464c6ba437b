#include "fleetd/http/PayloadHandlers.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/MultipartForm.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/PayloadWire.h"
#include "fleetd/storage/FleetStore.h"
#include "wire/PayloadUpload.h"

#include <QHttpServerRequest>
#include <QJsonDocument>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

QString text(const QList<MultipartForm::Part> &parts, const char *name)
{
    const MultipartForm::Part *part = MultipartForm::find(parts, QLatin1String(name));
    return part ? QString::fromUtf8(part->data) : QString();
}

// Only the last component of a client's file name is kept, without control characters.
QString safeFilename(const QString &name)
{
    QString base = name.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
    base.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    return base.isEmpty() ? QStringLiteral("payload.zip") : base;
}

// Reads the upload's fields into `payload`; returns an error sentence or nothing.
QString readFields(const QList<MultipartForm::Part> &parts, PayloadRecord &payload)
{
    payload.name = text(parts, PayloadUpload::kNameField).trimmed();
    if (payload.name.isEmpty())
        return QStringLiteral("missing field \"name\"");
    payload.notes = text(parts, PayloadUpload::kNotesField);
    payload.targetPath = text(parts, PayloadUpload::kTargetPathField).trimmed();
    if (!payload.targetPath.startsWith(QLatin1Char('/')))
        return QStringLiteral("field \"target_path\" must be a full path");
    const QString relaunch = text(parts, PayloadUpload::kRelaunchBundleIdsField);
    if (!relaunch.trimmed().isEmpty()) {
        const QJsonDocument list = QJsonDocument::fromJson(relaunch.toUtf8());
        if (!list.isArray())
            return QStringLiteral("field \"relaunch_bundle_ids\" must be a JSON list of bundle ids");
        for (const QJsonValue &id : list.array()) {
            if (!id.isString())
                return QStringLiteral("field \"relaunch_bundle_ids\" must be a JSON list of bundle ids");
            payload.relaunchBundleIds.append(id.toString());
        }
    }
    return {};
}

} // namespace

QHttpServerResponse PayloadHandlers::upload(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    if (request.body().size() > kMaxBodyBytes)
        return jsonError(Status::BadRequest, QStringLiteral("request body exceeds %1 bytes").arg(kMaxBodyBytes));
    const MultipartForm::Result form =
        MultipartForm::parse(request.value(QByteArrayLiteral("Content-Type")), request.body());
    if (!form.ok())
        return jsonError(Status::BadRequest, form.error);

    PayloadRecord payload;
    const QString fieldError = readFields(form.parts, payload);
    if (!fieldError.isEmpty())
        return jsonError(Status::BadRequest, fieldError);
    const MultipartForm::Part *file = MultipartForm::find(form.parts, QLatin1String(PayloadUpload::kFileField));
    if (!file || !file->filename)
        return jsonError(Status::BadRequest, QStringLiteral("missing the \"file\" part"));
    // Every zip, even an empty one, starts with a "PK" record signature.
    if (!file->data.startsWith("PK\x03\x04") && !file->data.startsWith("PK\x05\x06"))
        return jsonError(Status::BadRequest, QStringLiteral("the \"file\" part is not a zip archive"));
    payload.filename = safeFilename(*file->filename);
    payload.createdBy = deviceSerial(request);

    const StoreResult<PayloadRecord> stored =
        m_context.store.payloads().add(tenant, payload, file->data, m_context.now());
    if (!stored.status.isOk())
        return storeFailure(stored.status, QStringLiteral("storing the payload"));
    qCInfo(lcFleetd) << "payload" << stored.value.id << "stored for" << tenant.code << stored.value.sizeBytes << "bytes";
    return jsonObject(PayloadResponse{toWire(stored.value)}.toJson());
}

QHttpServerResponse PayloadHandlers::get(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const qint64 id = query.id(QStringLiteral("id"));
    if (Refusal refused = refuseBadInput(query))
        return std::move(*refused);
    const StoreResult<PayloadRecord> found = m_context.store.payloads().get(tenant.id, id);
    if (!found.status.isOk())
        return storeFailure(found.status, QStringLiteral("reading the payload"));
    return jsonObject(PayloadResponse{toWire(found.value)}.toJson());
}

QHttpServerResponse PayloadHandlers::list(const QHttpServerRequest &, const TenantRecord &tenant) const
{
    return storeAnswer(m_context.store.payloads().list(tenant.id), QStringLiteral("listing payloads"),
                       [](const QList<PayloadRecord> &payloads) { return PayloadListResponse{wireList(payloads)}; });
}

QHttpServerResponse PayloadHandlers::download(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const qint64 id = query.id(QStringLiteral("id"));
    if (Refusal refused = refuseBadInput(query))
        return std::move(*refused);
    StoreResult<QByteArray> archive = m_context.store.payloads().archive(tenant.id, id);
    if (!archive.status.isOk())
        return storeFailure(archive.status, QStringLiteral("reading the payload archive"));
    return QHttpServerResponse(QByteArrayLiteral("application/zip"), std::move(archive.value));
}

} // namespace vesk::fleetd
