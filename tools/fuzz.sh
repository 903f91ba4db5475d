#!/usr/bin/env bash
# A longer fuzzing session than the minute each target gets in the test suite.
# Usage: tools/fuzz.sh TARGET [seconds] [libFuzzer options...]
#   TARGET: fuzz_lineprotocol, fuzz_settingsstore or fuzz_settingsvalues
#   (600 seconds by default; e.g. -jobs=2 -workers=2, or -fork=2 -ignore_crashes=1 to go on
#   past a failure and collect every failing input)
# The corpus lives in build/fuzz/long/<target>/corpus and grows from one session to the next;
# failing inputs land next to it as crash-*, leak-*, timeout-* or oom-*. Reproduce one with
#   build/fuzz/tests/fuzz/<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: tools/fuzz.sh TARGET [seconds] [options...]}
seconds=${2:-600}
shift $(($# < 2 ? $# : 2))
case $target in
fuzz_lineprotocol | fuzz_settingsstore | fuzz_settingsvalues) ;;
*)
    echo "fuzz.sh: unknown target $target" >&2
    exit 2
    ;;
esac

tools/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

work=build/fuzz/long/$target
mkdir -p "$work/corpus"
for seed in tests/fuzz/corpus/"$target"/*; do
    [ -e "$work/corpus/${seed##*/}" ] || cp "$seed" "$work/corpus/"
done
# The fuzzers' temporary files go to a folder of this session's own, in memory where
# possible: every settings save is synced to disk.
parent=${TMPDIR:-/tmp}
[ -w /dev/shm ] && parent=/dev/shm
scratch=$(mktemp -d -p "$parent" brindora-fuzz.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
TMPDIR=$scratch build/fuzz/tests/fuzz/"$target" "$work/corpus" -max_total_time="$seconds" \
    -max_len=8192 -print_final_stats=1 -artifact_prefix="$work/" "$@"
