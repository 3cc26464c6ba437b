#!/usr/bin/env bash
# Accelerated soak: a paired agent against vesk-fleetd for HOURS of wall time, with its periods
# divided by VESK_SOAK_FACTOR (default 24: an hour is a day of the agent's life). Commands,
# payload deploys, policy changes, server restarts and network drops (the server frozen with
# SIGSTOP, so requests hang instead of being refused) come at random; every SAMPLE_SECONDS
# the agent's and the server's resident memory, open descriptors and threads go into
# samples.csv. At the end a verdict table checks memory growth after the first ten minutes,
# flat descriptors and threads, every loop's last pass, and that every queued command got
# an answer; summary.csv holds the same table. bench/soak_plot.py draws samples.csv.
#
# Usage: bench/soak.sh HOURS [BUILD_DIR]     (HOURS may be a fraction: 0.75)
#   BUILD_DIR defaults to build-soak, configured as a Release build and built when the two
#   programs are missing there. Environment: VESK_SOAK_FACTOR (24), SAMPLE_SECONDS (60),
#   SOAK_RESULTS (where the CSVs go; default the run's temporary folder), SOAK_SEED (random).
# Exit status: 0 when every check passed, 1 when one failed.
set -euo pipefail

hours=${1:?usage: bench/soak.sh HOURS [BUILD_DIR]}
build=${2:-build-soak}
readonly factor=${VESK_SOAK_FACTOR:-24}
readonly sample_every=${SAMPLE_SECONDS:-60}
readonly redeliver=$(awk -v f="$factor" 'BEGIN{r = int(600 / f); print r < 1 ? 1 : r}')
readonly warmup=${SOAK_WARMUP:-600} # seconds of wall time before memory and descriptors count
RANDOM=${SOAK_SEED:-$$}

readonly tenant=SOAKSHOP
readonly event=SOAK-EVENT
readonly serial=SOAK-STATION-1
readonly capture_id=com.lumora.capture
readonly print_id=com.lumora.print

root=$(cd "$(dirname "$0")/.." && pwd)
fleetd="$build/src/fleetd/vesk-fleetd"
warden="$build/src/app/vesk-warden"
work="" db="" url="" port="" secret="" secret_id="" payload_id=""
fleetd_pid="" agent_pid="" frozen=0
server_restarts=0 network_drops=0 policy_changes=0 payload_deploys=0
declare -a queued=()
declare -A injected=()

say() { printf '[%s] %s\n' "$(date -u +%H:%M:%S)" "$*"; }
fail() { say "Soak failed: $*" >&2; exit 1; }
pid_alive() { kill -0 "$1" 2>/dev/null; }

wait_for() {
  local seconds=$1 deadline
  shift
  deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.5
  done
}

stop_pid() {
  local pid=$1
  [ -n "$pid" ] && pid_alive "$pid" || return 0
  kill -CONT "$pid" 2>/dev/null || true
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do pid_alive "$pid" || return 0; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  stop_pid "$agent_pid"
  if [ -n "$work" ]; then
    local pid
    for pid in $(pgrep -f -- "$work/Applications/" || true); do stop_pid "$pid"; done
  fi
  stop_pid "$fleetd_pid"
  [ -n "$work" ] && say "The soak's files (database, logs, samples) are kept in $work"
  exit "$status"
}

admin() { "$fleetd" "$@" --db "$db" 2>>"$work/admin.log"; }

# --- set-up -------------------------------------------------------------------------------

ensure_build() {
  [ -x "$fleetd" ] && [ -x "$warden" ] && return 0
  say "Building vesk-warden and vesk-fleetd (Release) into $build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVESK_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j "${JOBS:-2}" --target vesk-warden vesk-fleetd >/dev/null
}

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

start_fleet_server() {
  # A command handed out but never answered (its poll's answer lost in a restart) is handed
  # out again after ten minutes of the agent's time.
  "$fleetd" serve --listen "127.0.0.1:$port" --db "$db" --redeliver-after "$redeliver" \
    >"$work/fleetd.out" 2>>"$work/fleetd.log" &
  fleetd_pid=$!
  wait_for 20 grep -qs '^http' "$work/fleetd.out" || fail "vesk-fleetd did not start (see $work/fleetd.log)"
}

