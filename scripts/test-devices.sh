#!/usr/bin/env bash
# The devices the live tests and benchmarks use, on whichever server PULSE_SERVER names:
#   Null_Output (sink "tarno_null", the default sink) to play into;
#   Mic_440_Hz and Mic_200_Hz (sinks "mic" and "mic200"), each fed a tone in real time by a
#   playback stream, so that their monitors pace like a real microphone. "mic.monitor" becomes
#   the default source.
#   scripts/test-devices.sh start DIR [MS]   # returns once the monitors deliver steadily
#   scripts/test-devices.sh stop DIR
# MS is the feeders' buffer (default 200): short, the sink renders in short blocks, as a real
# device does; PipeWire's pulse layer underruns a feeder below about 100 ms.
set -euo pipefail
cmd=${1:?start|stop}
dir=${2:?folder for the pid files and logs of the feeders}
latency=${3:-200}
: "${PULSE_SERVER:?PULSE_SERVER names the server}"

sink() { # name, description
  pactl load-module module-null-sink sink_name="$1" sink_properties=device.description="$2" >/dev/null
}

# A tone into a sink at the sink's own pace, for a day. The feeder runs in its own process group
# (setsid) so that stop can end the pipeline as a whole.
feed() { # sink, Hz
  setsid bash -c "sox -q -n -t raw -r 44100 -c 2 -b 16 -e signed - synth 86400 sine $2 vol 0.5 |
    pacat --server='$PULSE_SERVER' --device=$1 --raw --format=s16le --rate=44100 --channels=2 \
      --latency-msec=$latency --client-name=tarno-test-$1" </dev/null >"$dir/feed-$1.log" 2>&1 &
  echo $! >"$dir/feed-$1.pid"
}

case "$cmd" in
  start)
    mkdir -p "$dir"
    sink tarno_null Null_Output
    sink mic Mic_440_Hz
    sink mic200 Mic_200_Hz
    pactl set-default-sink tarno_null
    pactl set-default-source mic.monitor
    feed mic 440
    feed mic200 200
    # A monitor hands out short counts for about the first second after its feeder starts.
    for _ in $(seq 1 50); do
      [ "$(pactl list short sink-inputs | grep -c .)" -ge 2 ] && break
      sleep 0.1
    done
    sleep 2
    if [ "$(pactl list short sink-inputs | grep -c .)" -lt 2 ]; then
      echo "The test microphones' feeders did not start; see $dir/feed-*.log" >&2
      exit 1
    fi
    ;;
  stop)
    for f in "$dir"/feed-*.pid; do
      [ -f "$f" ] || continue
      kill -- -"$(cat "$f")" 2>/dev/null || true
      rm -f "$f"
    done
    ;;
esac
