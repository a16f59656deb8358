#!/usr/bin/env bash
# `make bench`: the Google Benchmark programs, then the program's own --bench
# on the default world.
set -euo pipefail
build_dir=${1:-build}
"$build_dir/bench/ef2_bench" --benchmark_counters_tabular=true
echo
echo "emberfall2 --headless --steps 1000 --bench:"
"$build_dir/emberfall2" --headless --steps 1000 --bench | tail -n 1
