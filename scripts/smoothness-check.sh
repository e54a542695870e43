#!/usr/bin/env bash
# Compares how smoothly two builds of the program draw the level meters and the recording time.
# Each binary runs in turn under its own Xvfb with a private PulseAudio whose default source is a
# null sink's monitor, fed a 440 Hz tone whose loudness steps and ramps (the left and right
# channels differently), started at the same moment before each run. The window is filmed at
# 50 frames a second while the keys go: record (F7) at 0 s, pause (F9) at 6 s, resume at 8 s,
# stop (F10) at 10 s; filming ends at 11.5 s. The frames are then measured: for each meter, how
# often its drawing changes, how far the lit end and the peak marker move per change, how long
# the peak holds and how fast it falls; for the time text, when each new second appears. The
# program's wake-ups while recording are counted as well.
#   scripts/smoothness-check.sh OLD_BINARY NEW_BINARY [SHOTS_DIR]
# With SHOTS_DIR, window pictures of both runs taken at the same moments after the record key (while
# recording, at the same point of the sound) are left there as smooth-before-N.png and
# smooth-after-N.png. Needs Xvfb, xdotool, ffmpeg,
# pulseaudio, pacat and python3. Prints the figures of both runs side by side. With SMOOTH_KEEP=DIR
# the films stay in DIR; `scripts/smoothness-analyse.py compare DIR/before DIR/after` measures
# them again.
set -euo pipefail
old=${1:?path of the older tarno-recorder binary}
new=${2:?path of the newer tarno-recorder binary}
shots=${3:-}
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d /tmp/smooth-check-XXXXXX)
pulse_dir="$work/pulse"
pids=()
cleanup() {
  # SMOOTH_KEEP=DIR keeps the films and key times for another look.
  if [ -n "${SMOOTH_KEEP:-}" ]; then
    mkdir -p "$SMOOTH_KEEP"
    cp "$work"/*.nut "$work"/*.keys "$SMOOTH_KEEP"/ 2>/dev/null || true
  fi
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  PULSE_SERVER="unix:$pulse_dir/runtime/native" pactl exit 2>/dev/null ||
    { [ -f "$pulse_dir/runtime/pulse/pid" ] && kill "$(cat "$pulse_dir/runtime/pulse/pid")" 2>/dev/null; } || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private sound server with nothing but the microphone made below.
mkdir -p "$pulse_dir/runtime" "$pulse_dir/home"
chmod 700 "$pulse_dir/runtime"
echo "load-module module-native-protocol-unix socket=$pulse_dir/runtime/native auth-anonymous=1" \
  >"$pulse_dir/pulse.pa"
XDG_RUNTIME_DIR="$pulse_dir/runtime" HOME="$pulse_dir/home" \
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes \
  --log-target=file:"$pulse_dir/pulse.log" -F "$pulse_dir/pulse.pa" >/dev/null 2>&1 || true
export PULSE_SERVER="unix:$pulse_dir/runtime/native"
for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null
pactl load-module module-null-sink sink_name=smooth_mic \
  sink_properties=device.description=Smooth_Mic >/dev/null
pactl set-default-source smooth_mic.monitor
pactl set-default-sink smooth_mic

python3 "$here/smoothness-analyse.py" tone "$work/tone.raw"

# Context switches of all the threads of a process: its wake-ups.
switches() { # pid
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^(non)?voluntary_ctxt_switches/{s += $2} END{print s + 0}'
}

# Runs one binary; leaves the film in $work/$name.nut and the key times in $work/$name.keys.
run() { # name binary display
  local name=$1 binary=$2 display=$3
  local home="$work/$name-home"
  mkdir -p "$home/.config" "$work/$name-runtime"
  chmod 700 "$work/$name-runtime"
  Xvfb ":$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  local xvfb=$!
  pids+=("$xvfb")
  for _ in $(seq 1 50); do xdpyinfo -display ":$display" >/dev/null 2>&1 && break; sleep 0.1; done
  DISPLAY=":$display" HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_RUNTIME_DIR="$work/$name-runtime" QT_QPA_PLATFORM=xcb "$binary" >"$work/$name.log" 2>&1 &
  local app=$!
  pids+=("$app")
  local win=""
  for _ in $(seq 1 100); do
    win=$(DISPLAY=":$display" xdotool search --onlyvisible --name '^Tarno MP3 Recorder$' 2>/dev/null | head -1) &&
      [ -n "$win" ] && break
    sleep 0.1
  done
  if [ -z "$win" ]; then
    echo "$name: the main window did not appear:" >&2
    cat "$work/$name.log" >&2
    exit 1
  fi
  sleep 2
  local x y w h
  eval "$(DISPLAY=":$display" xdotool getwindowgeometry --shell "$win" | sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=/\1=/p')"
  x=$X y=$Y w=$WIDTH h=$HEIGHT
  key() {
    DISPLAY=":$display" xdotool windowfocus --sync "$win" 2>/dev/null || true
    DISPLAY=":$display" xdotool key --window "$win" "$1"
    echo "$1 $(date +%s.%N)" >>"$work/$name.keys"
  }
  : >"$work/$name.keys"
  # The tone starts 1.5 s before the record key, the film 1 s before it.
  pacat --device=smooth_mic --raw --format=s16le --rate=44100 --channels=2 --latency-msec=200 \
    --client-name=smooth-tone "$work/tone.raw" &
  local feeder=$!
  pids+=("$feeder")
  echo "tone $(date +%s.%N)" >>"$work/$name.keys"
  sleep 0.5
  ffmpeg -v error -y -f x11grab -framerate 50 -video_size "${w}x${h}" -i ":$display+$x,$y" \
    -copyts -fps_mode passthrough -c:v rawvideo -pix_fmt rgb24 "$work/$name.nut" &
  local film=$!
  pids+=("$film")
  sleep 1
  key F7
  sleep 0.5
  echo "switches $(date +%s.%N) $(switches "$app")" >>"$work/$name.keys"
  sleep 5
  echo "switches $(date +%s.%N) $(switches "$app")" >>"$work/$name.keys"
  sleep 0.5
  key F9
  sleep 2
  key F9
  sleep 2
  key F10
  sleep 1.5
  kill -INT "$film" 2>/dev/null || true
  wait "$film" 2>/dev/null || true
  kill "$feeder" "$app" 2>/dev/null || true
  wait "$feeder" "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  echo "size ${w}x${h}" >>"$work/$name.keys"
}

run before "$old" 90
run after "$new" 91
python3 "$here/smoothness-analyse.py" compare "$work/before" "$work/after" "$shots"
