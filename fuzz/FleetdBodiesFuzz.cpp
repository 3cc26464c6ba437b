// Request bodies and headers vesk-fleetd reads beside the wire records: heartbeats, policies
// and Range headers. "bytes=..." inputs are Range headers; anything else is a JSON body.
#include "FuzzTarget.h"

#include "fleetd/http/ByteRange.h"
#include "fleetd/http/HeartbeatBody.h"
#include "fleetd/http/PolicyBody.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <limits>

namespace {

void checkRange(const QByteArray &header, qint64 fileSize)
{
    const std::optional<vesk::fleetd::ByteRange> range = vesk::fleetd::ByteRange::parse(header, fileSize);
    if (!range || range->unsatisfiable)
        return;
    // A range served is a non-empty part of the file.
    VESK_FUZZ_CHECK(range->first >= 0);
    VESK_FUZZ_CHECK(range->length > 0);
    VESK_FUZZ_CHECK(range->length <= fileSize - range->first);
}

} // namespace

VESK_FUZZ_TARGET(fleetd_bodies)
{
    if (input.startsWith("bytes")) {
        for (const qint64 fileSize : {qint64(0), qint64(1), qint64(1000), std::numeric_limits<qint64>::max()})
            checkRange(input, fileSize);
        return;
    }
    const QJsonObject body = QJsonDocument::fromJson(input).object();
    const vesk::fleetd::HeartbeatBody::Result heartbeat = vesk::fleetd::HeartbeatBody::parse(body);
    VESK_FUZZ_CHECK(heartbeat.record.has_value() != !heartbeat.error.isEmpty());
    const vesk::fleetd::PolicyBody::Result policy = vesk::fleetd::PolicyBody::parse(body);
    VESK_FUZZ_CHECK(policy.policy.has_value() != !policy.error.isEmpty());
    if (policy.policy) {
        // What was accepted is what the agents are sent, so it must decode for them.
        QString error;
        VESK_FUZZ_CHECK(vesk::fleetd::PolicyBody::toWire(*policy.policy, &error).has_value());
    }
}
