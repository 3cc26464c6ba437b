#!/usr/bin/env bash
# The loop an operator cares about, on loopback, unattended: a fleet server with a tenant,
# a machine with two of the tenant's apps, its agent paired through `vesk-warden pair -`,
# its telemetry and app list arriving at the server, an app restarted from the server, and a
# release published on the server and installed by the agent.
#
# Usage: scripts/demo.sh [BUILD_DIR]   (default: build)
# Everything lives in a fresh temporary folder that is kept for inspection. Each step is
# one function, called in order from main at the bottom; a new feature adds one step.
set -euo pipefail

build=${1:-build}
fleetd="$build/src/fleetd/vesk-fleetd"
warden="$build/src/app/vesk-warden"

readonly tenant=DEMOSHOP               # an upload account code: eight letters or digits
readonly event=DEMO-EVENT
readonly serial=DEMO-STATION-1
readonly capture_id=com.lumora.capture # started by the demo, restarted from the server
readonly print_id=com.lumora.print     # installed, not running

work=""
db=""
url=""
secret=""
fleetd_pid=""
agent_pid=""
capture_pid=""

# --- helpers ------------------------------------------------------------------------------

say() { printf '%s\n' "$*"; }

fail() {
  say "Demo failed: $*" >&2
  exit 1
}

# Shows the end of a log when a step fails, so the reason is on screen.
show_log() {
  local name=$1 file=$2
  [ -s "$file" ] || return 0
  say "--- last lines of the $name ($file):" >&2
  tail -n 15 "$file" >&2
}

# wait_for SECONDS COMMAND...: runs COMMAND every half second until it succeeds.
wait_for() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.5
  done
}

# vesk-fleetd's admin command line on the demo's database; its notes go to admin.log, and a
# failure ends the demo with vesk-fleetd's own message.
admin() {
  "$fleetd" "$@" --db "$db" 2>>"$work/admin.log" || fail "vesk-fleetd $* failed: $(tail -n1 "$work/admin.log")"
}

# The agent and its one-shot commands see this machine's folders and their own HOME.
# A fleet "restart" runs `false`: the demo never reboots the computer it runs on.
# Callers run it in the background or in a pipeline, so the exec makes $! the agent itself.
as_agent() {
  exec env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$work/agent-home" VESK_SHARED_DIR="$work/Shared" \
    VESK_APPLICATIONS="$work/Applications" VESK_RESTART_COMMAND=false \
    "$warden" --fleet-url "$url" --serial "$serial" "$@"
}

pid_alive() { kill -0 "$1" 2>/dev/null; }

# --- clean-up -----------------------------------------------------------------------------

stop_pid() {
  local pid=$1
  [ -n "$pid" ] && pid_alive "$pid" || return 0
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do pid_alive "$pid" || return 0; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  stop_pid "$agent_pid"
  # The demo's apps, whoever launched them: every process running from this demo's app folder.
  if [ -n "$work" ]; then
    local pid
    for pid in $(pgrep -f -- "$work/Applications/" || true); do stop_pid "$pid"; done
  fi
  stop_pid "$fleetd_pid"
  [ -n "$work" ] && say "The demo's files (database, logs, apps, agent home) are kept in $work"
  exit "$status"
}

# --- steps --------------------------------------------------------------------------------

make_folder() {
  [ -x "$fleetd" ] && [ -x "$warden" ] || fail "build vesk-fleetd and vesk-warden into $build first (make demo does)"
  command -v jq >/dev/null || fail "jq is missing; scripts/install-deps.sh installs it"
  work=$(mktemp -d /tmp/vesk-demo.XXXXXX)
  db="$work/fleet.db"
  say "Working in $work"
}

