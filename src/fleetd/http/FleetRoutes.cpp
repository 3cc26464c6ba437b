#include "fleetd/http/FleetRoutes.h"

#include "fleetd/http/AlertHandlers.h"
#include "fleetd/http/AuthenticatedRoute.h"
#include "fleetd/http/CommandHandlers.h"
#include "fleetd/http/FetchSecretHandler.h"
#include "fleetd/http/HeartbeatHandler.h"
#include "fleetd/http/MachineHandlers.h"
#include "fleetd/http/NoteHandlers.h"
#include "fleetd/http/PayloadHandlers.h"
#include "fleetd/http/PolicyHandlers.h"
#include "fleetd/http/ReleaseDownloadHandler.h"
#include "fleetd/http/PushHandlers.h"
#include "fleetd/http/ReportHandlers.h"
#include "fleetd/http/SpeedtestHandlers.h"

namespace vesk::fleetd {

QList<Route> fleetRoutes(const FleetContext &context, PushHub *push)
{
    using Method = QHttpServerRequest::Method;
    // One verdict cache for every authenticated route.
    const auto auth = std::make_shared<FleetAuth>(context);
    // Idle command polls, the bulk of all traffic, are repeated from the connection front.
    const auto idlePolls = std::make_shared<IdlePollShortcut>(auth, context.now);
    const CommandHandlers commands(context, push, idlePolls);
    const PushHandlers pushSessions(context, push);
    const ReportHandlers reports(context);
    const AlertHandlers alerts(context, push);
    const NoteHandlers notes(context);
    const PolicyHandlers policies(context);
    const PayloadHandlers payloads(context);
    const MachineHandlers machines(context);
    const SpeedtestHandlers speedtest;
    const auto api = [](const char *path) { return QStringLiteral("/api/") + QLatin1String(path); };
    return {
        // Unauthenticated: registration and pairing.
        {Method::Post, api("heartbeat"), HeartbeatHandler(context)},
        {Method::Post, api("fetch_fleet_secret"), FetchSecretHandler(context)},
        // Open as well: the archives of published releases, which every tenant is offered.
        {Method::Get, api("release_download"), {}, ReleaseDownloadHandler(context)},

        {Method::Post, api("device_commands"), authed(auth, commands, &CommandHandlers::poll),
         {}, [idlePolls](const RequestFraming::Head &head, QByteArrayView body) { return idlePolls->answer(head, body); }},
        {Method::Post, api("device_command_result"), authed(auth, commands, &CommandHandlers::result)},
        {Method::Post, api("device_command"), authed(auth, commands, &CommandHandlers::queue)},

        {Method::Post, api("device_telemetry"), authed(auth, reports, &ReportHandlers::postTelemetry)},
        {Method::Get, api("device_telemetry"), authed(auth, reports, &ReportHandlers::getTelemetry)},
        {Method::Post, api("device_installed_apps"), authed(auth, reports, &ReportHandlers::postInstalledApps)},
        {Method::Get, api("device_installed_apps"), authed(auth, reports, &ReportHandlers::getInstalledApps)},
        {Method::Post, api("device_logs"), authed(auth, reports, &ReportHandlers::postLog)},
        {Method::Get, api("device_logs"), authed(auth, reports, &ReportHandlers::getLogs)},

        {Method::Post, api("device_alert"), authed(auth, alerts, &AlertHandlers::report)},
        {Method::Put, api("device_alert"), authed(auth, alerts, &AlertHandlers::acknowledge)},
        {Method::Get, api("fleet_alerts"), authed(auth, alerts, &AlertHandlers::list)},
        {Method::Post, api("push_token"), authed(auth, alerts, &AlertHandlers::pushToken)},
        {Method::Post, api("push_session"), authed(auth, pushSessions, &PushHandlers::open)},

        {Method::Get, api("device_notes"), authed(auth, notes, &NoteHandlers::list)},
        {Method::Post, api("device_notes"), authed(auth, notes, &NoteHandlers::add)},
        {Method::Delete, api("device_notes"), authed(auth, notes, &NoteHandlers::remove)},

        {Method::Get, api("policies"), authed(auth, policies, &PolicyHandlers::list)},
        {Method::Get, api("device_policy"), authed(auth, policies, &PolicyHandlers::forDevice)},
        {Method::Post, api("policy"), authed(auth, policies, &PolicyHandlers::save)},
        {Method::Delete, api("policy"), authed(auth, policies, &PolicyHandlers::remove)},
        {Method::Get, api("app_updates"), authed(auth, policies, &PolicyHandlers::appUpdates)},

        {Method::Post, api("payload"), authed(auth, payloads, &PayloadHandlers::upload)},
        {Method::Get, api("payload"), authed(auth, payloads, &PayloadHandlers::get)},
        {Method::Get, api("payloads"), authed(auth, payloads, &PayloadHandlers::list)},
        {Method::Get, api("payload_download"), authed(auth, payloads, &PayloadHandlers::download)},

        {Method::Head, api("speedtest"), authed(auth, speedtest, &SpeedtestHandlers::head)},
        {Method::Get, api("speedtest"), authed(auth, speedtest, &SpeedtestHandlers::download)},
        {Method::Post, api("speedtest"), authed(auth, speedtest, &SpeedtestHandlers::upload)},

        {Method::Get, api("devices"), authed(auth, machines, &MachineHandlers::directory)},
        {Method::Get, api("device_status"), authed(auth, machines, &MachineHandlers::status)},
    };
}

} // namespace vesk::fleetd
