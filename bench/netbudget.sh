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
# shellcheck source=bench/lib.sh
. "$HERE/lib.sh"
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
family_apps "$APPS" 3 yes

mkdir -p "$WORK/home" "$WORK/Shared/Lumora"
run_agent() {
    exec env HOME="$WORK/home" VESK_APPLICATIONS="$APPS" VESK_SHARED_DIR="$WORK/Shared" QT_QPA_PLATFORM=offscreen \
        VESK_RESTART_COMMAND=false "$AGENT" "$@"
}

start_fleetd "$FLEETD" Budget

# Enrol directly (not counted): the first heartbeat puts the machine in the tenant, the shell pairs it.
enrol_agent --headless --fleet-url "$URL" --serial BUDGET-1
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
