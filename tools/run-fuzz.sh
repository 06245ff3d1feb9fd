#!/bin/sh
# Runs every fuzz harness of the "fuzz" preset for SECONDS (default 30) each, on a copy of its
# seeds, one after the other. A failing input is kept in build/fuzz/artifacts/ and the run fails;
# put that input into fuzz/regressions/<target>/ with the fix, so the normal tests replay it.
#   cmake --preset fuzz && cmake --build --preset fuzz && tools/run-fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-30}
bin=build/fuzz/bin
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"
failed=""
for harness in "$bin"/*_fuzz; do
  target=$(basename "$harness" _fuzz)
  work=$(mktemp -d)
  seeds="fuzz/corpus/$target"
  [ -d "fuzz/regressions/$target" ] && seeds="$seeds fuzz/regressions/$target"
  echo "-- $target: ${seconds} s"
  if ! "$harness" -max_total_time="$seconds" -max_len=20000 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
      "$work" $seeds >"$artifacts/$target.log" 2>&1; then
    failed="$failed $target"
    tail -n 40 "$artifacts/$target.log"
  else
    grep -E "^stat::number_of_executed_units|^Done" "$artifacts/$target.log" || true
  fi
  rm -rf "$work"
done
if [ -n "$failed" ]; then
  echo "fuzzing found failures in:$failed (inputs in $artifacts)"
  exit 1
fi
