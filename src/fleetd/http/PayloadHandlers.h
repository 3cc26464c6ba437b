#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

class QHttpServerRequest;

namespace vesk::fleetd {

// Configuration payloads (authenticated, per tenant):
//   POST payload, multipart/form-data with text fields "name", "notes", "target_path",
//        "relaunch_bundle_ids" (JSON text of a list) and the zip as the "file" part;
//        whole bodies up to kMaxBodyBytes → {"payload": {...}};
//   GET  payload?id → {"payload": {...}};
//   GET  payloads → {"payloads": [...]}, newest first;
//   GET  payload_download?id → the archive bytes as application/zip.
class PayloadHandlers {
public:
    static constexpr qsizetype kMaxBodyBytes = 32 * 1024 * 1024;

    explicit PayloadHandlers(FleetContext context) : m_context(std::move(context)) {}

    QHttpServerResponse upload(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse get(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse list(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse download(const QHttpServerRequest &request, const TenantRecord &tenant) const;

private:
    FleetContext m_context;
};

} // namespace vesk::fleetd
