#!/usr/bin/env bash
# Starts the reference fleet server on loopback with a store in a temporary folder,
# then the agent against it (headless, with its own HOME), and shows the machines
# the server knows as heartbeats arrive. DEMO_SECONDS=0 runs until Ctrl-C.
set -euo pipefail
build=${1:-build}
seconds=${DEMO_SECONDS:-30}
listen=${DEMO_LISTEN:-127.0.0.1:8440}
work=$(mktemp -d /tmp/vesk-demo.XXXXXX)
fleetd="$build/src/fleetd/vesk-fleetd"
agent="$build/src/app/vesk-warden"

cleanup() {
  [ -n "${agent_pid:-}" ] && kill "$agent_pid" 2>/dev/null && wait "$agent_pid" 2>/dev/null || true
  [ -n "${fleetd_pid:-}" ] && kill "$fleetd_pid" 2>/dev/null && wait "$fleetd_pid" 2>/dev/null || true
  echo "Demo files kept in $work"
}
trap cleanup EXIT INT TERM

"$fleetd" serve --listen "$listen" --db "$work/fleet.db" >"$work/fleetd.out" 2>"$work/fleetd.log" &
fleetd_pid=$!
for _ in $(seq 50); do [ -s "$work/fleetd.out" ] && break; sleep 0.1; done
url=$(head -n1 "$work/fleetd.out")
[ -n "$url" ] || { echo "vesk-fleetd did not start:"; cat "$work/fleetd.log"; exit 1; }
echo "Fleet server: $url (store $work/fleet.db)"

mkdir -p "$work/home"
HOME="$work/home" XDG_CONFIG_HOME= XDG_DATA_HOME= VESK_SHARED_DIR="$work/shared" \
  VESK_APPLICATIONS="$work/Applications" "$agent" --headless --fleet-url "$url" \
  --serial "${DEMO_SERIAL:-DEMO-$(hostname)}" >"$work/agent.log" 2>&1 &
agent_pid=$!
echo "Agent started (pid $agent_pid), log $work/agent.log"

start=$(date +%s)
while :; do
  sleep 5
  echo "--- $(date +%T) agent log:"
  grep -E 'HEARTBEAT|Heartbeat' "$work/agent.log" | tail -n 3 || true
  echo "--- machines known to the fleet server (serial, app, version, event code, last seen):"
  "$fleetd" machines --db "$work/fleet.db"
  if [ "$seconds" -gt 0 ] && [ $(( $(date +%s) - start )) -ge "$seconds" ]; then break; fi
done
