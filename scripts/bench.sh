#!/usr/bin/env bash
# `make bench`: the table of the physics step (written to bench/RESULTS.md and
# quoted in README.md between its step-table markers), then the other Google
# Benchmark programs, then the program's own --bench on the default world.
#
# STEP_TABLE_ARGS passes options to ef2_step_table (for example
# "--rounds 9 --seconds 0.5", or "--only fire,many-rules" for a quick look:
# a partial run leaves RESULTS.md and the README alone).
set -euo pipefail
build_dir=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
table_args=${STEP_TABLE_ARGS:-}

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)
cpu="${cpu:-unknown CPU}, $(nproc) cores"
committed="$build_dir/bench/committed-RESULTS.md"
quote="$build_dir/bench/step-table.md"
# Ratios are compared with the committed table, not with the last local run.
git -C "$root" show HEAD:bench/RESULTS.md >"$committed" 2>/dev/null || cp "$root/bench/RESULTS.md" "$committed" 2>/dev/null || : >"$committed"

if [[ "$table_args" == *--only* ]]; then
    # shellcheck disable=SC2086
    "$build_dir/bench/ef2_step_table" --cpu "$cpu" --committed "$committed" $table_args
else
    # shellcheck disable=SC2086
    "$build_dir/bench/ef2_step_table" --cpu "$cpu" --committed "$committed" \
        --results "$root/bench/RESULTS.md" --quote "$quote" $table_args
    awk -v quote="$quote" '
        /<!-- step-table:end -->/ { skipping = 0 }
        !skipping { print }
        /<!-- step-table:begin -->/ { while ((getline line < quote) > 0) print line; skipping = 1 }
    ' "$root/README.md" >"$root/README.md.new"
    mv "$root/README.md.new" "$root/README.md"
    echo "Wrote bench/RESULTS.md and the README's step table."
fi

echo
"$build_dir/bench/ef2_bench" --benchmark_filter=-Step/ --benchmark_counters_tabular=true
echo
echo "emberfall2 --headless --steps 1000 --bench:"
"$build_dir/emberfall2" --headless --steps 1000 --bench | tail -n 1
