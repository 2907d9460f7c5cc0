#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, then the fuzz targets.
# Fails should the tests change the machine's default printer or its printer queues.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build}

# What the machine's CUPS says of its default printer and queues, or why it cannot say:
# with no scheduler running, lpstat complains and fails, and that is recorded too.
printers() {
  command -v lpstat >/dev/null || return 0
  local option
  for option in -d -v; do
    local status=0
    printf '$ lpstat %s\n' "$option"
    lpstat "$option" 2>&1 || status=$?
    printf '(exit %s)\n' "$status"
  done
}

bash "$root/scripts/install-deps.sh" test
# CORVANE_DEBUG_INFO=-g1 keeps only the line tables (what a backtrace needs), as CI does.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 ${CORVANE_DEBUG_INFO:--g} -DNDEBUG"
cmake --build "$build" --parallel

printers_before=$(printers)
status=0
# The tests are made to pass two at a time.
(cd "$build" && ctest --output-on-failure --timeout 300 -j 2) || status=$?
printers_after=$(printers)
if [ "$printers_after" != "$printers_before" ]; then
  echo "test: the tests changed the machine's printers; restore them by hand." >&2
  echo "Before:" >&2
  echo "$printers_before" >&2
  echo "After:" >&2
  echo "$printers_after" >&2
  exit 1
fi
[ "$status" -eq 0 ] || exit "$status"
bash "$root/scripts/fuzz.sh"
