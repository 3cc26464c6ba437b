#!/usr/bin/env bash
# Runs every benchmark built in the given folder; each prints its own baseline and ratio.
# The 10-minute agent footprint run is left out unless BENCH_FOOTPRINT_MINUTES is set, and the
# command latency run (about 6 minutes: the agent polls every 30 s) unless BENCH_COMMAND_LATENCY is,
# and the 10,000 idle push channels (about 3 minutes) unless BENCH_PUSH_IDLE is.
set -uo pipefail
build=${1:-build-bench}
status=0
run() {
  echo "=== $*"
  "$@" || { echo "(failed: $*)"; status=1; }
}
for b in bench_installed_apps bench_system_monitor bench_payload_deploy bench_policy_pass bench_folder_retention; do
  [ -x "$build/bench/$b" ] && run "$build/bench/$b"
done
[ -x "$build/bench/bench_console" ] && run "$build/bench/bench_console"
[ -x "$build/bench/fleetd_load/fleetd_load" ] && \
  run "$build/bench/fleetd_load/fleetd_load" --agents 1000,10000 --seconds 5
[ -x "$build/src/fleetd/vesk-fleetd" ] && run "$(dirname "$0")/../bench/fleetd_wrk.sh" "$build/src/fleetd/vesk-fleetd"
if [ -n "${BENCH_FOOTPRINT_MINUTES:-}" ] && [ -x "$build/bench/bench_monitor_agent" ]; then
  run "$build/bench/bench_monitor_agent" --minutes "$BENCH_FOOTPRINT_MINUTES"
fi
if [ -n "${BENCH_COMMAND_LATENCY:-}" ] && [ -x "$build/bench/bench_command_latency" ]; then
  run "$build/bench/bench_command_latency"
fi
if [ -n "${BENCH_PUSH_IDLE:-}" ] && [ -x "$build/bench/fleetd_load/fleetd_push_idle" ]; then
  run "$(dirname "$0")/../bench/push_idle.sh" "$build/bench/fleetd_load/fleetd_push_idle"
fi
exit $status