make_app() {
  local id=$1 name=$2 version=$3
  local bundle="$work/Applications/$name.app"
  mkdir -p "$bundle/Contents/MacOS"
  cat >"$bundle/Contents/Info.plist" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
	<key>CFBundleIdentifier</key><string>$id</string>
	<key>CFBundleName</key><string>$name</string>
	<key>CFBundleShortVersionString</key><string>$version</string>
	<key>CFBundleVersion</key><string>1</string>
	<key>CFBundleExecutable</key><string>run</string>
</dict>
</plist>
EOF
  printf '#!/bin/sh\nwhile :; do sleep 1; done\n' >"$bundle/Contents/MacOS/run"
  chmod +x "$bundle/Contents/MacOS/run"
}

as_agent() {
  exec env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$work/agent-home" VESK_SHARED_DIR="$work/Shared" \
    VESK_APPLICATIONS="$work/Applications" VESK_RESTART_COMMAND=false VESK_SOAK_FACTOR="$factor" \
    "$warden" --fleet-url "$url" --serial "$serial" "$@"
}

start_agent() {
  as_agent --headless >>"$work/agent.log" 2>&1 &
  agent_pid=$!
}

set_up() {
  work=$(mktemp -d /tmp/vesk-soak.XXXXXX)
  db="$work/fleet.db"
  results=${SOAK_RESULTS:-$work}
  mkdir -p "$results" "$work/Shared/Lumora" "$work/Drops" "$work/agent-home/.local/share/VeskWarden"
  port=$(free_port)
  start_fleet_server
  url=$(grep -m1 '^http' "$work/fleetd.out")
  admin tenant add "$tenant" >/dev/null
  admin event add "$tenant" "$event" >/dev/null
  local issued
  issued=$(admin secret issue "$tenant")
  secret_id=$(cut -f1 <<<"$issued")
  secret=$(cut -f2 <<<"$issued")
  [ ${#secret} -eq 64 ] || fail "vesk-fleetd did not issue a fleet secret"

  make_app "$capture_id" "Lumora Capture" 2.4.1
  make_app "$print_id" "Lumora Print" 1.8.0
  "$work/Applications/Lumora Capture.app/Contents/MacOS/run" </dev/null >/dev/null 2>&1 &
  printf '<credentials><kr5_account>%s</kr5_account><kr5_location>%s</kr5_location></credentials>\n' \
    "$tenant" "$event" >"$work/Shared/Lumora/credentials_Soak.xml"
  printf '[{"name": "Camera drops", "folderPath": "%s", "dryRun": false, "useTrash": false, "maxAgeHours": 72}]\n' \
    "$work/Drops" >"$work/agent-home/.local/share/VeskWarden/retention_rules.json"

  # The server pairs only a machine it has heard from; the agent measured is the one started
  # after pairing.
  start_agent
  wait_for 60 grep -q 'HEARTBEAT OK HTTP 200' "$work/agent.log" || fail "no heartbeat reached the server"
  printf '%s\n' "$secret" | as_agent pair - >/dev/null 2>"$work/pair.log" || fail "pairing refused: $(tail -n1 "$work/pair.log")"
  stop_pid "$agent_pid"
  start_agent
  upload_payload
  say "Soak of $hours h at factor $factor ($(awk -v h="$hours" -v f="$factor" 'BEGIN{printf "%.1f", h*f/24}') agent days) in $work; agent pid $agent_pid, server $url"
}

# A settings payload for the shared Lumora folder, uploaded once the way the console does.
upload_payload() {
  local stage="$work/payload" key answer
  mkdir -p "$stage"
  printf 'preset=%s\n' "$RANDOM" >"$stage/presets.ini"
  (cd "$stage" && zip -q payload.zip presets.ini)
  key="$(printf '%s' "$tenant" | sha256sum | cut -d' ' -f1).$secret_id.$secret"
  answer=$(curl -sf -H "X-Fleet-Key: $key" -H "X-Device-Serial: $serial" -F name="Soak presets" \
    -F target_path="$work/Shared/Lumora/Presets" -F "file=@$stage/payload.zip" "$url/payload") ||
    fail "the payload upload was refused"
  payload_id=$(jq -r '.payload.id // .id' <<<"$answer")
  [[ $payload_id =~ ^[0-9]+$ ]] || fail "the payload upload answered without an id: $answer"
}

# --- injections -----------------------------------------------------------------------------

queue() {
  local id
  id=$(admin command queue "$serial" "$@") || { say "could not queue $1"; return 0; }
  queued+=("$id")
  injected[$1]=$((${injected[$1]:-0} + 1))
}

change_policy() {
  local file="$work/policy.json"
  jq -n --arg id "5a0c0000-0000-4000-8000-000000000001" --arg rule "5a0c0000-0000-4000-8000-000000000002" \
    --arg app "$capture_id" --argjson mem $((512 + RANDOM % 4096)) --argjson hours $((1 + RANDOM % 12)) \
    --arg drops "$work/Drops" --argjson age $((24 + RANDOM % 96)) \
    '{id: $id, name: "Soak \($mem)", app_restart_rules: [{id: $rule, bundle_id: $app, trigger: "interval",
       interval_hours: $hours, restart_if_hung: true, maxMemoryMB: $mem}],
      retention_rules: [{name: "Drops", folder_path: $drops, dry_run: true, max_age_hours: $age}]}' >"$file"
  admin policy assign "$tenant" "$serial" "$file" >/dev/null && policy_changes=$((policy_changes + 1))
}

