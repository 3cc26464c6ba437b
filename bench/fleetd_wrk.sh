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
#   WRK_DB=postgresql bench/fleetd_wrk.sh          (a throwaway PostgreSQL cluster instead of SQLite)
#
# With WRK_DB=postgresql the script runs initdb and postgres from the newest
# /usr/lib/postgresql/<version>/bin in its temporary folder (as user nobody when run as root,
# since postgres refuses root), points the server at it and stops the cluster at exit.
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
database=${WRK_DB:-sqlite}

for tool in wrk curl cc sha256sum; do
  command -v "$tool" >/dev/null || { echo "fleetd_wrk: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$fleetd" ] || { echo "fleetd_wrk: no vesk-fleetd at $fleetd" >&2; exit 1; }
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true

work=$(mktemp -d)
chmod 755 "$work"
pids=()
pg_pid=
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # The server goes first, so that postgres sees its clients leave; fast shutdown, then wait.
  [ -z "$pg_pid" ] || kill -INT "$pg_pid" 2>/dev/null || true
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

# The store: a SQLite file, or a database in a PostgreSQL cluster of our own.
case $database in
sqlite)
  db="$work/fleet.db"
  db_version="SQLite"
  ;;
postgresql)
  pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -t/ -k5 -n | tail -n1)
  [ -n "$pg_bin" ] && [ -x "$pg_bin/initdb" ] ||
    { echo "fleetd_wrk: no PostgreSQL server binaries (/usr/lib/postgresql/*/bin/initdb)" >&2; exit 1; }
  as_owner=(setpriv --pdeathsig=QUIT)
  if [ "$(id -u)" = 0 ]; then
    as_owner+=(--reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
    install -d -o nobody -g "$(id -gn nobody)" "$work/pg"
  else
    mkdir "$work/pg"
  fi
  "${as_owner[@]}" "$pg_bin/initdb" -D "$work/pg/data" --auth=trust --username=fleet \
    --encoding=UTF8 --locale=C.UTF-8 --no-sync >"$work/initdb.log" 2>&1 ||
    { echo "fleetd_wrk: initdb failed:" >&2; cat "$work/initdb.log" >&2; exit 1; }
  # A port nothing answers on (a connection attempt that fails).
  for _ in $(seq 50); do
    pg_port=$((20000 + RANDOM % 30000))
    (exec 3<>"/dev/tcp/127.0.0.1/$pg_port") 2>/dev/null || break
  done
  "${as_owner[@]}" "$pg_bin/postgres" -D "$work/pg/data" -p "$pg_port" -k "$work/pg" \
    -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=100 >"$work/postgres.log" 2>&1 &
  pg_pid=$!
  for _ in $(seq 300); do
    grep -q "ready to accept connections" "$work/postgres.log" && break
    kill -0 "$pg_pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "ready to accept connections" "$work/postgres.log" ||
    { echo "fleetd_wrk: postgres did not start:" >&2; cat "$work/postgres.log" >&2; exit 1; }
  db="postgresql://fleet@127.0.0.1:$pg_port/postgres"
  db_version="PostgreSQL $("$pg_bin/postgres" --version | awk '{ print $3 }')"
  ;;
*)
  echo "fleetd_wrk: WRK_DB is sqlite or postgresql, not $database" >&2
  exit 1
  ;;
esac

