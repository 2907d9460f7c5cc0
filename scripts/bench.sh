#!/usr/bin/env bash
# Builds the benchmarks and runs them: every figure beside its reference, ratio and target.
# Options go to corvane-bench, e.g. --quick for a short smoke run; --help lists them.
# `bench.sh reconnect [--cycles N ...]` runs the reconnect soak instead (an hour at its defaults).
# Run the set-up (scripts/test.sh) once first; the figures are only as quiet as the machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build}
jobs=${CORVANE_BUILD_JOBS:-$(nproc)}

# The build's progress goes to standard error, so standard output holds the figures alone.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
if [ "${1:-}" = reconnect ]; then
    shift
    cmake --build "$build" --parallel "$jobs" --target corvane-bench-reconnect >&2
    exec "$build/bench/corvane-bench-reconnect" "$@"
fi
cmake --build "$build" --parallel "$jobs" \
    --target corvane-bench corvane-bench-panelwindow corvane-bench-barewindow >&2
exec "$build/bench/corvane-bench" "$@"
