#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer in its own
# build directory and runs every test there. The first report of either fails the test that
# made it, and so does a leak unless it lies inside a third-party library listed in lsan.supp.
#   sanitize.sh          build, then test (the default)
#   sanitize.sh build    only build
#   sanitize.sh test     only run the tests of a build made before
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_ASAN_BUILD_DIR:-$root/build-asan}
jobs=${CORVANE_JOBS:-2}
step=${1:-all}
case "$step" in
  all | build | test) ;;
  *)
    echo "usage: $0 [build|test]" >&2
    exit 2
    ;;
esac

if [ "$step" != test ]; then
  bash "$root/scripts/install-deps.sh"
  flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  # -O1, as the sanitizers' authors advise, and line tables (-g1) for the reports' stack
  # traces: the build takes half the time of -O2 -g and the reports name the same lines.
  # The benchmarks are not run here, so they are not built.
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCORVANE_BENCHMARKS=OFF
  cmake --build "$build" --parallel "$jobs"
fi
[ "$step" != build ] || exit 0

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
cd "$build"
# The packages are built from the sources with the distribution's flags, not these: their test
# has run in the test command already. The tests are made to pass two at a time.
ctest --output-on-failure --timeout 300 -j 2 -E '^packaging$'
