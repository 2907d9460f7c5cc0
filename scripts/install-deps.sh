#!/usr/bin/env bash
# Installs the Debian 12 packages the panel needs:
#   install-deps.sh run    building it and running it beside the simulated pump
#   install-deps.sh test   that and everything the tests need (the default)
# Safe to run again: only what is missing is installed, and the package lists are renewed
# only then.
set -euo pipefail

mode=${1:-test}

run_packages=(
  build-essential cmake ninja-build
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev libgl-dev
  # The MQTT client the panel publishes with, and OpenSSL for the TLS context it is handed.
  libmosquitto-dev libssl-dev
  # Remote control over SiLA 2: gRPC and Protocol Buffers, the compilers of the features'
  # .proto files, and openssl, which makes the server's certificate at its first start.
  libgrpc++-dev libprotobuf-dev protobuf-compiler protobuf-compiler-grpc openssl
  # lrelease builds the translations.
  qt6-l10n-tools
  fonts-wqy-zenhei fonts-dejavu-core qt6-translations-l10n
  # The headless run: Xvfb, and xdotool for opening the port and the screenshot.
  xvfb xauth xdotool
)

test_packages=(
  adwaita-qt6 desktop-file-utils dpkg-dev
  # The print tests start a CUPS scheduler of their own (no system queue is added); pdftopdf
  # makes the PDF its queue writes, poppler-utils reads it back.
  cups-daemon cups-client cups-filters-core-drivers poppler-utils
  clang-14 libclang-rt-14-dev
  python3
  # The remote-control test's own SiLA 2 client, with stubs generated at build time.
  python3-grpcio python3-protobuf
  # A session bus of the test's own for the desktop notification.
  dbus-daemon
  # The monitoring tests: their own broker (below) and its command-line clients, and openssl
  # for the certificates of its TLS listener. The broker's libraries; the broker itself is not
  # installed as a package, whose service would start on the machine.
  mosquitto-clients openssl libcjson1 libdlt2 libwrap0 libmosquitto1
  # The package tests.
  debhelper lintian help2man appstream fakeroot
  # CI's compiler cache, kept on the machine between its runs.
  ccache
)

case "$mode" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
updated=0
if [ ${#missing[@]} -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get update -qq
  updated=1
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The monitoring tests start a broker of their own: the mosquitto program unpacked from its
# package into the checkout (.deps/), as the package would start a system service.
if [ "$mode" = test ]; then
  root=$(cd "$(dirname "$0")/.." && pwd)
  broker=$root/.deps/mosquitto/usr/sbin/mosquitto
  if [ ! -x "$broker" ] && [ ! -x /usr/sbin/mosquitto ]; then
    [ "$updated" -eq 1 ] || "${sudo_cmd[@]}" apt-get update -qq
    download=$(mktemp -d)
    chmod 755 "$download" # apt downloads as its own user
    (cd "$download" && apt-get download -qq mosquitto)
    mkdir -p "$root/.deps/mosquitto"
    dpkg-deb -x "$download"/mosquitto_*.deb "$root/.deps/mosquitto"
    rm -rf "$download"
  fi
fi
