#include "RecordCodecs.h"

#include "settings/AlertSuppression.h"
#include "settings/LocationNotificationRule.h"
#include "wire/AlertReport.h"
#include "wire/AppLogEntry.h"
#include "wire/CommandResultReport.h"
#include "wire/FleetAck.h"
#include "wire/FleetMachine.h"
#include "wire/DeviceTelemetrySnapshot.h"
#include "wire/FleetAlert.h"
#include "wire/FleetAppStatus.h"
#include "wire/FleetCommand.h"
#include "wire/FleetCommandResponse.h"
#include "wire/MachineNote.h"
#include "wire/PairingRequestBody.h"
#include "wire/PushTokenRegistration.h"
#include "wire/RemoteInstalledApp.h"
#include "wire/RemoteMessage.h"
#include "wire/RemotePayload.h"
#include "wire/TelemetryReport.h"
#include "settings/ScheduledDeviceAction.h"

#include <QJsonDocument>

namespace vesk::test {

namespace {

template <class T> RecordCodec codec(const char *name, const QByteArray &sample)
{
    RecordCodec c;
    c.name = QString::fromLatin1(name);
    c.sample = sample;
    c.decodeAndEncode = [](const QJsonValue &json, QString *error) -> std::optional<QJsonObject> {
        const std::optional<T> record = T::fromJson(json, error);
        if (!record)
            return std::nullopt;
        return record->toJson();
    };
    c.roundTripsStably = [](const QJsonValue &json) {
        const std::optional<T> first = T::fromJson(json, nullptr);
        if (!first)
            return false;
        // Through text, as the records travel.
        const QJsonObject encoded = QJsonDocument::fromJson(QJsonDocument(first->toJson()).toJson()).object();
        return T::fromJson(encoded, nullptr) == first;
    };
    return c;
}

const QByteArray snapshotSample = R"({"serial":"C02XK1ABCD","disk_total_gb":494.4,"disk_used_gb":300.25,
  "disk_free_gb":194.15,"ram_total_gb":16,"ram_used_gb":11.5,"cpu_usage":37.5,"cpu_cores":8,
  "uptime_seconds":86400,"thermal_state":"nominal","os_version":"14.4.1","model":"Macmini9,1",
  "battery_level":87,"is_plugged_in":1,"hung_apps":"[\"Vesk Print\"]","running_apps":"[\"Vesk Print\",\"Finder\"]",
  "foreground_app":"Vesk Print","foreground_bundle_id":"com.lumora.print","browser_url":"https://example.com/",
  "primary_interface":"en0","local_ip":"10.0.0.12","wifi_ssid":"Studio",
  "network_interfaces":"[{\"name\":\"en0\",\"type\":\"ethernet\",\"ip_address\":\"10.0.0.12\",\"is_active\":true}]",
  "network_mounts":"[\"/Volumes/Share\"]","created_at":"2026-03-02T09:00:00Z"})";

const QByteArray payloadSample = R"({"id":12,"photographer":"acme","name":"Print presets","notes":"spring",
  "filename":"presets.zip","sha256":"9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08",
  "target_path":"/Users/Shared/Presets","relaunch_bundle_ids":["com.lumora.print"],"size_bytes":20480,
  "created_by":"admin","created_at":"2026-03-01T08:00:00Z"})";

const QByteArray reportSample = R"({"serial":"C02XK1ABCD","timestamp":"2026-03-02T09:30:15Z","disk_total_gb":512,
  "disk_used_gb":384,"disk_free_gb":128,"ram_total_gb":16,"ram_used_gb":1.5,"cpu_usage":12.5,"cpu_cores":8,
  "uptime_seconds":7200,"thermal_state":"serious","os_version":"12.0.0","model":"OptiPlex 7090",
  "primary_interface":"eth0","network_interfaces":[{"name":"eth0","type":"Ethernet","ip_address":"192.168.1.20",
  "is_active":true}],"hung_apps":["com.lumora.capture"],"running_apps":[{"bundle_id":"com.lumora.capture",
  "name":"Lumora Capture","pid":4242,"cpu_percent":3.5,"memory_mb":120.25,"is_responding":false,"uptime":"2h 5m"}],
  "foreground_app":"Lumora Capture","foreground_bundle_id":"com.lumora.capture","browser_url":"https://example.com/",
  "local_ip":"192.168.1.20","wifi_ssid":"Studio","network_mounts":["Captures"],"battery_level":87,
  "is_plugged_in":false,"last_policy_sync":"2026-03-02T09:30:00Z","speed_download_mbps":93.46,
  "speed_upload_mbps":12.34,"speed_latency_ms":18.01})";

} // namespace

