#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, builds, and then either starts the application
# (`app`) or runs every test (`test`). Run it as root, or as a user who may use sudo: sudo is
# then asked only to install the missing packages, and the build stays the user's.
set -euo pipefail
mode=${1:-}
case "$mode" in app | test) ;; *) echo "usage: $0 app|test" >&2; exit 2 ;; esac
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ pkg-config libgl-dev
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-serialport-dev
    qt6-speech-dev qt6-declarative-dev qt6-speech-flite-plugin
    qt6-multimedia-dev qt6-httpserver-dev qt6-websockets-dev qtkeychain-qt6-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libqt6sql6-sqlite libqt6sql6-psql
)
# Only the tests need these: a throw-away database server, Hamlib's radio daemon, the
# validators of the desktop entry, the metainfo and the packages, and a screen reader on a
# desktop of its own with synthetic keys.
if [ "$mode" = test ]; then
    packages+=(postgresql-15 libhamlib-utils desktop-file-utils appstream lintian)
    packages+=(orca python3-pyatspi at-spi2-core dbus-x11 xvfb xdotool)
    # Another logger's ADIF reader, for the test that reads our export with it.
    packages+=(pyqso)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "$0: missing Debian packages: ${missing[*]}." \
                "Install them as root with apt-get install, or install sudo, then run this again." >&2
            exit 1
        fi
        as_root=(sudo)
    fi
    "${as_root[@]}" apt-get update
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Build and run as the invoking user when started through sudo, so the build tree and the
# settings belong to them.
as_user=()
if [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
    as_user=(sudo -u "$SUDO_USER" --preserve-env=DISPLAY,WAYLAND_DISPLAY,XDG_RUNTIME_DIR,DBUS_SESSION_BUS_ADDRESS)
fi
build=${BANDHOPPER_BUILD_DIR:-build}
# The storage tests run against PostgreSQL as well as SQLite: without a database handed in, the
# test run gets a throw-away one of its own.
if [ "$mode" = test ] && [ -z "${BANDHOPPER_TEST_POSTGRES:-}" ]; then
    exec bash tools/with-postgres.sh bash "$PWD/tools/bootstrap.sh" test
fi
jobs=$(nproc)

if [ "$mode" = app ]; then
    "${as_user[@]}" cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DBANDHOPPER_BUILD_TESTS=OFF -DBANDHOPPER_BUILD_BENCH=OFF
    "${as_user[@]}" cmake --build "$build" --target bandhopper bandhopper-cli bandhopper_sounds -j "$jobs"
    exec "${as_user[@]}" "$build/src/app/bandhopper"
fi

"${as_user[@]}" cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBANDHOPPER_BUILD_BENCH=OFF
"${as_user[@]}" cmake --build "$build" -j "$jobs"
cd "$build"
"${as_user[@]}" env QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 180
