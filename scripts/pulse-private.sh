#!/usr/bin/env bash
# Starts or stops a private PulseAudio daemon for tests and for a look at the program:
# a null sink, a 440 Hz sine source and a 200 Hz one, on a socket in a private runtime folder.
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
load-module module-null-sink sink_name=tarno_null sink_properties=device.description=Null_Output
load-module module-sine-source source_name=tarno_sine rate=44100 frequency=440
load-module module-sine-source source_name=tarno_sine200 rate=44100 frequency=200
set-default-sink tarno_null
set-default-source tarno_sine
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
    echo "export PULSE_SERVER=unix:$dir/runtime/native"
    ;;
  stop)
    if [ -f "$dir/runtime/pulse/pid" ]; then kill "$(cat "$dir/runtime/pulse/pid")" 2>/dev/null || true; fi
    PULSE_SERVER="unix:$dir/runtime/native" pactl exit 2>/dev/null || true
    ;;
esac
