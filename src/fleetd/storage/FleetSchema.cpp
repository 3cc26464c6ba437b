#include "fleetd/storage/FleetSchema.h"

namespace vesk::fleetd {

const QList<QStringList> &FleetSchema::migrations()
{
    static const QList<QStringList> steps = {
        // 1: the machine directory, one row per serial, upserted by each heartbeat.
        {
            QStringLiteral("CREATE TABLE machines ("
                           " serial TEXT PRIMARY KEY NOT NULL,"
                           " first_seen TEXT NOT NULL,"
                           " last_seen TEXT NOT NULL,"
                           " app TEXT NOT NULL,"
                           " version TEXT NOT NULL,"
                           " event_code TEXT NOT NULL,"
                           " state_json TEXT NOT NULL)"),
        },
        // 2: tenants, fleet secrets and everything the authenticated API stores.
        {
            QStringLiteral("CREATE TABLE tenants ("
                           " id INTEGER PRIMARY KEY,"
                           " code TEXT NOT NULL UNIQUE COLLATE NOCASE,"
                           " created_at TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE event_codes ("
                           " code TEXT PRIMARY KEY NOT NULL COLLATE NOCASE,"
                           " tenant_id INTEGER NOT NULL REFERENCES tenants(id),"
                           " created_at TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE fleet_secrets ("
                           " id INTEGER PRIMARY KEY,"
                           " tenant_id INTEGER NOT NULL REFERENCES tenants(id),"
                           " code_sha256 TEXT NOT NULL,"
                           " preview TEXT NOT NULL,"
                           " state TEXT NOT NULL CHECK (state IN ('active', 'rotated', 'revoked')),"
                           " issued_at TEXT NOT NULL,"
                           " rotated_at TEXT,"
                           " revoked_at TEXT)"),
            QStringLiteral("CREATE UNIQUE INDEX fleet_secrets_one_active ON fleet_secrets(tenant_id)"
                           " WHERE state = 'active'"),
            // One row per app that sends heartbeats from a machine.
            QStringLiteral("CREATE TABLE machine_apps ("
                           " serial TEXT NOT NULL,"
                           " app TEXT NOT NULL,"
                           " version TEXT NOT NULL,"
                           " event_code TEXT NOT NULL,"
                           " first_seen TEXT NOT NULL,"
                           " last_seen TEXT NOT NULL,"
                           " PRIMARY KEY (serial, app))"),
            QStringLiteral("CREATE TABLE commands ("
                           " id INTEGER PRIMARY KEY,"
                           " tenant_id INTEGER NOT NULL REFERENCES tenants(id),"
                           " serial TEXT NOT NULL,"
                           " command TEXT NOT NULL,"
                           " params_json TEXT NOT NULL,"
                           " state TEXT NOT NULL,"
                           " queued_by TEXT NOT NULL,"
                           " queued_at TEXT NOT NULL,"
                           " delivered_at TEXT,"
                           " completed_at TEXT,"
                           " success INTEGER,"
                           " result TEXT)"),
            QStringLiteral("CREATE INDEX commands_by_serial_state ON commands(serial, state)"),
            QStringLiteral("CREATE TABLE telemetry ("
                           " id INTEGER PRIMARY KEY,"
                           " serial TEXT NOT NULL,"
                           " received_at TEXT NOT NULL,"
                           " body_json TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX telemetry_by_serial ON telemetry(serial, received_at)"),
            QStringLiteral("CREATE TABLE installed_apps ("
                           " serial TEXT PRIMARY KEY NOT NULL,"
                           " reported_at TEXT NOT NULL,"
                           " apps_json TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE app_logs ("
                           " id INTEGER PRIMARY KEY,"
                           " serial TEXT NOT NULL,"
                           " bundle_id TEXT NOT NULL,"
                           " log_text TEXT NOT NULL,"
                           " created_at TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX app_logs_by_serial ON app_logs(serial, id)"),
            QStringLiteral("CREATE TABLE alerts ("
                           " id INTEGER PRIMARY KEY,"
                           " tenant_id INTEGER NOT NULL REFERENCES tenants(id),"
                           " serial TEXT NOT NULL,"
                           " severity TEXT NOT NULL,"
                           " category TEXT NOT NULL,"
                           " title TEXT NOT NULL,"
                           " message TEXT NOT NULL,"
                           " timestamp TEXT NOT NULL,"
                           " received_at TEXT NOT NULL,"
                           " acknowledged INTEGER NOT NULL DEFAULT 0,"
                           " acknowledged_by TEXT,"
                           " acknowledged_at TEXT)"),
            QStringLiteral("CREATE INDEX alerts_by_tenant ON alerts(tenant_id, id)"),
            QStringLiteral("CREATE TABLE push_tokens ("
                           " serial TEXT NOT NULL,"
                           " token TEXT NOT NULL,"
                           " tenant_id INTEGER NOT NULL REFERENCES tenants(id),"
                           " registration_json TEXT NOT NULL,"
                           " registered_at TEXT NOT NULL,"
                           " PRIMARY KEY (serial, token))"),
            QStringLiteral("CREATE TABLE notes ("
                           " id INTEGER PRIMARY KEY,"
                           " tenant_id INTEGER NOT NULL REFERENCES tenants(id),"
                           " serial TEXT NOT NULL,"
                           " author TEXT NOT NULL,"
                           " note TEXT NOT NULL,"
                           " created_at TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE policies ("
                           " tenant_id INTEGER NOT NULL REFERENCES tenants(id),"
                           " uuid TEXT NOT NULL,"
                           " name TEXT NOT NULL,"
                           " body_json TEXT NOT NULL,"
                           " updated_at TEXT NOT NULL,"
                           " PRIMARY KEY (tenant_id, uuid))"),
            QStringLiteral("CREATE TABLE policy_assignments ("
                           " tenant_id INTEGER NOT NULL,"
                           " serial TEXT NOT NULL,"
                           " policy_uuid TEXT NOT NULL,"
                           " assigned_at TEXT NOT NULL,"
                           " PRIMARY KEY (tenant_id, serial),"
                           " FOREIGN KEY (tenant_id, policy_uuid) REFERENCES policies(tenant_id, uuid)"
                           " ON DELETE CASCADE)"),
            QStringLiteral("CREATE TABLE releases ("
                           " id INTEGER PRIMARY KEY,"
                           " bundle_id TEXT NOT NULL,"
                           " version TEXT NOT NULL,"
                           " build TEXT NOT NULL,"
                           " name TEXT NOT NULL,"
                           " download_url TEXT NOT NULL,"
                           " sha256 TEXT NOT NULL,"
                           " release_notes TEXT NOT NULL,"
                           " critical INTEGER NOT NULL,"
                           " released_at TEXT NOT NULL,"
                           " UNIQUE (bundle_id, version, build))"),
            QStringLiteral("CREATE TABLE payloads ("
                           " id INTEGER PRIMARY KEY,"
                           " tenant_id INTEGER NOT NULL REFERENCES tenants(id),"
                           " name TEXT NOT NULL,"
                           " notes TEXT NOT NULL,"
                           " filename TEXT NOT NULL,"
                           " sha256 TEXT NOT NULL,"
                           " target_path TEXT NOT NULL,"
                           " relaunch_json TEXT NOT NULL,"
                           " size_bytes INTEGER NOT NULL,"
                           " created_by TEXT NOT NULL,"
                           " created_at TEXT NOT NULL,"
                           " data BLOB NOT NULL)"),
        },
        // 3: a machine belongs to the tenant that registered it, and every history row
        // to the tenant that received it, so a machine moved to another tenant takes
        // none of its past along. Existing rows go to the tenant their machine's
        // latest event code named.
        {
            QStringLiteral("ALTER TABLE machines ADD COLUMN tenant_id INTEGER REFERENCES tenants(id)"),
            QStringLiteral("UPDATE machines SET tenant_id ="
                           " (SELECT e.tenant_id FROM event_codes e WHERE e.code = machines.event_code)"),
            QStringLiteral("CREATE INDEX machines_by_tenant ON machines(tenant_id, serial)"),
            QStringLiteral("ALTER TABLE machine_apps ADD COLUMN tenant_id INTEGER"),
            QStringLiteral("ALTER TABLE telemetry ADD COLUMN tenant_id INTEGER"),
            QStringLiteral("ALTER TABLE installed_apps ADD COLUMN tenant_id INTEGER"),
            QStringLiteral("ALTER TABLE app_logs ADD COLUMN tenant_id INTEGER"),
            QStringLiteral("UPDATE machine_apps SET tenant_id ="
                           " (SELECT m.tenant_id FROM machines m WHERE m.serial = machine_apps.serial)"),
            QStringLiteral("UPDATE telemetry SET tenant_id ="
                           " (SELECT m.tenant_id FROM machines m WHERE m.serial = telemetry.serial)"),
            QStringLiteral("UPDATE installed_apps SET tenant_id ="
                           " (SELECT m.tenant_id FROM machines m WHERE m.serial = installed_apps.serial)"),
            QStringLiteral("UPDATE app_logs SET tenant_id ="
                           " (SELECT m.tenant_id FROM machines m WHERE m.serial = app_logs.serial)"),
        },
    };
    return steps;
}

} // namespace vesk::fleetd
