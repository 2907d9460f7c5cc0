#!/usr/bin/env bash
# Usage: check-package.sh BUILD_DIR VERSION
# Makes the .deb with CPack, checks what it declares, unpacks it into a scratch root, validates
# the desktop entry and starts the program its Exec line names under Xvfb until its window shows.
set -euo pipefail
build=$1
version=$2
caption='^Corvane\(KMW7R35\)V2\.0$'

scratch=$(mktemp -d)
panel_pid=
xvfb_pid=
cleanup() {
    set +e
    if [ -n "$panel_pid" ]; then
        kill -KILL "$panel_pid" 2>/dev/null
        wait "$panel_pid" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$scratch/out" --config CPackConfig.cmake >"$scratch/cpack.log" 2>&1) ||
    { cat "$scratch/cpack.log" >&2; fail "cpack did not make the package"; }
debs=("$scratch"/out/*.deb)
{ [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ]; } || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}

[ "$(dpkg-deb -f "$deb" Package)" = corvane-panel ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"
for field in Maintainer Description Architecture; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "empty $field"
done

# The first alternative of every dependency, without its version.
mapfile -t depends < <(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/ //g')
for need in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 \
    libqt6printsupport6 qt6-qpa-plugins fonts-wqy-zenhei; do
    printf '%s\n' "${depends[@]}" | grep -qx "$need" || fail "Depends lacks $need: ${depends[*]}"
done
# Every declared name is a real package: the panel runs here on exactly those.
for dep in "${depends[@]}"; do
    dpkg-query -W "$dep" >/dev/null 2>&1 || fail "declared dependency $dep is not an installed package"
done

root=$scratch/root
dpkg -x "$deb" "$root"
desktop=$root/usr/share/applications/corvane-panel.desktop
[ -f "$desktop" ] || fail "no desktop entry at $desktop"
# Hints count too: an entry without a main category lands in a catch-all menu.
complaints=$(desktop-file-validate "$desktop" 2>&1) || true
[ -z "$complaints" ] || fail "desktop entry: $complaints"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/32x32/apps/$icon.png" ] || fail "icon $icon is not installed"

export PATH=$root/usr/bin:$PATH
[ "$(command -v corvane-pumpsim)" = "$root/usr/bin/corvane-pumpsim" ] || fail "corvane-pumpsim not installed"
corvane-pumpsim --version | grep -q "$version" || fail "installed corvane-pumpsim --version"

# The Exec line without its field codes (%f, %U, ...), as a launcher runs it.
read -ra command <<<"$(sed -n 's/^Exec=//p' "$desktop")"
for i in "${!command[@]}"; do
    [[ ${command[$i]} == %? ]] && unset "command[$i]"
done
[ "$(command -v "${command[0]}")" = "$root/usr/bin/${command[0]##*/}" ] ||
    fail "Exec=${command[*]} does not run the packaged program"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$scratch/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$scratch/xvfb.log")"
    sleep 0.1
done
[ -s "$scratch/display" ] || fail "Xvfb gave no display"
DISPLAY=:$(cat "$scratch/display")
export DISPLAY

mkdir -m 700 "$scratch/home" "$scratch/run"
env -u LD_LIBRARY_PATH -u QT_QPA_PLATFORM -u QT_PLUGIN_PATH -u WAYLAND_DISPLAY \
    HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" "${command[@]}" >"$scratch/panel.log" 2>&1 &
panel_pid=$!
window=$(timeout 30 xdotool search --sync --name "$caption" | head -n 1) ||
    fail "no window captioned $caption: $(cat "$scratch/panel.log")"
[ "$(xdotool getwindowpid "$window")" = "$panel_pid" ] || fail "the window is not the started program's"

kill -TERM "$panel_pid"
for _ in $(seq 100); do
    kill -0 "$panel_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$panel_pid" 2>/dev/null && fail "the panel did not end on SIGTERM"
wait "$panel_pid" || true
panel_pid=
echo "packaging: $(basename "$deb") installs, validates and starts"
