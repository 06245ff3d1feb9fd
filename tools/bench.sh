#!/bin/sh
# Builds the program and the benchmarks in release mode (in build/bench, apart from the test
# builds), runs every benchmark and prints one table of the figures:
#   - each benchmark of bench/ with its time and its counters (the connect read's ratio to the
#     time its reports take on the wire, light frame costs, ...);
#   - the window thread's worst stall while the simulated mouse connects (vq_ui_stall);
#   - start -> window: quillet --simulate --exit-when-shown under a virtual display, from just
#     before the process starts to its first paint (median of 5 after one warm-up run);
#   - peak memory of those runs (median);
#   - idle CPU, window visible and window hidden in the tray, simulated mouse connected, over
#     SPAN seconds (default 10) after the start settled.
# Needs xvfb-run (tools/install-deps.sh). Usage: tools/bench.sh [--quick]
#   --quick  shorter benchmark runs and a 3 s idle span, for trying the script out
set -eu
cd "$(dirname "$0")/.."

SPAN=10
BENCH_ARGS=""
if [ "${1:-}" = "--quick" ]; then
  SPAN=3
  BENCH_ARGS="--benchmark_min_time=0.2"
fi
BUILD=build/bench
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
# Release at -O2, as the Windows build: at -O3 GCC 12 reports impossible overlaps inside
# std::string (-Wrestrict), which warnings-as-errors turns into a failed build.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVQ_BUILD_TESTS=OFF \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
# What the table needs (the tests stay out of this build).
targets="vq_bench vq_run_measure quillet vq_shipped_defaults"
for optional in vq_ui_stall vq_skin_images; do
  if cmake --build "$BUILD" --target help | grep -q "^$optional:"; then
    targets="$targets $optional"
  fi
done
# shellcheck disable=SC2086
cmake --build "$BUILD" -j2 --target $targets >/dev/null
BIN="$PWD/$BUILD/bin"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# One line per figure: "name<TAB>value<TAB>unit<TAB>note".
rows="$work/rows"
: >"$rows"

echo "running the benchmarks ..." >&2
# shellcheck disable=SC2086
"$BIN/vq_bench" --benchmark_format=json $BENCH_ARGS >"$work/bench.json" 2>"$work/bench.err" || {
  cat "$work/bench.err" >&2
  exit 1
}
# The JSON lists one object per benchmark, one key per line: its time and every counter.
awk -v rows="$rows" '
  function flush() {
    if (name != "") {
      printf "%s\t%.4g\t%s\t%s\n", name, time, unit, counters >> rows
    }
    name = ""; counters = ""
  }
  /"benchmarks": \[/ { inlist = 1; next }
  !inlist { next }
  /^ *\{ *$/ { flush(); next }
  {
    line = $0
    gsub(/^ +|,$/, "", line)
    split(line, kv, /": /)
    key = kv[1]; gsub(/"/, "", key)
    value = kv[2]; gsub(/"/, "", value)
    if (key == "name") name = value
    else if (key == "real_time") time = value
    else if (key == "time_unit") unit = value
    else if (key !~ /^(family_index|per_family_instance_index|run_name|run_type|repetitions|repetition_index|threads|iterations|cpu_time|aggregate_name|aggregate_unit|label|error_occurred|error_message)$/ && value ~ /^-?[0-9.e+]+$/)
      counters = counters (counters == "" ? "" : " ") key "=" sprintf("%.4g", value)
  }
  END { flush() }
' "$work/bench.json"

if [ -x "$BIN/vq_ui_stall" ]; then
  echo "measuring the window thread's stalls while the mouse connects ..." >&2
  stall=$(cd "$work" && QT_QPA_PLATFORM=offscreen "$BIN/vq_ui_stall" 2>>"$work/quillet.err" | tail -n 1)
  before=$(echo "$stall" | sed -n 's/.*thread \([0-9]*\) ms before the first paint.*/\1/p')
  after=$(echo "$stall" | sed -n 's/.*paint, \([0-9]*\) ms after it.*/\1/p')
  printf "window thread's worst stall, connect\t%s\tms\tafter the first paint (%s ms before it)\n" \
    "$after" "$before" >>"$rows"
fi

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'; }

# run_quillet N "MEASURE ARGS" "PROGRAM ARGS": from another folder, with a fresh data folder
# and instance name for every run.
run_quillet() {
  # shellcheck disable=SC2086
  (cd "$work" && QUILLET_INSTANCE_NAME="vq-bench-$$-$1" xvfb-run -a -s "-screen 0 1280x800x24" \
    "$BIN/vq_run_measure" $2 -- "$BIN/quillet" --simulate --data-dir "$work/data-$1" $3)
}

echo "starting the program 6 times ..." >&2
: >"$work/start"
for n in 0 1 2 3 4 5; do
  line=$(run_quillet "$n" start --exit-when-shown 2>>"$work/quillet.err") || {
    cat "$work/quillet.err" >&2
    exit 1
  }
  [ "$n" = 0 ] || echo "$line" >>"$work/start"  # the first run warms the caches
done
start_ms=$(sed 's/.*start_ms=\([0-9.]*\).*/\1/' "$work/start" | median)
peak_kb=$(sed 's/.*peak_kb=\([0-9]*\).*/\1/' "$work/start" | median)
main_ms=$(sed 's/.*main_ms=\([0-9.]*\).*/\1/' "$work/start" | median)
printf "start -> window (median of 5)\t%s\tms\tunder xvfb, simulated mouse, from before the process starts\n" \
  "$start_ms" >>"$rows"
printf "main() -> window (median of 5)\t%s\tms\tthe program's own figure (--exit-when-shown)\n" \
  "$main_ms" >>"$rows"
printf "peak memory (median of 5)\t%s\tMB\tmaximum resident set\n" \
  "$(awk -v kb="$peak_kb" 'BEGIN { printf "%.1f", kb / 1024 }')" >>"$rows"

echo "measuring idle CPU (2 x ${SPAN} s) ..." >&2
visible=$(run_quillet 6 "idle 4 $SPAN" "" 2>>"$work/quillet.err")
hidden=$(run_quillet 7 "idle 4 $SPAN" --hide-when-shown 2>>"$work/quillet.err")
printf "idle CPU, window visible\t%s\t%% of a core\tsimulated mouse, no preview running\n" \
  "$(echo "$visible" | sed 's/.*cpu_percent=\([0-9.]*\).*/\1/')" >>"$rows"
printf "idle CPU, window hidden\t%s\t%% of a core\tsimulated mouse, window in the tray\n" \
  "$(echo "$hidden" | sed 's/.*cpu_percent=\([0-9.]*\).*/\1/')" >>"$rows"

echo
echo "| figure | value | unit | notes |"
echo "|---|---|---|---|"
awk -F '\t' '{ printf "| %s | %s | %s | %s |\n", $1, $2, $3, $4 }' "$rows"
echo
echo "machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
  "$(awk -F ': ' '/model name/ { print $2; exit }' /proc/cpuinfo)," \
  "load average $(cut -d ' ' -f 1-3 /proc/loadavg), $(uname -sr)"
