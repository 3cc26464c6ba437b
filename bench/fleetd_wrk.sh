#!/usr/bin/env bash
# Throughput of vesk-fleetd measured with wrk: the server's own unknown-route 404 (HTTP only)
# against the authenticated command poll of one paired machine, at each connection count, in
# the same run, plus wrk's own ceiling against a minimal epoll server built on the spot. A third
# route sends the poll's exact bytes (key, serial, body) to the unknown route: its 404 costs what
# reading and parsing the poll's larger request costs, so poll / that 404 is the work of the poll
# itself.
#
#   bench/fleetd_wrk.sh [vesk-fleetd binary]     (default: build-bench/src/fleetd/vesk-fleetd)
#   WRK_SECONDS=10 WRK_THREADS=2 WRK_CONNECTIONS="50 1000" bench/fleetd_wrk.sh
#
# Prints per connection count: req/s, p50, p99, non-2xx answers, socket errors and the server's
# CPU time per request of each route, then poll / 404 and poll / (404 with the poll's bytes), by
# req/s and by CPU per request (the 404's CPU over the poll's: the throughput ratio the server
# would reach on cores of its own). Exits non-zero when set-up fails or a poll is not a 200.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
fleetd=${1:-build-bench/src/fleetd/vesk-fleetd}
seconds=${WRK_SECONDS:-10}
threads=${WRK_THREADS:-2}
connections=${WRK_CONNECTIONS:-50 1000}

for tool in wrk curl cc sha256sum; do
  command -v "$tool" >/dev/null || { echo "fleetd_wrk: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$fleetd" ] || { echo "fleetd_wrk: no vesk-fleetd at $fleetd" >&2; exit 1; }
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Starts "$@" in the background with stdout in $work/$name.out, waits for its first line and
# leaves it in $started (and the process id in $started_pid).
start() {
  local name=$1
  shift
  "$@" >"$work/$name.out" 2>"$work/$name.err" &
  started_pid=$!
  pids+=("$started_pid")
  for _ in $(seq 100); do
    if [ -s "$work/$name.out" ]; then
      started=$(head -n1 "$work/$name.out")
      return 0
    fi
    sleep 0.1
  done
  echo "fleetd_wrk: $name did not start:" >&2
  cat "$work/$name.err" >&2
  exit 1
}

# One server with one tenant, its fleet secret and one machine that has sent a heartbeat.
db="$work/fleet.db"
tenant=BENCHWRK
serial=WRK-000001
"$fleetd" tenant add "$tenant" --db "$db" >/dev/null 2>&1
"$fleetd" event add "$tenant" EVT-WRK --db "$db" >/dev/null 2>&1
IFS=$'\t' read -r secret_id secret_code < <("$fleetd" secret issue "$tenant" --db "$db" 2>/dev/null)
tenant_hash=$(printf %s "$tenant" | sha256sum | cut -d' ' -f1)
export FLEET_KEY="$tenant_hash.$secret_id.$secret_code"
export DEVICE_SERIAL=$serial

start fleetd "$fleetd" serve --listen 127.0.0.1:0 --db "$db"
base=$started
fleetd_pid=$started_pid
curl -sf -o /dev/null -H 'Content-Type: application/json' \
  -d "{\"eventcode\":\"EVT-WRK\",\"serial\":\"$serial\",\"app\":\"warden\",\"version\":\"1.0\",\"state\":{}}" \
  "$base/heartbeat" || { echo "fleetd_wrk: the heartbeat was refused" >&2; exit 1; }
poll_status=$(curl -s -o /dev/null -w '%{http_code}' -H 'Content-Type: application/json' \
  -H "X-Fleet-Key: $FLEET_KEY" -H "X-Device-Serial: $serial" -d "{\"serial\":\"$serial\"}" "$base/device_commands")
[ "$poll_status" = 200 ] || { echo "fleetd_wrk: the poll answered $poll_status, not 200" >&2; exit 1; }

cc -O2 -o "$work/ceiling_server" "$here/wrk/ceiling_server.c"
start ceiling "$work/ceiling_server" 0
ceiling_port=$started
ceiling_pid=$started_pid

ticks_per_second=$(getconf CLK_TCK)
# CPU time (user + system, in clock ticks) a process has used so far.
cpu_ticks() {
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}
# Runs wrk against `url` served by process `pid` and prints: req/s p50 p99 non2xx errors and the
# server's CPU time per answered request in microseconds, which a loaded machine distorts far less
# than req/s.
measure() {
  local url=$1 conns=$2 duration=$3 pid=$4 key=${5:-} before after
  before=$(cpu_ticks "$pid")
  FLEET_KEY=$key wrk -t"$threads" -c"$conns" -d"${duration}s" --timeout 10s -s "$here/wrk/fleetd.lua" "$url" |
    awk '$1 == "RESULT" { print $4, $5, $6, $7, $8, $2 }' > "$work/result"
  after=$(cpu_ticks "$pid")
  awk -v ticks=$((after - before)) -v hz="$ticks_per_second" \
    '{ printf "%s %s %s %s %s %.1f\n", $1, $2, $3, $4, $5, ($6 > 0 ? ticks * 1e6 / hz / $6 : 0) }' "$work/result"
}
row() {
  printf '%6s  %-33s %9s %9s %9s %9s %7s %9s\n' "$@"
}
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'
}

echo "wrk $(wrk -v 2>&1 | head -n1 | cut -d' ' -f2), $threads threads, ${seconds}s per run, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
row conns route req/s "p50 ms" "p99 ms" non-2xx errors "CPU us/req"
failed=0
for conns in $connections; do
  read -r rps p50 p99 non2xx errs cpu < <(measure "http://127.0.0.1:$ceiling_port/x" "$conns" "$seconds" "$ceiling_pid")
  row "$conns" "wrk ceiling (epoll, 404)" "$rps" "$p50" "$p99" "$non2xx" "$errs" "$cpu"
  measure "$base/nope" "$conns" 1 "$fleetd_pid" >/dev/null
  read -r rps404 p50 p99 non2xx errs cpu404 < <(measure "$base/nope" "$conns" "$seconds" "$fleetd_pid")
  row "$conns" "GET unknown route (404)" "$rps404" "$p50" "$p99" "$non2xx" "$errs" "$cpu404"
  read -r rpssame p50 p99 non2xx errs cpusame < <(measure "$base/nope" "$conns" "$seconds" "$fleetd_pid" "$FLEET_KEY")
  row "$conns" "POST unknown, poll's bytes (404)" "$rpssame" "$p50" "$p99" "$non2xx" "$errs" "$cpusame"
  measure "$base/device_commands" "$conns" 1 "$fleetd_pid" "$FLEET_KEY" >/dev/null
  read -r rpspoll p50 p99 non2xx errs cpupoll < <(measure "$base/device_commands" "$conns" "$seconds" "$fleetd_pid" "$FLEET_KEY")
  row "$conns" "POST device_commands (poll)" "$rpspoll" "$p50" "$p99" "$non2xx" "$errs" "$cpupoll"
  [ "$non2xx" = 0 ] || failed=1
  printf '%6s  poll / 404: %s by req/s, %s by CPU per request; poll / 404 with the poll'"'"'s bytes: %s, %s\n' \
    "$conns" "$(ratio "$rpspoll" "$rps404")" "$(ratio "$cpu404" "$cpupoll")" \
    "$(ratio "$rpspoll" "$rpssame")" "$(ratio "$cpusame" "$cpupoll")"
done
[ "$failed" = 0 ] || echo "fleetd_wrk: some polls were not answered 200" >&2
exit $failed
