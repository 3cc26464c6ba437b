#!/usr/bin/env bash
# Renders the console's screens against a demo fleet: a real vesk-fleetd with a handful of
# machines, one of them paired, with a day of telemetry and two alerts, then
# `vesk-warden console --screenshot`. OUT_DIR gets the four pictures the README shows
# (dashboard.png, machine-detail.png, policy-editor.png, alerts.png); every rendered screen is
# kept in OUT_DIR/all when VESK_ALL_SHOTS=1.
# Usage: scripts/console-screenshots.sh [BUILD_DIR] [OUT_DIR]   (defaults: build, docs/console)
set -euo pipefail

build=${1:-build}
out=${2:-docs/console}
warden="$build/src/app/vesk-warden"
fleetd="$build/src/fleetd/vesk-fleetd"
for bin in "$warden" "$fleetd"; do
  [ -x "$bin" ] || { echo "console-screenshots: build $bin first" >&2; exit 1; }
done
command -v sqlite3 >/dev/null || { echo "console-screenshots: needs sqlite3 (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
server_pid=""
agent_pid=""
cleanup() {
  [ -n "$agent_pid" ] && kill "$agent_pid" 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

tenant=EVNT5678
event=GALA-26
serial=C02DEMO0001
db="$work/fleet.db"
admin() { "$fleetd" "$@" --db "$db"; }

"$fleetd" serve --db "$db" --listen 127.0.0.1:0 >"$work/fleetd.log" 2>&1 &
server_pid=$!
for _ in $(seq 50); do grep -q '/api' "$work/fleetd.log" && break; sleep 0.1; done
url=$(grep -m1 '^http' "$work/fleetd.log")
admin tenant add "$tenant" >/dev/null
admin event add "$tenant" "$event" >/dev/null
secret=$(admin secret issue "$tenant" | cut -f2)
secret_id=$(admin secret list "$tenant" | head -n1 | cut -f1)

# The fleet: booths and print stations announcing themselves.
for name in C02BOOTH0002 C02BOOTH0010 C02BOOTH0003 C02PRINT0001 C02KIOSK0001; do
  curl -fsS -o /dev/null -H 'Content-Type: application/json' \
    -d "{\"eventcode\":\"$event\",\"serial\":\"$name\",\"app\":\"Booth\",\"version\":\"2.4.1\",\"state\":{}}" \
    "$url/heartbeat"
done

# This machine: its agent announces it with the event code of its credentials, then it is paired.
export HOME="$work/home" VESK_SHARED_DIR="$work/home/Shared" VESK_APPLICATIONS="$work/home/Applications"
mkdir -p "$VESK_SHARED_DIR/Lumora" "$VESK_APPLICATIONS"
printf '<credentials><kr5_account>%s</kr5_account><kr5_location>%s</kr5_location></credentials>' \
  "$tenant" "$event" >"$VESK_SHARED_DIR/Lumora/credentials_Gala.xml"
"$warden" --headless --fleet-url "$url" --serial "$serial" >"$work/agent.log" 2>&1 &
agent_pid=$!
for _ in $(seq 150); do grep -q 'HEARTBEAT OK HTTP 200' "$work/agent.log" && break; sleep 0.2; done
printf '%s\n' "$secret" | "$warden" --fleet-url "$url" --serial "$serial" pair - >/dev/null
kill "$agent_pid"; wait "$agent_pid" 2>/dev/null || true; agent_pid=""

# A day of telemetry, one report an hour: the server stamps each report with the time it came,
# so the reports are posted now and their times moved back an hour apart in its database.
key="$(printf '%s' "$tenant" | sha256sum | cut -d' ' -f1).$secret_id.$secret"
for hour in $(seq 0 23); do
  cpu=$((18 + (hour * 37) % 55)); ram=$((5 + (hour * 5) % 7)); disk=$((240 + hour))
  curl -fsS -o /dev/null -H 'Content-Type: application/json' -H "X-Fleet-Key: $key" -H "X-Device-Serial: $serial" \
    -d "{\"serial\":\"$serial\",\"timestamp\":\"$(date -u +%Y-%m-%dT%H:%M:%SZ)\",\"disk_total_gb\":500,
         \"disk_used_gb\":$disk,\"disk_free_gb\":$((500 - disk)),\"ram_total_gb\":16,\"ram_used_gb\":$ram,
         \"cpu_usage\":$cpu,\"cpu_cores\":8,\"uptime_seconds\":86400,\"thermal_state\":\"nominal\",
         \"os_version\":\"Debian 12\",\"model\":\"Booth PC\",\"primary_interface\":\"$([ "$cpu" -gt 40 ] && echo wlan0 || echo eth0)\",\"network_interfaces\":[]}" \
    "$url/device_telemetry"
done
sqlite3 "$db" "UPDATE telemetry SET received_at = strftime('%Y-%m-%dT%H:%M:%fZ', 'now',
  '-' || ((SELECT MAX(id) FROM telemetry WHERE serial = '$serial') - id) || ' hours', '-10 minutes')
  WHERE serial = '$serial'"

# Two alerts from this machine, so the Alerts screen's Fleet tab has rows.
for alert in '"severity":"critical","category":"app_hung","title":"Booth app not responding","message":"com.lumora.booth stopped responding"' \
             '"severity":"warning","category":"disk_space","title":"Disk almost full","message":"12 GB free on /"'; do
  curl -fsS -o /dev/null -H 'Content-Type: application/json' -H "X-Fleet-Key: $key" -H "X-Device-Serial: $serial" \
    -d "{\"serial\":\"$serial\",$alert}" "$url/device_alert"
done

# A policy for the booths, so the Policy Manager opens on its editor.
curl -sS --fail-with-body -o "$work/policy.out" -H 'Content-Type: application/json' -H "X-Fleet-Key: $key" \
  -H "X-Device-Serial: $serial" -d "{\"id\":\"5B8E2F0A-6C1D-4E2B-9A7F-0D3C4B5A6E71\",\"name\":\"Gala booths\",
       \"restart_schedule\":{\"enabled\":true,\"hour\":4,\"minute\":30,\"days\":127},
       \"keep_alive_rules\":[{\"id\":\"1D2C3B4A-5E6F-4A1B-8C2D-3E4F5A6B7C8D\",\"name\":\"Booth app\",
         \"bundle_ids\":[\"com.lumora.booth\"],\"windows\":[],\"days\":127}],
       \"assigned_serials\":[\"$serial\",\"C02BOOTH0002\"]}" \
  "$url/policy" || { cat "$work/policy.out" >&2; exit 1; }

shots="$work/shots"
"$warden" --fleet-url "$url" --serial "$serial" console --screenshot "$shots"
# This Mac's own cleanup rule and share, for the maintenance screens.
storage="${XDG_DATA_HOME:-$HOME/.local/share}/VeskWarden"
mkdir -p "$storage"
cat >"$storage/retention_rules.json" <<JSON
[{"id": "{3f1c2b7a-8d4e-4c5b-9a6f-1e2d3c4b5a69}", "name": "Camera drops", "folderPath": "$HOME/Desktop/Drops",
  "maxAgeHours": 72, "fileFilter": "images", "keepNewestCount": 20}]
JSON
cat >"$storage/monitored_shares.json" <<JSON
[{"id": "{7a6b5c4d-3e2f-4a1b-9c8d-7e6f5a4b3c2d}", "name": "Event archive", "address": "smb://nas.local/Events",
  "username": "booth", "enabled": true, "autoRemount": true}]
JSON

mkdir -p "$out"
# The files are numbered in sidebar order (the first match is taken: the machine's overview,
# not its Software tab); the README names them by what they show.
pick() {
  local found
  found=$(find "$shots" -name "$1" | sort | head -n1)
  [ -n "$found" ] || { echo "console-screenshots: no $1 among: $(ls "$shots")" >&2; exit 1; }
  cp "$found" "$out/$2"
}
pick '*-dashboard.png' dashboard.png
pick '*-machine-*.png' machine-detail.png
pick '*-policy-manager.png' policy-editor.png
pick '*-alerts.png' alerts.png
if [ "${VESK_ALL_SHOTS:-0}" = 1 ]; then
  mkdir -p "$out/all" && cp "$shots"/*.png "$out/all/"
fi
echo "console-screenshots: $(ls "$shots" | wc -l) screens rendered; README pictures in $out"