restart_server() {
  say "injecting: server restart"
  stop_pid "$fleetd_pid"
  sleep $((2 + RANDOM % 8))
  start_fleet_server
  server_restarts=$((server_restarts + 1))
}

# The server stops answering without closing anything: requests hang until their timeouts.
drop_network() {
  say "injecting: network drop"
  kill -STOP "$fleetd_pid"
  frozen=$((SECONDS + 60 + RANDOM % 120))
  network_drops=$((network_drops + 1))
}

inject() {
  touch -d "$((4 + RANDOM % 4)) days ago" "$work/Drops/IMG_$RANDOM.jpg"
  case $((RANDOM % 12)) in
  0 | 1 | 2) queue restart_app --param "bundle_id=$capture_id" ;;
  3) queue launch_app --param "bundle_id=$print_id" ;;
  4) queue quit_app --param "bundle_id=$print_id" ;;
  5) queue collect_logs --param "bundle_id=$capture_id" ;;
  6) queue report_apps ;;
  7) queue show_message --param "title=Soak" --param "message=Message $RANDOM" --param "dismissable=true" ;;
  8) queue clear_message ;;
  9) queue deploy_payload --param "payload_id=$payload_id" && payload_deploys=$((payload_deploys + 1)) ;;
  *) change_policy ;;
  esac
}

# --- samples ------------------------------------------------------------------------------

# rss_kb fds threads of one process; "0 0 0" when it is gone.
proc_figures() {
  local pid=$1
  if [ -z "$pid" ] || [ ! -r "/proc/$pid/status" ]; then echo "0 0 0"; return; fi
  local rss threads fds
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
  threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status")
  fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)
  echo "${rss:-0} $fds ${threads:-0}"
}

# CPU seconds the process has used (user and system); 0 when it is gone.
cpu_seconds() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  # After the command name: state is the first field, user and system time the 12th and 13th.
  awk -v hz="$(getconf CLK_TCK)" '{print ($12 + $13) / hz}' <<<"${stat##*) }"
}

sample() {
  local elapsed=$((SECONDS - started)) a s
  a=$(proc_figures "$agent_pid")
  s=$(proc_figures "$fleetd_pid")
  printf '%d,%.2f,%s,%s,%d,%s\n' "$elapsed" "$(awk -v t="$elapsed" -v f="$factor" 'BEGIN{print t*f/3600}')" \
    "${a// /,}" "${s// /,}" "$server_restarts" "$(cpu_seconds "$agent_pid")" >>"$results/samples.csv"
}

# --- the run ------------------------------------------------------------------------------

