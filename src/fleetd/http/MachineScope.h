#pragma once

#include "fleetd/records/TenantRecord.h"

#include <QHttpServerResponse>

#include <optional>

class QHttpServerRequest;

namespace vesk::fleetd {

class FleetStore;
class InputReader;

// An answer that ends a handler before it does its work, or nothing to go on.
using Refusal = std::optional<QHttpServerResponse>;

// A tenant only reaches its own machines: nothing when `serial` belongs to the
// tenant, else the 404 to answer (the same whether the machine is unknown or
// another tenant's, so nothing leaks across tenants).
Refusal refuseForeignMachine(FleetStore &store, const TenantRecord &tenant, const QString &serial);

// What a handler about one machine checks first: the 400 naming the input's first
// problem, else refuseForeignMachine() for `serial`.
Refusal refuseMachineRequest(const InputReader &input, FleetStore &store, const TenantRecord &tenant,
                             const QString &serial);

// What a handler about the calling machine's own state checks first (its reports, its
// commands): the 400 naming the input's first problem, else a 403 unless `serial` is
// the request's X-Device-Serial. The fleet key's check already tied that serial to the
// tenant, so this needs no store read.
Refusal refuseDeviceRequest(const InputReader &input, const QHttpServerRequest &request, const QString &serial);

// The 400 naming the input's first problem, if it had one.
Refusal refuseBadInput(const InputReader &input);

// The machine that sent the request: X-Device-Serial, trimmed. A machine reporting about
// itself may leave the header off to save bytes; then the "serial" its JSON body names, else
// its query's "serial" (empty when none). The fleet key's check ties whichever it is to the tenant.
QString deviceSerial(const QHttpServerRequest &request);

} // namespace vesk::fleetd
