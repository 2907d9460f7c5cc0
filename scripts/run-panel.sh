#!/usr/bin/env bash
# Installs what is missing, builds, and starts the panel beside the simulated pump, with the
# panel's port 1 wired to the pump. Choose 通信 and accept "1" to see live pressure.
# Drive d: of the record file d:\mytext.txt is the folder build/drive-d, so 文件(F) → 保存
# works out of the box. Without a display, the pair runs under Xvfb: the script opens port 1
# itself, saves a screenshot after a few polls, says where, and stops.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh" run
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel --target corvane-panel corvane-pumpsim corvane-paneldriver

pids=()
# The last started ends first, each waited for: the panel goes before the X server it draws on.
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT

headless=0
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  exec {displayfd}<> <(:)
  Xvfb -displayfd "$displayfd" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  read -r -t 20 -u "$displayfd" number
  export DISPLAY=":$number"
fi

simout=$(mktemp)
"$build/tools/pumpsim/corvane-pumpsim" --running >"$simout" &
pids+=($!)
for _ in $(seq 50); do grep -q 'listening on' "$simout" && break; sleep 0.1; done
device=$(sed -n 's/.*listening on //p' "$simout" | head -n 1)
[ -n "$device" ] || { echo "run-panel: the simulated pump did not start" >&2; exit 1; }
echo "Simulated pump on $device, mapped to the panel's port 1."
drive="$build/drive-d"
mkdir -p "$drive"
echo "Drive d: is $drive: 文件(F) → 保存 writes $drive/mytext.txt."

if [ "$headless" -eq 0 ]; then
  "$build/app/corvane-panel" --port "1=$device" --drive "d=$drive"
  exit 0
fi

QT_QPA_PLATFORM=xcb "$build/app/corvane-panel" --port "1=$device" --drive "d=$drive" &
pids+=($!)
driver="$build/tools/paneldriver/corvane-paneldriver"
if ! QT_QPA_PLATFORM=xcb "$driver" open-port 1; then
  echo "run-panel: could not open port 1 through the panel's 通信 menu" >&2
  exit 1
fi
sleep 10
mkdir -p "$build/screenshots"
shot="$build/screenshots/run-panel.png"
if ! QT_QPA_PLATFORM=xcb "$driver" screenshot "$shot"; then
  echo "run-panel: could not take the screenshot" >&2
  exit 1
fi
echo "No display: the panel ran under Xvfb with live pressure; screenshot saved to $shot"
