#include "fleetd/http/PayloadWire.h"

namespace vesk::fleetd {

RemotePayload toWire(const PayloadRecord &payload)
{
    RemotePayload out;
    out.id = payload.id;
    out.tenantCode = payload.tenantCode;
    out.name = payload.name;
    out.notes = payload.notes;
    out.filename = payload.filename;
    out.sha256 = payload.sha256;
    out.targetPath = payload.targetPath;
    out.relaunchBundleIds = payload.relaunchBundleIds;
    out.sizeBytes = payload.sizeBytes;
    out.createdBy = payload.createdBy;
    out.createdAt = payload.createdAt;
    return out;
}

} // namespace vesk::fleetd
