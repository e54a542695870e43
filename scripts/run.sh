#!/usr/bin/env bash
# Sets everything up and starts the program.
#   scripts/run.sh          start on this desktop
#   scripts/run.sh --look   start under a virtual display with a private sound server and save a
#                           screenshot (for a machine without a desktop)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh release
exe=build/app/tarno-recorder

if [ "${1:-}" = "--look" ]; then
  work=$(mktemp -d /tmp/tarno-look-XXXXXX)
  eval "$(scripts/pulse-private.sh start "$work/pulse")"; export PULSE_SERVER
  Xvfb :77 -screen 0 1024x768x24 >/dev/null 2>&1 & xpid=$!
  sleep 1
  mkdir -m 700 "$work/runtime"
  DISPLAY=:77 HOME="$work" XDG_CONFIG_HOME="$work/.config" XDG_RUNTIME_DIR="$work/runtime" "$exe" & ppid=$!
  sleep 3
  DISPLAY=:77 import -window root "$work/screenshot.png" 2>/dev/null || true
  echo "Screenshot: $work/screenshot.png (the program runs on display :77 until you press Enter)"
  read -r _ || true
  kill $ppid $xpid 2>/dev/null || true
  scripts/pulse-private.sh stop "$work/pulse"
  exit 0
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "There is no display here: start the program from a desktop session, or run 'scripts/run.sh --look' to see it under a virtual display." >&2
  exit 1
fi
if ! pactl info >/dev/null 2>&1; then
  echo "No sound server is running: log in to a desktop session with PulseAudio or PipeWire (pipewire-pulse), or run 'scripts/run.sh --look' for a private one." >&2
  exit 1
fi
exec "$exe"
