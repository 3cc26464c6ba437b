#pragma once

#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

class QHttpServerRequest;

namespace vesk::fleetd {

// The speed test's three legs (authenticated, so it is no free bandwidth source):
//   HEAD speedtest → 200, empty (latency);
//   GET  speedtest?size=N → N bytes of application/octet-stream, N from 0 to kMaxBytes,
//        524288 when absent (download);
//   POST speedtest, any body up to kMaxBytes → {"status": "ok", "received_bytes"} (upload).
class SpeedtestHandlers {
public:
    static constexpr int kMaxBytes = 16 * 1024 * 1024;
    static constexpr int kDefaultBytes = 524288;

    QHttpServerResponse head(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse download(const QHttpServerRequest &request, const TenantRecord &tenant) const;
    QHttpServerResponse upload(const QHttpServerRequest &request, const TenantRecord &tenant) const;
};

} // namespace vesk::fleetd
