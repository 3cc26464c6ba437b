#pragma once

#include "fleetd/records/PayloadRecord.h"
#include "wire/RemotePayload.h"

namespace vesk::fleetd {

// A stored payload's description as the agent decodes it; the optional texts are
// always sent, empty when the administrator left them out.
RemotePayload toWire(const PayloadRecord &payload);

} // namespace vesk::fleetd