run() {
  local duration next_sample next_inject disruptions=() d
  duration=$(awk -v h="$hours" 'BEGIN{printf "%d", h*3600}')
  started=$SECONDS
  echo "elapsed_s,agent_hours,agent_rss_kb,agent_fds,agent_threads,fleetd_rss_kb,fleetd_fds,fleetd_threads,server_restarts,agent_cpu_s" \
    >"$results/samples.csv"
  # Server restarts and drops fall between 5 % and 60 % of the run: the rest measures the
  # server instance that is left.
  for _ in 1 2 3; do disruptions+=("restart:$((duration / 20 + RANDOM % (duration * 11 / 20)))"); done
  disruptions+=("drop:$((duration / 20 + RANDOM % (duration * 11 / 20)))")
  next_sample=0
  next_inject=$((20 + RANDOM % 30))
  while [ $((SECONDS - started)) -lt "$duration" ]; do
    local now=$((SECONDS - started))
    pid_alive "$agent_pid" || fail "the agent exited (see $work/agent.log)"
    if [ "$frozen" -gt 0 ] && [ "$SECONDS" -ge "$frozen" ]; then
      kill -CONT "$fleetd_pid"
      frozen=0
      say "network back"
    fi
    if [ "$now" -ge "$next_sample" ]; then
      sample
      next_sample=$((next_sample + sample_every))
    fi
    if [ "$frozen" -eq 0 ]; then
      for i in "${!disruptions[@]}"; do
        d=${disruptions[$i]}
        [ "$now" -ge "${d#*:}" ] || continue
        unset 'disruptions[i]'
        if [ "${d%%:*}" = restart ]; then restart_server; else drop_network; fi
        break
      done
    fi
    if [ "$now" -ge "$next_inject" ]; then
      inject
      next_inject=$((now + 15 + RANDOM % 30))
    fi
    sleep 1
  done
  [ "$frozen" -eq 0 ] || kill -CONT "$fleetd_pid"
  say "Run over; waiting up to 3 min for the last commands' answers"
  wait_for 180 all_answered || true
  sample
}

unanswered() {
  local listing id
  listing=$(admin command list "$serial")
  for id in "${queued[@]}"; do
    awk -F'\t' -v id="$id" '$1 == id && $6 != "-" {found = 1} END {exit !found}' <<<"$listing" || echo "$id"
  done
}
all_answered() { [ -z "$(unanswered)" ]; }

# --- verdicts -----------------------------------------------------------------------------

# Loops of the agent and the file and function its sleep sits in: each ticks while it runs.
loops() {
  cat <<'EOF'
heartbeat	heartbeat/Heartbeat.cpp	900
credential scan	app/WardenHeartbeatManager.cpp	3600
watchdog	app/VeskWardenApp.cpp	60
command poll	commands/CommandPoller.cpp:.*pollLoop	30
scheduled work	commands/CommandPoller.cpp:.*scheduled	30
telemetry	monitor/SystemMonitor.cpp	15
policy pass and sync	policy/PolicyEngine.cpp:[0-9]+ .*::start	10
update and self-update checks	updates/UpdateService.cpp:[0-9]+ .*::start	300
alert sampling	alerts/AlertService.cpp	30
retention sweeps	maintenance/FolderRetentionService.cpp:[0-9]+ .*::start	900
share checks	maintenance/NetworkShareMonitor.cpp:[0-9]+ .*::start	60
EOF
}

