#!/usr/bin/env bash
# Starts or stops a private PulseAudio daemon for tests and for a look at the program, on a socket
# in a private runtime folder, with the devices of scripts/test-devices.sh (a null sink to play
# into, and two microphones fed a 440 Hz and a 200 Hz tone in real time).
#   eval "$(scripts/pulse-private.sh start DIR)"   # prints the exports for PULSE_SERVER etc.
#   scripts/pulse-private.sh stop DIR
set -euo pipefail
cmd=${1:?start|stop}
dir=${2:?runtime folder}
case "$cmd" in
  start)
    mkdir -p "$dir/runtime" "$dir/home"
    chmod 700 "$dir/runtime"
    cat > "$dir/pulse.pa" <<PA
load-module module-native-protocol-unix socket=$dir/runtime/native auth-anonymous=1
PA
    XDG_RUNTIME_DIR="$dir/runtime" HOME="$dir/home" \
      pulseaudio -n --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes --log-target=file:"$dir/pulse.log" \
      --disallow-exit=no -F "$dir/pulse.pa" >/dev/null 2>&1 || true
    for _ in $(seq 1 50); do
      [ -S "$dir/runtime/native" ] && PULSE_SERVER="unix:$dir/runtime/native" pactl info >/dev/null 2>&1 && break
      sleep 0.1
    done
    if ! PULSE_SERVER="unix:$dir/runtime/native" pactl info >/dev/null 2>&1; then
      echo "The private PulseAudio daemon did not start; see $dir/pulse.log" >&2
      exit 1
    fi
    PULSE_SERVER="unix:$dir/runtime/native" "$(dirname "$0")/test-devices.sh" start "$dir" 20
    echo "export PULSE_SERVER=unix:$dir/runtime/native"
    ;;
  stop)
    PULSE_SERVER="unix:$dir/runtime/native" "$(dirname "$0")/test-devices.sh" stop "$dir" || true
    if [ -f "$dir/runtime/pulse/pid" ]; then kill "$(cat "$dir/runtime/pulse/pid")" 2>/dev/null || true; fi
    PULSE_SERVER="unix:$dir/runtime/native" pactl exit 2>/dev/null || true
    ;;
esac
