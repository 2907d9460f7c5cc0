#!/usr/bin/env bash
# Usage: check-package.sh SOURCE_DIR VERSION
# Builds the Debian packages with debhelper from a copy of the source tree, runs lintian on them,
# checks what they declare and that apt could install them, unpacks them into a scratch root,
# validates the desktop entry, the AppStream metadata and the man pages, and starts the program
# the entry's Exec line names under Xvfb until its window shows.
set -euo pipefail
# The packages are built as the distribution builds them, without a compiler cache CI may set.
unset CMAKE_CXX_COMPILER_LAUNCHER
source_dir=$1
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

# The tracked and new files of the checkout, without build folders: what a source package holds.
mkdir "$scratch/src"
comm -23 <(git -C "$source_dir" ls-files --cached --others --exclude-standard | sort) \
    <(git -C "$source_dir" ls-files --deleted | sort) |
    (cd "$source_dir" && tar -T - -cf -) | tar -xf - -C "$scratch/src"
(cd "$scratch/src" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc -b \
    >"$scratch/build.log" 2>&1) || { tail -n 40 "$scratch/build.log" >&2; fail "dpkg-buildpackage"; }
panel_deb=$scratch/corvane-panel_${version}_$(dpkg --print-architecture).deb
sim_deb=$scratch/corvane-pumpsim_${version}_$(dpkg --print-architecture).deb
[ -f "$panel_deb" ] && [ -f "$sim_deb" ] || fail "expected both packages, found: $(ls "$scratch")"
ls "$scratch"/corvane-panel-dbgsym_*.deb >/dev/null 2>&1 || fail "no -dbgsym package"

lintian --pedantic --info --fail-on error,warning "$scratch"/*.deb >"$scratch/lintian.log" 2>&1 ||
    { cat "$scratch/lintian.log" >&2; fail "lintian"; }
# Tags of the pedantic and information levels are told, not failed: the README lists them.
grep -E '^[PI]: ' "$scratch/lintian.log" || true

for deb in "$panel_deb" "$sim_deb"; do
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$deb: version is not $version"
    maintainer=$(dpkg-deb -f "$deb" Maintainer)
    [[ $maintainer == *@*.* && $maintainer != *.invalid* && $maintainer != *example* ]] ||
        fail "$deb: maintainer $maintainer"
done
# The first alternative of every relation, without its version.
relation() { dpkg-deb -f "$1" "$2" | tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/ //g'; }
for need in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6printsupport6 \
    fonts-wqy-zenhei; do
    relation "$panel_deb" Depends | grep -qx "$need" || fail "Depends lacks $need"
done
relation "$panel_deb" Depends | grep -qx qt6-qpa-plugins && fail "Depends names qt6-qpa-plugins"
for want in qt6-translations-l10n xdg-utils; do
    relation "$panel_deb" Recommends | grep -qx "$want" || fail "Recommends lacks $want"
done
dpkg-deb -c "$panel_deb" | grep -q pumpsim && fail "the panel's package holds the simulated pump"
# Every relation resolves on this machine's archive.
apt-get install --simulate --no-install-recommends "$panel_deb" "$sim_deb" >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log" >&2; fail "apt-get cannot install the packages"; }

root=$scratch/root
dpkg -x "$panel_deb" "$root"
dpkg -x "$sim_deb" "$root"
desktop=$root/usr/share/applications/corvane-panel.desktop
[ -f "$desktop" ] || fail "no desktop entry at $desktop"
# Hints count too: an entry without a main category lands in a catch-all menu.
complaints=$(desktop-file-validate "$desktop" 2>&1) || true
[ -z "$complaints" ] || fail "desktop entry: $complaints"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 32 48 64 128 256; do
    [ "$(file -b "$root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png" | cut -d, -f2)" = \
        " $size x $size" ] || fail "no ${size}x$size icon $icon"
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$scratch/appstream.log" 2>&1 ||
    { cat "$scratch/appstream.log" >&2; fail "AppStream metadata"; }
for program in corvane-panel corvane-pumpsim; do
    page=$(MANPATH=$root/usr/share/man man -w "$program") || fail "man -w does not find $program"
    [[ $page == "$root"/* ]] || fail "man -w $program gives $page, not the packaged page"
    MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q -- '--help' || fail "man $program does not render"
done

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
echo "packaging: $(basename "$panel_deb") and $(basename "$sim_deb") pass lintian, install, validate and start"
