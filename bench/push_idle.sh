#!/usr/bin/env bash
# vesk-fleetd holding 10,000 idle push channels: its resident memory and a normal command poll's
# answer time (target: under 1 s). The client program opens every channel as an agent does; both
# it and the server need a descriptor per channel, so the open-file limit goes up first.
#
#   bench/push_idle.sh [fleetd_push_idle binary]   (default: build-bench/bench/fleetd_load/fleetd_push_idle)
#   PUSH_CHANNELS=10000 PUSH_POLL_SECONDS=70 bench/push_idle.sh
set -euo pipefail
client=${1:-build-bench/bench/fleetd_load/fleetd_push_idle}
channels=${PUSH_CHANNELS:-10000}
[ -x "$client" ] || { echo "push_idle: no fleetd_push_idle at $client" >&2; exit 1; }
ulimit -n "$(ulimit -Hn)"
if [ "$(ulimit -n)" -lt $((channels + 200)) ]; then
  echo "push_idle: the hard open-file limit $(ulimit -Hn) is below $((channels + 200)); raise it (limits.conf)" >&2
  exit 1
fi
exec "$client" --channels "$channels" --poll-seconds "${PUSH_POLL_SECONDS:-70}"
