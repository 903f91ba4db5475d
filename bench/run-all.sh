#!/usr/bin/env bash
# Builds the release preset and runs every benchmark, then prints a summary.
# Usage: bench/run-all.sh [--quick]
#
# --quick is a smoke run of the benchmarks themselves (about a minute once built): fewer
# samples and runs, no waiting for a quiet machine, figures not worth keeping. Either way the
# exit status is 1 when a benchmark failed or collected nothing, naming it at the end.
#
# The machine may be shared: for a full run, before each benchmark this waits (up to two
# minutes) for the one-minute load average to drop below BENCH_MAX_LOAD (default 1.0) and
# prints the load it ran at. Everything talks to 127.0.0.1 only.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1
max_load=${BENCH_MAX_LOAD:-1.0}
build=build/release
log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT

tools/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target brindora das-sim das-chaos \
    bench_parse bench_statuslatency bench_flood bench_barewindow bench_mapwatch

samples=3000 flood=(--seconds 20) startup_runs=20 idle_seconds=60 repetitions=5 max_wait=120
if [ $quick -eq 1 ]; then
    samples=500 flood=(--seconds 3 --baseline-seconds 2) startup_runs=3 idle_seconds=5
    repetitions=1 max_wait=0
fi

wait_for_quiet() {
    local waited=0
    while awk -v max="$max_load" '{ exit !($1 >= max) }' /proc/loadavg &&
        [ $waited -lt $max_wait ]; do
        sleep 5
        waited=$((waited + 5))
    done
    echo "--- $1 (load $(cut -d' ' -f1-3 /proc/loadavg))"
}

# Runs one benchmark; one that fails or collects nothing is noted and the rest still run.
run() {
    "$@" || echo "$*" >>"$log/failed"
}

export QT_QPA_PLATFORM=offscreen
{
    wait_for_quiet "1. parsing"
    run "$build/bench/bench_parse" --benchmark_repetitions=$repetitions \
        --benchmark_enable_random_interleaving=true --benchmark_color=false
    wait_for_quiet "2. status to screen"
    run "$build/bench/bench_statuslatency" --samples $samples --reference
    run "$build/bench/bench_statuslatency" --samples $samples
    run "$build/bench/bench_statuslatency" --samples $samples --form
    wait_for_quiet "3. flood"
    run "$build/bench/bench_flood" "${flood[@]}"
    run "$build/bench/bench_flood" "${flood[@]}" --das-chaos "$build/tools/das-chaos/das-chaos"
    wait_for_quiet "4. start-up (Xvfb, xcb; without, then with a session bus)"
    run python3 bench/startup.py "$build/app/brindora" "$build/bench/bench_barewindow" \
        "$build/bench/bench_mapwatch" $startup_runs
    wait_for_quiet "5. idle"
    run python3 tools/measure-idle.py "$build/app/brindora" "$build/tools/das-sim" $idle_seconds
    run xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" env QT_QPA_PLATFORM=xcb \
        python3 tools/measure-idle.py "$build/app/brindora" "$build/tools/das-sim" $idle_seconds
} 2>&1 | grep --line-buffered -v "XDG_RUNTIME_DIR" | tee "$log/all.txt"

echo
echo "=== summary (targets: parse >= 200 MB/s; status p99 <= 2 ms; flood worst <= 50 ms;"
echo "    start-up <= 1.15 x bare with and without a bus, RSS <= bare + 4.7 MiB;"
echo "    idle <= 1 wake-up/s, no CPU)"
grep -E "^--- |^  BM_|^status to screen|^quiet|^flood|^start-up|^brindora|^bare window|^idle" \
    "$log/all.txt"

if [ -s "$log/failed" ]; then
    sed 's/^/FAILED (no figures, or it did not finish): /' "$log/failed"
    exit 1
fi
