#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer in its own
# build directory and runs every test there. The first report of either fails the test that
# made it, and so does a leak unless it lies inside a third-party library listed in lsan.supp.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_ASAN_BUILD_DIR:-$root/build-asan}
jobs=${CORVANE_JOBS:-2}

bash "$root/scripts/install-deps.sh"
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags"
cmake --build "$build" --parallel "$jobs"

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
cd "$build"
# The packages are built from the sources with the distribution's flags, not these: their test
# has run in the test command already.
ctest --output-on-failure --timeout 300 -E '^packaging$'
