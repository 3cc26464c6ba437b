#!/usr/bin/env bash
# Runs each fuzz target of a fuzz build (make fuzz) for SECONDS, one after the other, from
# the seed corpus in tests/fuzz/corpus. New inputs and crashers go under BUILD/fuzz-work;
# the seeds are only read. Prints executions and coverage per target; exits 1 on a crash.
#   scripts/run-fuzz.sh BUILD SECONDS [TARGET...]
set -uo pipefail

build=${1:-build-fuzz}
seconds=${2:-60}
shift 2 2>/dev/null || shift $#
root=$(cd "$(dirname "$0")/.." && pwd)
seeds=$root/tests/fuzz/corpus
work=$build/fuzz-work
status=0

printf '%-17s %8s %11s %9s %6s %6s  %s\n' target seconds executions execs/s cov ft result
for bin in "$build"/fuzz/fuzz_*; do
  name=${bin##*/fuzz_}
  if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then
    continue
  fi
  mkdir -p "$work/$name/corpus" "$work/$name/crashes"
  log=$work/$name/log
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$bin" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/$name/crashes/" "$work/$name/corpus" "$seeds/$name" >"$log" 2>&1
  rc=$?
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  executions=$(grep -oP 'stat::number_of_executed_units:\s*\K[0-9]+' "$log" || echo "-")
  rate=$(grep -oP 'stat::average_exec_per_sec:\s*\K[0-9]+' "$log" || echo "-")
  cov=$(grep -oP 'cov: \K[0-9]+' <<<"$last" || echo "-")
  ft=$(grep -oP 'ft: \K[0-9]+' <<<"$last" || echo "-")
  result=ok
  if [ $rc -ne 0 ]; then
    result="CRASH (see $log, $work/$name/crashes/)"
    status=1
  fi
  printf '%-17s %8s %11s %9s %6s %6s  %s\n' "$name" "$seconds" "$executions" "$rate" "$cov" "$ft" "$result"
done
exit $status