verdicts() {
  local end_clock checks="$results/summary.csv" fails=0
  end_clock=$(date +%s)
  echo "check,value,limit,verdict" >"$checks"
  row() { # name value limit ok
    local verdict=PASS
    [ "$4" = 1 ] || { verdict=FAIL; fails=$((fails + 1)); }
    printf '%-38s %-26s %-22s %s\n' "$1" "$2" "$3" "$verdict"
    printf '"%s","%s","%s",%s\n' "$1" "$2" "$3" "$verdict" >>"$checks"
  }
  # Memory: three samples from the end of the warm-up against the last three, so one sample's
  # noise cannot decide; the server from five minutes into its last start.
  local figures
  figures=$(python3 - "$results/samples.csv" "$warmup" <<'EOF'
import csv, statistics, sys
rows = [{k: float(v) for k, v in r.items()} for r in csv.DictReader(open(sys.argv[1]))]
warm = float(sys.argv[2])
def growth(key, first, last):
    a = statistics.mean(r[key] for r in first); b = statistics.mean(r[key] for r in last)
    return a, b, 100.0 * (b - a) / a if a else 0.0
restarts = rows[-1]["server_restarts"]
last_start = min(r["elapsed_s"] for r in rows if r["server_restarts"] == restarts)
# Descriptors and threads come and go with the work in hand (a request, a pool thread), so
# flat means the peak of the second half of the measured samples is at most two above the
# first half's.
def peaks(key, measured):
    half = len(measured) // 2
    return max(r[key] for r in measured[:max(half, 1)]), max(r[key] for r in measured[half:])
out = []
for who, start, rows_of in (("agent", warm, rows), ("fleetd", last_start + 300, [r for r in rows if r["server_restarts"] == restarts])):
    measured = [r for r in rows_of if r["elapsed_s"] >= start]
    if len(measured) < 2:
        out.append(f"{who} 0 0 0 0 0 0 0 0"); continue
    r0, r1, g = growth(f"{who}_rss_kb", measured[:3], measured[-3:])
    f0, f1 = peaks(f"{who}_fds", measured)
    t0, t1 = peaks(f"{who}_threads", measured)
    span = (measured[-1]["elapsed_s"] - measured[0]["elapsed_s"]) / 60
    out.append(f"{who} {r0:.0f} {r1:.0f} {g:.2f} {f0:.0f} {f1:.0f} {t0:.0f} {t1:.0f} {span:.0f}")
print("\n".join(out))
EOF
)
  local who r0 r1 g f0 f1 t0 t1 span
  say "Verdicts"
  while read -r who r0 r1 g f0 f1 t0 t1 span; do
    row "$who RSS growth ($span min measured)" "${r0} -> ${r1} kB (${g} %)" "< 5 %" \
      "$(awk -v g="$g" -v s="$span" 'BEGIN{print (s > 0 && g < 5) ? 1 : 0}')"
    row "$who open descriptors (peaks)" "$f0 -> $f1" "<= first half + 2" "$([ "$span" -gt 0 ] && [ "$f1" -le $((f0 + 2)) ] && echo 1 || echo 0)"
    row "$who threads (peaks)" "$t0 -> $t1" "<= first half + 2" "$([ "$span" -gt 0 ] && [ "$t1" -le $((t0 + 2)) ] && echo 1 || echo 0)"
  done <<<"$figures"

  # A loop is running when its last tick is within three of its (scaled) periods, and never
  # less than two minutes: a pass may wait out a request timeout.
  local name pattern period last age limit stamp
  while IFS=$'\t' read -r name pattern period; do
    stamp=$({ grep -E "soak: tick $pattern" "$work/agent.log" || true; } | tail -n1 | sed -n 's/^\[\([0-9:]*\)\].*/\1/p')
    limit=$(awk -v p="$period" -v f="$factor" 'BEGIN{l = 3 * p / f; print int(l < 120 ? 120 : l)}')
    if [ -z "$stamp" ]; then
      row "loop: $name" "never ticked" "< ${limit} s ago" 0
      continue
    fi
    age=$(((end_clock - $(date -d "$stamp" +%s) + 86400) % 86400))
    row "loop: $name" "last tick ${age} s ago" "< ${limit} s ago" "$([ "$age" -lt "$limit" ] && echo 1 || echo 0)"
  done < <(loops)

  local missing
  missing=$(unanswered | tr '\n' ' ')
  row "commands answered" "$((${#queued[@]} - $(wc -w <<<"$missing"))) of ${#queued[@]}" "all" \
    "$([ -z "$missing" ] && echo 1 || echo 0)"
  [ -z "$missing" ] || say "unanswered commands: $missing"
  local kinds="" k
  for k in "${!injected[@]}"; do kinds+="$k ${injected[$k]}, "; done
  say "Injected: ${kinds}policy changes $policy_changes, payload deploys $payload_deploys, server restarts $server_restarts, network drops $network_drops"
  say "Ran $(((SECONDS - started) / 60)) min = $(awk -v t=$((SECONDS - started)) -v f="$factor" 'BEGIN{printf "%.1f", t*f/86400}') agent days; samples in $results/samples.csv"
  return $((fails > 0))
}

main() {
  trap cleanup EXIT
  trap 'exit 130' INT TERM
  ensure_build
  command -v jq >/dev/null && command -v curl >/dev/null && command -v zip >/dev/null ||
    fail "jq, curl and zip are needed; scripts/install-deps.sh installs them"
  set_up
  run
  verdicts
}

main
