#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a while.
#
#   scripts/fuzz-run.sh BUILD_DIR SECONDS [RUNS] [SEED]
#
# Each target starts from its seeds in tests/fuzz/<target>/ (never written
# to) and keeps what it learns in BUILD_DIR/fuzz-corpus/<target>/. It stops
# after SECONDS, or after RUNS inputs when RUNS is given (with a fixed SEED
# the run is then the same every time, which is what CI uses). An input that
# crashes, leaks or trips a sanitizer is written to
# BUILD_DIR/fuzz-artifacts/<target>/ and the script fails; after the fix,
# copy the input into tests/fuzz/<target>/ so the test suite replays it.
set -uo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:?usage: fuzz-run.sh BUILD_DIR SECONDS [RUNS] [SEED]}
seconds=${2:?usage: fuzz-run.sh BUILD_DIR SECONDS [RUNS] [SEED]}
runs=${3:-}
seed=${4:-0}
targets_file="$build_dir/fuzz-targets.txt"
[ -f "$targets_file" ] || { echo "fuzz-run: no fuzz build in $build_dir (run make fuzz)"; exit 2; }
# The targets work in scratch folders of their own: every path they get is absolute.
build_dir=$(cd "$build_dir" && pwd)
seeds_dir=$(pwd)/tests/fuzz

# Triggers may nest 2,000 deep, and sanitized frames are large.
ulimit -s 65536 2>/dev/null || true

failed=()
while read -r target; do
  [ -n "$target" ] || continue
  corpus="$build_dir/fuzz-corpus/$target"
  artifacts="$build_dir/fuzz-artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  options=(-max_total_time="$seconds" -seed="$seed" -timeout=120 -rss_limit_mb=6144
           -print_final_stats=1 -artifact_prefix="$artifacts/")
  [ -n "$runs" ] && options+=(-runs="$runs")
  echo "fuzz-run: $target (${seconds} s${runs:+, $runs runs}, seed $seed)"
  if ! "$build_dir/tests/fuzz/fuzz_$target" "${options[@]}" "$corpus" "$seeds_dir/$target" \
       >"$build_dir/fuzz-$target.log" 2>&1; then
    failed+=("$target")
    echo "fuzz-run: *** $target FOUND A FAULT ***"
    grep -E "^==[0-9]+==ERROR|SUMMARY|runtime error|Test unit written" "$build_dir/fuzz-$target.log" | head -20
    echo "fuzz-run: full log: $build_dir/fuzz-$target.log; inputs: $artifacts/"
  else
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$build_dir/fuzz-$target.log" | tr '\n' ' '
    echo
  fi
done <"$targets_file"

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz-run: faults found by: ${failed[*]}"
  exit 1
fi
echo "fuzz-run: no fault found"
