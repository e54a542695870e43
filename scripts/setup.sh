#!/usr/bin/env bash
# Installs every Debian package the project needs (once; later runs skip what is there), then
# configures and builds. Usage: scripts/setup.sh [release|test]
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-release}

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libpulse-dev libmp3lame-dev libvorbis-dev libogg-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libtag1-dev libjpeg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber xvfb xauth x11-utils dbus dbus-x11
  ffmpeg lame vorbis-tools sox clang clang-format-14 libclang-rt-14-dev fp-utils imagemagick
  dpkg-dev fakeroot file xdg-utils
  lintian appstream desktop-file-utils xdotool
  at-spi2-core python3-pyatspi
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
case "$mode" in
  release)
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNO_BUILD_TESTS=OFF -DTARNO_BUILD_BENCH=OFF >/dev/null
    cmake --build build -j"$jobs"
    ;;
  test)
    cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DTARNO_SANITIZE=ON -DTARNO_BUILD_BENCH=OFF >/dev/null
    cmake --build build-test -j"$jobs"
    ;;
  *) echo "usage: $0 [release|test]" >&2; exit 2 ;;
esac
