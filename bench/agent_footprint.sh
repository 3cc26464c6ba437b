#!/bin/sh
# Runs the agent at its default periods with 10 family apps running and reports its average
# CPU (percent of one core, from /proc/PID/stat) and resident memory, against `top -b -d 15`
# sampling the same machine over the same period.
#
#   bench/agent_footprint.sh [minutes (default 10)] [agent binary (default build/src/app/vesk-warden)] [agent args...]
#
# With FOOTPRINT_FLEETD=path/to/vesk-fleetd the agent is measured doing its real reporting: a
# vesk-fleetd on a free loopback port gets a tenant, an event code and a secret, the machine's
# credential file names the event, and the agent is enrolled and paired before it is measured,
# so telemetry, installed-apps reports, speed tests and command polls all run.
set -eu

MINUTES=${1:-10}
AGENT=${2:-build/src/app/vesk-warden}
# shellcheck source=bench/lib.sh
. "$(dirname "$0")/lib.sh"
# dash (/bin/sh) exits on a `shift` past the end, whatever follows it: count first.
if [ $# -ge 2 ]; then shift 2; else shift $#; fi
[ $# -gt 0 ] || set -- --headless
INTERVAL=15
HZ=$(getconf CLK_TCK)
PAGE=$(getconf PAGESIZE)

WORK=$(mktemp -d)
APPS="$WORK/Applications"
PIDS=""
cleanup() {
    for p in $PIDS; do kill "$p" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

# 10 family bundles whose executable is a copy of /bin/sleep, all running.
family_apps "$APPS" 10

mkdir -p "$WORK/home" "$WORK/Shared/Lumora"
# Replaces the calling (sub)shell, so that `run_agent … &` leaves the agent's own pid in $!.
run_agent() {
    exec env HOME="$WORK/home" VESK_APPLICATIONS="$APPS" VESK_SHARED_DIR="$WORK/Shared" QT_QPA_PLATFORM=offscreen \
        "$AGENT" "$@"
}

if [ -n "${FOOTPRINT_FLEETD:-}" ]; then
    start_fleetd "$FOOTPRINT_FLEETD" Footprint
    set -- "$@" --fleet-url "$URL" --serial FOOTPRINT-1
    # Enrol: the first heartbeat puts the machine in the tenant, then the shell pairs it.
    enrol_agent "$@"
    (run_agent --fleet-url "$URL" --serial FOOTPRINT-1 pair "$SECRET") || { echo "pairing failed"; exit 1; }
    echo "paired with vesk-fleetd at $URL"
fi

run_agent "$@" >"$WORK/agent.log" 2>&1 &
AGENT_PID=$!
PIDS="$PIDS $AGENT_PID"
top -b -d "$INTERVAL" >/dev/null 2>&1 &
TOP_PID=$!
PIDS="$PIDS $TOP_PID"

ticks() { awk '{ s = $0; sub(/^.*\) /, "", s); split(s, f, " "); print f[12] + f[13] }' "/proc/$1/stat"; }
rss_kb() { awk -v page="$PAGE" '{ print $2 * page / 1024 }' "/proc/$1/statm"; }

SAMPLES=$((MINUTES * 60 / INTERVAL))
sleep 2
A0=$(ticks "$AGENT_PID"); T0=$(ticks "$TOP_PID"); START=$(date +%s)
RSS_SUM=0; RSS_MAX=0; TOP_RSS_SUM=0; RSS_AT_1MIN=0; n=0
while [ "$n" -lt "$SAMPLES" ]; do
    sleep "$INTERVAL"
    kill -0 "$AGENT_PID" 2>/dev/null || { echo "agent exited; log:"; cat "$WORK/agent.log"; exit 1; }
    n=$((n + 1))
    r=$(rss_kb "$AGENT_PID"); tr=$(rss_kb "$TOP_PID")
    RSS_SUM=$((RSS_SUM + r)); TOP_RSS_SUM=$((TOP_RSS_SUM + tr))
    [ "$r" -gt "$RSS_MAX" ] && RSS_MAX=$r
    [ "$n" -eq $((60 / INTERVAL)) ] && RSS_AT_1MIN=$r
done
A1=$(ticks "$AGENT_PID"); T1=$(ticks "$TOP_PID"); END=$(date +%s); RSS_END=$(rss_kb "$AGENT_PID")
if [ -n "${FOOTPRINT_FLEETD:-}" ]; then
    REPORTS=$("$FOOTPRINT_FLEETD" telemetry FOOTPRINT-1 --db "$DB" | wc -l)
    echo "telemetry reports stored by vesk-fleetd: $REPORTS (one a minute expected)"
fi

awk -v a="$((A1 - A0))" -v t="$((T1 - T0))" -v hz="$HZ" -v secs="$((END - START))" -v n="$n" \
    -v rss="$RSS_SUM" -v trss="$TOP_RSS_SUM" -v max="$RSS_MAX" -v one="$RSS_AT_1MIN" -v last="$RSS_END" \
    -v agent="$AGENT" 'BEGIN {
    acpu = a / hz / secs * 100; tcpu = t / hz / secs * 100
    printf "agent %s over %d s, %d samples\n", agent, secs, n
    printf "agent: average CPU %.4f %% of one core, resident %.1f MB average, %.1f MB max\n", acpu, rss / n / 1024, max / 1024
    printf "top -b -d 15: average CPU %.4f %% of one core, resident %.1f MB average\n", tcpu, trss / n / 1024
    printf "ratio agent/top: CPU %.2f, resident %.2f\n", (tcpu > 0 ? acpu / tcpu : 0), rss / trss
    printf "resident after 1 min %.1f MB, at end %.1f MB (growth %.1f MB)\n", one / 1024, last / 1024, (last - one) / 1024
    printf "targets: CPU < 0.1 %%: %s; resident < 40 MB: %s\n", (acpu < 0.1 ? "met" : "MISSED"), (max / 1024 < 40 ? "met" : "MISSED")
}'