start_fleet_server() {
  "$fleetd" serve --listen 127.0.0.1:0 --db "$db" >"$work/fleetd.out" 2>"$work/fleetd.log" &
  fleetd_pid=$!
  wait_for 10 grep -qs '^http' "$work/fleetd.out" || { show_log "server log" "$work/fleetd.log"; fail "vesk-fleetd did not start"; }
  url=$(grep -m1 '^http' "$work/fleetd.out")
  local address=${url#http://}
  say "Started the fleet server on ${address%/api} (database $db)"
}

create_tenant() {
  admin tenant add "$tenant" >/dev/null
  admin event add "$tenant" "$event" >/dev/null
  secret=$(admin secret issue "$tenant" | cut -f2)
  [ ${#secret} -eq 64 ] || fail "vesk-fleetd did not issue a fleet secret"
  say "Created tenant $tenant with event code $event and issued its fleet secret (${secret:0:8}…)"
}

# make_app DIR ID NAME VERSION: a bundle whose executable is a shell script that stays up.
make_app() {
  local apps=$1 id=$2 name=$3 version=$4
  local bundle="$apps/$name.app"
  mkdir -p "$bundle/Contents/MacOS"
  cat >"$bundle/Contents/Info.plist" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>CFBundleIdentifier</key>
	<string>$id</string>
	<key>CFBundleName</key>
	<string>$name</string>
	<key>CFBundleShortVersionString</key>
	<string>$version</string>
	<key>CFBundleVersion</key>
	<string>1</string>
	<key>CFBundleExecutable</key>
	<string>run</string>
</dict>
</plist>
EOF
  printf '#!/bin/sh\n# %s for the demo: a process that stays up until it is told to quit.\nwhile :; do sleep 1; done\n' \
    "$name" >"$bundle/Contents/MacOS/run"
  chmod +x "$bundle/Contents/MacOS/run"
}

install_apps() {
  local apps="$work/Applications"
  make_app "$apps" "$capture_id" "Lumora Capture" 2.4.1
  make_app "$apps" "$print_id" "Lumora Print" 1.8.0
  # Started the way a person would start it; the agent recognises it by its bundle.
  "$apps/Lumora Capture.app/Contents/MacOS/run" </dev/null >/dev/null 2>&1 &
  capture_pid=$!
  say "Installed Lumora Capture and Lumora Print in $apps; started Lumora Capture (pid $capture_pid)"
}

write_credentials() {
  mkdir -p "$work/Shared/Lumora"
  printf '<credentials><kr5_account>%s</kr5_account><kr5_location>%s</kr5_location></credentials>\n' \
    "$tenant" "$event" >"$work/Shared/Lumora/credentials_Demo.xml"
  say "Wrote the machine's upload credentials naming account $tenant and event $event"
}

# A cleanup rule in the agent's own list: files older than three days leave the drop folder.
prepare_cleanup_rule() {
  local storage="$work/agent-home/.local/share/VeskWarden"
  mkdir -p "$storage" "$work/Drops"
  touch -d '5 days ago' "$work/Drops/IMG_0001.jpg" "$work/Drops/IMG_0002.jpg"
  touch "$work/Drops/IMG_0003.jpg"
  printf '[{"name": "Camera drops", "folderPath": "%s", "dryRun": false, "useTrash": false, "maxAgeHours": 72}]\n' \
    "$work/Drops" >"$storage/retention_rules.json"
  say "Gave the agent a cleanup rule for $work/Drops: two files five days old, one new"
}

# The first sweep runs as the services start.
show_cleanup() {
  wait_for 10 grep -q 'retention: Camera drops: removed' "$work/agent.log" || {
    show_log "agent log" "$work/agent.log"
    fail "the cleanup rule did not run"
  }
  say "The agent cleaned the drop folder: $(grep -m1 -o 'Camera drops: removed.*' "$work/agent.log"); left: $(ls "$work/Drops")"
}

start_agent() {
  as_agent --headless >>"$work/agent.log" 2>&1 &
  agent_pid=$!
}

# The server only pairs a machine it has heard from: the agent's first heartbeat comes first.
start_agent_and_register() {
  start_agent
  say "Started the agent for machine $serial (pid $agent_pid, log $work/agent.log)"
  wait_for 30 grep -q 'HEARTBEAT OK HTTP 200' "$work/agent.log" || {
    show_log "agent log" "$work/agent.log"
    fail "the agent's heartbeat did not reach the server within 30 s"
  }
  local row
  row=$(admin machines | grep -m1 "^$serial"$'\t') || fail "the server does not list $serial"
  say "The server lists the machine: $serial, event $(cut -f4 <<<"$row"), last seen $(cut -f5 <<<"$row")"
}

pair_machine() {
  local answer
  # The secret goes in on standard input: it never shows in `ps` or in a shell history.
  if ! answer=$(printf '%s\n' "$secret" | as_agent pair - 2>"$work/pair.log"); then
    fail "pairing was refused: $(tail -n1 "$work/pair.log")"
  fi
  say "Paired the machine with tenant $tenant through 'vesk-warden pair -': $answer"
}

# A running agent reports telemetry every minute and its app list every six; it sends both
# as it starts, so the demo restarts it once now that it is paired instead of waiting.
restart_agent() {
  say "Restarting the agent so it reports at once (on its own: telemetry within a minute, the app list within six)"
  stop_pid "$agent_pid"
  start_agent
}

telemetry_arrived() { [ -n "$(admin telemetry "$serial")" ]; }

show_telemetry() {
  wait_for 30 telemetry_arrived || { show_log "agent log" "$work/agent.log"; fail "no telemetry within 30 s"; }
  admin telemetry "$serial" | tail -n1 | jq -r '
    "Telemetry arrived at \(.received_at): OS version \(.os_version), \(.cpu_cores) CPU cores at \(.cpu_usage | floor) % use, "
    + "\(.ram_used_gb * 10 | round / 10) of \(.ram_total_gb * 10 | round / 10) GB memory in use, "
    + "\(.disk_free_gb | round) GB of \(.disk_total_gb | round) GB disk free, up \(.uptime_seconds / 3600 | floor) h.",
    "  Running apps: " + ([.running_apps[]? | "\(.name) (pid \(.pid))"] | if length == 0 then "none" else join(", ") end) + "."'
}

# Exits 1 until the first report is stored.
apps_arrived() { "$fleetd" apps "$serial" --db "$db" >/dev/null 2>&1; }

show_installed_apps() {
  wait_for 30 apps_arrived || { show_log "agent log" "$work/agent.log"; fail "no installed-apps report within 30 s"; }
  say "The installed-apps report arrived:"
  admin apps "$serial" | jq -r '"  \(.name) \(.version) (\(.bundle_id)), " + (if .is_running then "running" else "not running" end)'
}

# command_row ID: the command's line of `command list` once it has a result.
command_row() { admin command list "$serial" | awk -F'\t' -v id="$1" '$1 == id && $6 != "-"'; }
has_result() { [ -n "$(command_row "$1")" ]; }

# new_capture_pid OLD: the pid of Lumora Capture in the newest telemetry, when it is not OLD.
new_capture_pid() {
  admin telemetry "$serial" | tail -n1 |
    jq -r --arg id "$capture_id" --argjson old "$1" '.running_apps[]? | select(.bundle_id == $id and .pid != $old) | .pid'
}

restart_app_from_server() {
  local id row
  id=$(admin command queue "$serial" restart_app --param "bundle_id=$capture_id")
  say "Queued restart_app for $capture_id as command $id; the server pushes it to the agent's push channel at once (polling every 30 s is the fallback)"
  wait_for 60 has_result "$id" || { show_log "agent log" "$work/agent.log"; fail "command $id got no result within 60 s"; }
  row=$(command_row "$id")
  [ "$(cut -f6 <<<"$row")" = true ] || fail "the agent could not restart the app: $(cut -f7 <<<"$row")"
  say "The agent reported: $(cut -f7 <<<"$row")"

  # After a command the agent sends fresh reports within a second or two.
  local pid=""
  wait_for 20 eval 'pid=$(new_capture_pid "$capture_pid"); [ -n "$pid" ]' ||
    fail "no telemetry shows $capture_id running again"
  pid_alive "$capture_pid" && fail "the old Lumora Capture (pid $capture_pid) is still running"
  say "Lumora Capture runs again as pid $pid (it was pid $capture_pid), as the server's telemetry shows"
}

# A device policy saved from the shell, and this machine's set-up carried to a second account
# through the one-shot settings commands, as on a machine set up without the console.
save_policy_and_carry_settings() {
  local policy="$work/policy.json" copy="$work/Vesk Warden Settings.json" summary
  jq -n --arg id "$(cat /proc/sys/kernel/random/uuid)" --arg rule "$(cat /proc/sys/kernel/random/uuid)" \
    --arg app "$print_id" '{id: $id, name: "Front desk",
      app_restart_rules: [{id: $rule, bundle_id: $app, restart_if_hung: true, maxMemoryMB: 2048}]}' >"$policy"
  admin policy save "$tenant" "$policy" >/dev/null
  say "Saved policy: $(admin policy list "$tenant" | cut -f1,2 | tr '\t' ' ')"

  (as_agent settings export "$copy") >/dev/null 2>>"$work/admin.log" || fail "settings export failed"
  summary=$(env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$work/second-home" "$warden" settings import "$copy" \
    2>>"$work/admin.log") || fail "settings import failed: $(tail -n1 "$work/admin.log")"
  say "Carried this machine's settings to a second account: $summary"
}

push_test() {
  wait_for 20 grep -q "Push channel connected" "$work/agent.log" || fail "the agent opened no push channel"
  say "$(admin push test "$serial")"
  wait_for 10 grep -q "Push received: test" "$work/agent.log" || fail "the test push did not reach the agent"
  say "The agent received the test push over its push channel"
}

# Lumora Print 1.9.0, zipped and published on the server, which hosts and signs it; the agent
# downloads it, checks the signature against the key pinned at pairing, and swaps the bundle.
update_app_from_server() {
  local next="$work/release" archive="$work/Lumora Print 1.9.0.zip" id row version
  make_app "$next" "$print_id" "Lumora Print" 1.9.0
  (cd "$next" && zip -qry "$archive" "Lumora Print.app") || fail "could not zip Lumora Print 1.9.0"
  say "Published: $(admin release publish "$print_id" 1.9.0 "$archive" --name "Lumora Print")"
  id=$(admin command queue "$serial" update_app --param "bundle_id=$print_id")
  say "Queued update_app for $print_id as command $id"
  wait_for 30 has_result "$id" || { show_log "agent log" "$work/agent.log"; fail "command $id got no result within 30 s"; }
  row=$(command_row "$id")
  [ "$(cut -f6 <<<"$row")" = true ] || fail "the agent could not update the app: $(cut -f7 <<<"$row")"
  version=$(sed -n '/CFBundleShortVersionString/{n;s/.*<string>\(.*\)<\/string>.*/\1/p}' \
    "$work/Applications/Lumora Print.app/Contents/Info.plist")
  [ "$version" = 1.9.0 ] || fail "Lumora Print is still at version $version"
  say "The agent reported: $(cut -f7 <<<"$row"); the installed bundle says $version"
}

# The operator's console, rendered offscreen against the same server: the tenant's machine in
# the sidebar, its detail with telemetry, the policy just saved, the alerts and the settings.
console_pictures() {
  local shots="$work/console" count
  (QT_QPA_PLATFORM=offscreen as_agent console --screenshot "$shots") >>"$work/console.log" 2>&1 ||
    fail "the console could not render its screens: $(tail -n1 "$work/console.log")"
  count=$(find "$shots" -name '*.png' | wc -l)
  [ "$count" -gt 0 ] || fail "the console wrote no pictures"
  say "The console rendered $count screens into $shots: $(cd "$shots" && ls | head -4 | tr '\n' ' ')…"
}

main() {
  trap cleanup EXIT
  trap 'exit 130' INT TERM
  make_folder
  start_fleet_server
  create_tenant
  install_apps
  write_credentials
  prepare_cleanup_rule
  start_agent_and_register
  show_cleanup
  pair_machine
  restart_agent
  show_telemetry
  show_installed_apps
  restart_app_from_server
  save_policy_and_carry_settings
  push_test
  update_app_from_server
  console_pictures
  say "Demo finished: the machine is paired, reports in, and takes commands from the server."
}

main