# One server with one tenant, its fleet secret and one machine that has sent a heartbeat.
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
# CPU time of the PostgreSQL cluster (postmaster and its backends); 0 on SQLite, whose work is
# the server's own.
db_ticks() {
  [ -n "$pg_pid" ] || { echo 0; return; }
  # Processes end while the list is read: cat skips the vanished ones, and its status is not ours.
  { cat /proc/[0-9]*/stat 2>/dev/null || true; } |
    awk -v pg="$pg_pid" '$1 == pg || $4 == pg { sum += $14 + $15 } END { print sum + 0 }'
}
# Runs wrk against `url` served by process `pid` and prints: req/s p50 p99 non2xx errors, the
# server's CPU time per answered request in microseconds, which a loaded machine distorts far less
# than req/s, and the database's (PostgreSQL's processes) likewise.
measure() {
  local url=$1 conns=$2 duration=$3 pid=$4 key=${5:-} before after db_before db_after
  before=$(cpu_ticks "$pid")
  db_before=$(db_ticks)
  FLEET_KEY=$key wrk -t"$threads" -c"$conns" -d"${duration}s" --timeout 10s -s "$here/wrk/fleetd.lua" "$url" |
    awk '$1 == "RESULT" { print $4, $5, $6, $7, $8, $2 }' > "$work/result"
  after=$(cpu_ticks "$pid")
  db_after=$(db_ticks)
  awk -v ticks=$((after - before)) -v dbticks=$((db_after - db_before)) -v hz="$ticks_per_second" \
    '{ printf "%s %s %s %s %s %.1f %.1f\n", $1, $2, $3, $4, $5, ($6 > 0 ? ticks * 1e6 / hz / $6 : 0),
       ($6 > 0 ? dbticks * 1e6 / hz / $6 : 0) }' "$work/result"
}
row() {
  printf '%6s  %-33s %9s %9s %9s %9s %7s %9s %9s\n' "$@"
}
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'
}

echo "$db_version, wrk $(wrk -v 2>&1 | head -n1 | cut -d' ' -f2), $threads threads, ${seconds}s per run, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
row conns route req/s "p50 ms" "p99 ms" non-2xx errors "CPU us/req" "DB us/req"
failed=0
for conns in $connections; do
  read -r rps p50 p99 non2xx errs cpu db < <(measure "http://127.0.0.1:$ceiling_port/x" "$conns" "$seconds" "$ceiling_pid")
  row "$conns" "wrk ceiling (epoll, 404)" "$rps" "$p50" "$p99" "$non2xx" "$errs" "$cpu" "$db"
  measure "$base/nope" "$conns" 1 "$fleetd_pid" >/dev/null
  read -r rps404 p50 p99 non2xx errs cpu404 db404 < <(measure "$base/nope" "$conns" "$seconds" "$fleetd_pid")
  row "$conns" "GET unknown route (404)" "$rps404" "$p50" "$p99" "$non2xx" "$errs" "$cpu404" "$db404"
  read -r rpssame p50 p99 non2xx errs cpusame dbsame < <(measure "$base/nope" "$conns" "$seconds" "$fleetd_pid" "$FLEET_KEY")
  row "$conns" "POST unknown, poll's bytes (404)" "$rpssame" "$p50" "$p99" "$non2xx" "$errs" "$cpusame" "$dbsame"
  measure "$base/device_commands" "$conns" 1 "$fleetd_pid" "$FLEET_KEY" >/dev/null
  read -r rpspoll p50 p99 non2xx errs cpupoll dbpoll < <(measure "$base/device_commands" "$conns" "$seconds" "$fleetd_pid" "$FLEET_KEY")
  row "$conns" "POST device_commands (poll)" "$rpspoll" "$p50" "$p99" "$non2xx" "$errs" "$cpupoll" "$dbpoll"
  [ "$non2xx" = 0 ] || failed=1
  printf '%6s  poll / 404: %s by req/s, %s by CPU per request; poll / 404 with the poll'"'"'s bytes: %s, %s\n' \
    "$conns" "$(ratio "$rpspoll" "$rps404")" "$(ratio "$cpu404" "$cpupoll")" \
    "$(ratio "$rpspoll" "$rpssame")" "$(ratio "$cpusame" "$cpupoll")"
  # On PostgreSQL the database's processes share the cores too: the poll's CPU with theirs.
  [ -z "$pg_pid" ] || printf '%6s  poll / 404 by CPU per request, the database'"'"'s counted: %s\n' \
    "$conns" "$(ratio "$cpu404" "$(awk -v a="$cpupoll" -v b="$dbpoll" 'BEGIN { print a + b }')")"
done
[ "$failed" = 0 ] || echo "fleetd_wrk: some polls were not answered 200" >&2
exit $failed
