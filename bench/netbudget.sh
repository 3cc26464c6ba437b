#!/usr/bin/env bash
# The agent's network budget: a paired agent talks to vesk-fleetd through bench/byte_proxy.py
# for N minutes, and bench/netbudget_summary.py turns the proxy's per-route counts into bytes
# per 30-day month.
#
#   bench/netbudget.sh [minutes] [default|lowdata] [build dir]
#   bench/netbudget.sh 10 default build
#   bench/netbudget.sh 10 lowdata build
#
# The agent runs headless with its own HOME, 10 installed family bundles (3 of them running),
# at its real periods. Counts go to $NETBUDGET_OUT (default: a temporary folder, printed).
set -euo pipefail

MINUTES=${1:-10}
MODE=${2:-default}
BUILD=${3:-build}
HERE=$(cd "$(dirname "$0")" && pwd)
AGENT="$BUILD/src/app/vesk-warden"
FLEETD="$BUILD/src/fleetd/vesk-fleetd"
for b in "$AGENT" "$FLEETD"; do [ -x "$b" ] || { echo "missing $b; build vesk-warden and vesk-fleetd"; exit 1; }; done
case "$MODE" in default|lowdata) ;; *) echo "mode is default or lowdata"; exit 1 ;; esac

WORK=$(mktemp -d)
OUT=${NETBUDGET_OUT:-$WORK/out}
mkdir -p "$OUT"
PIDS=""
cleanup() {
    for p in $PIDS; do kill "$p" 2>/dev/null || true; done
    for p in $PIDS; do wait "$p" 2>/dev/null || true; done
    if [ -n "${NETBUDGET_OUT:-}" ]; then rm -rf "$WORK"; fi
}
trap cleanup EXIT INT TERM

APPS="$WORK/Applications"
i=0
for id in com.lumora.capture com.lumora.capture.pro com.lumora.tether com.lumora.tether.canon \
          com.lumora.tether.nikon com.lumora.tether.sony com.lumora.boothcam com.lumora.greenscreen \
          com.lumora.ingest com.lumora.cull; do
    i=$((i + 1))
    b="$APPS/App$i.app"
    mkdir -p "$b/Contents/MacOS"
    cat > "$b/Contents/Info.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>CFBundleIdentifier</key><string>$id</string>
<key>CFBundleName</key><string>App $i</string><key>CFBundleShortVersionString</key><string>4.2.$i</string>
<key>CFBundleVersion</key><string>42$i</string><key>CFBundleExecutable</key><string>run</string></dict></plist>
PLIST
    cp /bin/sleep "$b/Contents/MacOS/run"
    if [ "$i" -le 3 ]; then "$b/Contents/MacOS/run" 100000 & PIDS="$PIDS $!"; fi
done

mkdir -p "$WORK/home" "$WORK/Shared/Lumora"
run_agent() {
    exec env HOME="$WORK/home" VESK_APPLICATIONS="$APPS" VESK_SHARED_DIR="$WORK/Shared" QT_QPA_PLATFORM=offscreen \
        VESK_RESTART_COMMAND=false "$AGENT" "$@"
}

DB="$WORK/fleet.db"
"$FLEETD" serve --listen 127.0.0.1:0 --db "$DB" >"$WORK/fleetd.out" 2>"$WORK/fleetd.log" &
PIDS="$PIDS $!"
for _ in $(seq 100); do [ -s "$WORK/fleetd.out" ] && break; sleep 0.1; done
URL=$(head -n1 "$WORK/fleetd.out")
[ -n "$URL" ] || { echo "vesk-fleetd did not start:"; cat "$WORK/fleetd.log"; exit 1; }
"$FLEETD" tenant add ABCD1234 --db "$DB" >/dev/null
"$FLEETD" event add ABCD1234 EVT-1 --db "$DB" >/dev/null
SECRET=$("$FLEETD" secret issue ABCD1234 --db "$DB" | cut -f2)
printf '<credentials><kr5_account>ABCD1234</kr5_account><kr5_location>EVT-1</kr5_location></credentials>' \
    >"$WORK/Shared/Lumora/credentials_Budget.xml"

# Enrol directly (not counted): the first heartbeat puts the machine in the tenant, the shell pairs it.
run_agent --headless --fleet-url "$URL" --serial BUDGET-1 >"$WORK/enrol.log" 2>&1 &
ENROL_PID=$!
for _ in $(seq 300); do grep -q "HEARTBEAT OK HTTP 200" "$WORK/enrol.log" && break; sleep 0.1; done
kill "$ENROL_PID"; wait "$ENROL_PID" 2>/dev/null || true
(run_agent --fleet-url "$URL" --serial BUDGET-1 pair "$SECRET" >/dev/null) || { echo "pairing failed"; exit 1; }

if [ "$MODE" = lowdata ]; then
    mkdir -p "$WORK/home/.config/VeskWarden"
    printf '[General]\nlowDataMode=true\n' >>"$WORK/home/.config/VeskWarden/VeskWarden.conf"
fi

# The measured run: the agent's every byte goes through the proxy.
TARGET=$(echo "$URL" | sed -E 's#^http://([^/]+)/.*#\1#')
WARM=${NETBUDGET_WARM_SECONDS:-120}
python3 "$HERE/byte_proxy.py" --target "$TARGET" --report "$OUT/counts.json" --heads "$OUT/heads.txt" \
    --mark-after "$WARM" >"$WORK/proxy.out" 2>"$WORK/proxy.log" &
PROXY_PID=$!
PIDS="$PIDS $PROXY_PID"
for _ in $(seq 100); do [ -s "$WORK/proxy.out" ] && break; sleep 0.1; done
PROXY=$(sed -n 's/^LISTEN //p' "$WORK/proxy.out")
[ -n "$PROXY" ] || { echo "the proxy did not start:"; cat "$WORK/proxy.log"; exit 1; }
PROXY_URL=$(echo "$URL" | sed -E "s#^http://[^/]+#http://$PROXY#")

run_agent --headless --fleet-url "$PROXY_URL" --serial BUDGET-1 >"$OUT/agent.log" 2>&1 &
AGENT_PID=$!
PIDS="$AGENT_PID $PIDS"
sleep $((MINUTES * 60))
kill "$AGENT_PID"; wait "$AGENT_PID" 2>/dev/null || true
kill -TERM "$PROXY_PID"; wait "$PROXY_PID" 2>/dev/null || true
python3 "$HERE/netbudget_summary.py" "$OUT/counts.json" "$MODE" | tee "$OUT/summary.txt"
echo "counts, request heads and the agent's log: $OUT"
