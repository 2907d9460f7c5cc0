#!/usr/bin/env bash
# Builds the libFuzzer targets in a clang build of their own and runs each for a bounded number
# of inputs, starting from a copy of its committed corpus (the corpus itself is left as it is).
# A crash, a sanitizer report or a broken promise fails the script; the input that did it is
# kept under the build directory's fuzz-artifacts/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_FUZZ_BUILD_DIR:-$root/build-fuzz}
runs=${CORVANE_FUZZ_RUNS:-200000}
jobs=${CORVANE_JOBS:-2}
targets=(fuzz_framereader fuzz_numbertext fuzz_keypad)

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 -DCORVANE_FUZZ=ON >/dev/null
cmake --build "$build" --parallel "$jobs" --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

for target in "${targets[@]}"; do
  cp -r "$root/tests/fuzz/corpus/$target" "$work/$target"
  echo "== $target: $runs runs"
  if ! "$build/tests/fuzz/$target" -runs="$runs" -max_len=1024 -timeout=10 \
    -artifact_prefix="$artifacts/$target-" -print_final_stats=1 "$work/$target" \
    >"$work/$target.log" 2>&1; then
    cat "$work/$target.log"
    echo "fuzz.sh: $target failed; the input is in $artifacts" >&2
    exit 1
  fi
  grep -E '^Done |stat::number_of_executed_units|stat::average_exec_per_sec' "$work/$target.log"
done
echo "fuzz.sh: ${#targets[@]} targets, $runs runs each, no finding"