QJsonObject parseObject(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

std::vector<RecordCodec> allRecordCodecs()
{
    return {
        codec<FleetCommand>("FleetCommand",
                            R"({"id":41,"command":"restart_app","params":{"bundle_id":"com.lumora.print",
                               "delay":5,"ratio":0.5,"force":true}})"),
        codec<FleetPendingCommands>("FleetPendingCommands",
                                    R"({"serial":"C02XK1ABCD","commands":[{"id":1,"command":"report_apps"},
                                       {"id":2,"command":"quit_app","params":{"bundle_id":"com.lumora.kiosk"}}]})"),
        codec<FleetCommandResponse>("FleetCommandResponse",
                                    R"({"queued":true,"command_id":77,"serial":"C02XK1ABCD","command":"restart"})"),
        codec<DeviceTelemetrySnapshot>("DeviceTelemetrySnapshot", snapshotSample),
        codec<DecodedNetworkInterface>("DecodedNetworkInterface",
                                       R"({"name":"en1","type":"wifi","ip_address":"192.168.1.4","is_active":false})"),
        codec<DeviceTelemetryResponse>("DeviceTelemetryResponse", "{\"telemetry\":[" + snapshotSample + "]}"),
        codec<FleetAppStatus>("FleetAppStatus",
                              R"({"app":"Vesk Warden","app_version":"1.4.0","eventcode":"EVT-22","location_name":"Pier 9",
                                 "city":"Cork","state_region":"Munster","status":"online","last_seen":"2026-03-02T08:59:00Z",
                                 "first_seen":"2025-01-10T10:00:00Z","consecutive_misses":0,"uptime_90d":99.25,
                                 "telemetry":)" + snapshotSample + "}"),
        codec<FleetDeviceStatus>("FleetDeviceStatus",
                                 R"({"serial":"C02XK1ABCD","apps":[{"app":"Vesk Print","status":"offline",
                                    "consecutive_misses":3}]})"),
        codec<RemoteInstalledApp>("RemoteInstalledApp",
                                  R"({"bundle_id":"com.lumora.print","name":"Vesk Print","version":"3.2","build":"320",
                                     "path":"/Applications/Vesk Print.app","file_size_mb":182.5,"is_running":true,
                                     "is_vesk_app":true,"last_opened":"2026-03-02T07:00:00Z","reported_at":"2026-03-02T08:00:00Z"})"),
        codec<RemoteInstalledAppsResponse>("RemoteInstalledAppsResponse",
                                           R"({"serial":"C02XK1ABCD","apps":[{"bundle_id":"org.mozilla.firefox",
                                              "is_running":false,"is_vesk_app":false}]})"),
        codec<RemotePayload>("RemotePayload", payloadSample),
        codec<PayloadResponse>("PayloadResponse", "{\"payload\":" + payloadSample + "}"),
        codec<PayloadListResponse>("PayloadListResponse", "{\"payloads\":[" + payloadSample + "]}"),
        codec<MachineNote>("MachineNote",
                           R"({"id":3,"serial":"C02XK1ABCD","author":"ops","note":"Fan noisy","created_at":"2026-02-01"})"),
        codec<MachineNotesResponse>("MachineNotesResponse",
                                    R"({"serial":"C02XK1ABCD","notes":[{"id":3,"serial":"C02XK1ABCD","author":"ops",
                                       "note":"Fan noisy","created_at":"2026-02-01"}]})"),
        codec<AppLogEntry>("AppLogEntry",
                           R"({"id":9,"serial":"C02XK1ABCD","bundle_id":"com.lumora.print","log_text":"started\nok",
                              "created_at":"2026-03-02T08:00:00Z"})"),
        codec<AppLogsResponse>("AppLogsResponse",
                               R"({"serial":"C02XK1ABCD","logs":[{"id":9,"serial":"C02XK1ABCD",
                                  "bundle_id":"com.lumora.print","log_text":"x","created_at":"2026-03-02"}]})"),
        codec<TelemetryReport>("TelemetryReport", reportSample),
        codec<CommandResultReport>("CommandResultReport",
                                   R"({"command_id":41,"success":false,"result":"App not installed"})"),
        codec<PushTokenRegistration>("PushTokenRegistration",
                                     R"({"serial":"C02XK1ABCD","token":"a1b2c3","is_agent":true,"platform":"macos",
                                        "alert_scope":"photographer","photographer":"acme","eventcode":"EVT-22"})"),
        codec<AlertReport>("AlertReport",
                           R"({"serial":"C02XK1ABCD","severity":"critical","category":"disk","title":"Disk almost full",
                              "message":"2 GB left","timestamp":"2026-03-02T09:00:00Z","photographer":"acme",
                              "resolved":true})"),
        codec<FleetAlertsResponse>("FleetAlertsResponse",
                                   R"({"alerts":[{"id":7,"alert_id":7,"serial":"C02XK1ABCD","severity":"warning",
                                      "category":"memory","title":"Memory pressure","message":"Swap in use",
                                      "timestamp":"2026-03-02T09:00:00Z","received_at":"2026-03-02T09:00:02Z",
                                      "photographer":"acme","acknowledged":true,"acknowledged_by":"C02XK1OPS",
                                      "acknowledged_at":"2026-03-02T09:10:00Z"}]})"),
        codec<FleetAck>("FleetAck", R"({"status":"ok","alert_id":12})"),
        codec<FleetMachineList>("FleetMachineList",
                                R"({"devices":[{"id":"C02XK1ABCD","serial":"C02XK1ABCD","name":"C02XK1ABCD",
                                   "app":"warden","app_version":"1.0.0","eventcode":"EVT-22",
                                   "first_seen":"2026-03-02T08:00:00Z","last_seen":"2026-03-02T09:00:00Z",
                                   "status":"online"}]})"),
        codec<PairingRequestBody>("PairingRequestBody",
                                  R"({"serial":"C02XK1ABCD","bundle_id":"com.lumora.VeskWarden","app_version":"1.4.0",
                                     "client_clock_iso":"2026-03-02T09:00:00Z"})"),
        codec<RemoteMessage>("RemoteMessage",
                             R"({"commandId":55,"title":"Heads up","message":"Restart at noon","dismissable":true,
                                "receivedAt":794134800.25})"),
        codec<ScheduledDeviceAction>("ScheduledDeviceAction",
                                     R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","command":"restart_app",
                                        "bundleId":"com.lumora.print","at":794138400})"),
        codec<AlertSuppression>("AlertSuppression",
                                R"({"serial":"C02XK1ABCD","duration":"24_hours","createdAt":794134800})"),
        codec<LocationNotificationRule>("LocationNotificationRule",
                                        R"({"locationCode":"EVT-22","locationName":"Pier 9","mutedDuration":"1_hour",
                                           "mutedAt":794134800,"disabledCategories":["disk","memory"]})"),
    };
}

} // namespace vesk::test
