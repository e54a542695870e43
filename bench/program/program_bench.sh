#!/usr/bin/env bash
# The whole program as a user runs it: the real binary under Xvfb, the default skin, fresh
# settings, the sound server PULSE_SERVER names (its default source a steady 440 Hz tone, see
# scripts/test-devices.sh). For each state it measures, over SECONDS, the CPU share from
# /proc/PID/stat and the wake-ups per second as the sum of every thread's voluntary and
# involuntary context switches; beside it, in the same run, the command-line tools doing the
# same work: `parec | lame -b 128 -q 9` while recording, `paplay` and `ffplay -nodisp` on the
# same file while playing.
#   bench/program/program_bench.sh PROGRAM [SECONDS]
# PROGRAM is the built tarno-recorder (its skin beside it). Needs Xvfb, xdotool, parec, lame,
# paplay, ffmpeg and ffplay. Prints one table and the ratios against the targets.
set -euo pipefail
program=${1:?path of the tarno-recorder binary}
seconds=${2:-20}
: "${PULSE_SERVER:?PULSE_SERVER names the sound server}"
hz=$(getconf CLK_TCK)

work=$(mktemp -d /tmp/tarno-program-bench-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The microphone: a null sink fed a 440 Hz tone with a 200 ms buffer, its monitor the default
# source. Like a real microphone, it hands out audio in blocks of about the size a client asks
# for; the test microphones' 20 ms feeders make the server send 10 ms pieces to everyone, which
# would measure the test set-up rather than the programs (parec alone wakes about 245 times a
# second on them, 21 on this one).
old_source=$(pactl get-default-source 2>/dev/null || true)
mic_module=$(pactl load-module module-null-sink sink_name=bench_mic \
  sink_properties=device.description=Bench_Mic_440_Hz)
setsid bash -c "sox -q -n -t raw -r 44100 -c 2 -b 16 -e signed - synth 3600 sine 440 vol 0.5 |
  pacat --server='$PULSE_SERVER' --device=bench_mic --raw --format=s16le --rate=44100 \
    --channels=2 --latency-msec=200 --client-name=tarno-bench-mic" </dev/null >/dev/null 2>&1 &
feeder=$!
pactl set-default-source bench_mic.monitor
cleanup_mic() {
  kill -- -"$feeder" 2>/dev/null || true
  [ -n "$old_source" ] && pactl set-default-source "$old_source" 2>/dev/null || true
  pactl unload-module "$mic_module" 2>/dev/null || true
}
trap 'cleanup_mic; cleanup' EXIT
sleep 2

Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

# CPU ticks and context switches of the processes given, summed over all their threads.
ticks() { # pid...
  local total=0 p
  for p in "$@"; do
    [ -r "/proc/$p/stat" ] || continue
    total=$((total + $(sed -E 's/^.*\) //' "/proc/$p/stat" | awk '{print $12 + $13}')))
  done
  echo "$total"
}
switches() { # pid...
  local total=0 p
  for p in "$@"; do
    total=$((total + $(cat /proc/"$p"/task/*/status 2>/dev/null |
      awk '/^(non)?voluntary_ctxt_switches/{s += $2} END{print s + 0}')))
  done
  echo "$total"
}
# Measures the processes for `seconds`; prints "wakeups_per_s cpu_percent".
measure() { # pid...
  local t0 s0 start t1 s1 end
  t0=$(ticks "$@"); s0=$(switches "$@"); start=$(date +%s.%N)
  sleep "$seconds"
  t1=$(ticks "$@"); s1=$(switches "$@"); end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" -v t="$((t1 - t0))" -v s="$((s1 - s0))" -v hz="$hz" \
    'BEGIN { dt = b - a; printf "%.1f %.2f\n", s / dt, 100 * t / hz / dt }'
}
# Wake-ups per second of each thread of `pid` over 5 s, one line: "name n, name n".
threads() { # pid
  local pid=$1
  snap() { for t in /proc/"$pid"/task/*; do
    printf '%s %s %s\n' "$(basename "$t")" "$(tr ' ' _ <"$t/comm")" \
      "$(awk '/ctxt_switches/{s += $2} END{print s + 0}' "$t/status")"
  done; }
  snap >"$work/t0"
  sleep 5
  snap >"$work/t1"
  join <(sort "$work/t0") <(sort "$work/t1") |
    awk -v n=5 '{w[$2] += ($5 - $3) / n} END{for (k in w) if (w[k] >= 0.5) printf "%s %.0f, ", k, w[k]}' |
    sed 's/, $//'
}
row() { # state, what, "wakeups cpu"
  set -- "$1" "$2" $3
  printf '%-34s %-30s %10s %8s\n' "$1" "$2" "$3" "$4"
  printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" >>"$work/rows"
}
value() { # state, field (3 wake-ups, 4 CPU)
  awk -F'\t' -v s="$1" -v f="$2" '$1 == s { print $f }' "$work/rows"
}

"$program" >"$work/program.log" 2>&1 &
app=$!
pids+=($app)
win=""
for _ in $(seq 1 100); do
  win=$(xdotool search --onlyvisible --name '^Tarno MP3 Recorder$' 2>/dev/null | head -1) && [ -n "$win" ] && break
  sleep 0.1
done
if [ -z "$win" ]; then
  echo "The program's main window did not appear:" >&2
  cat "$work/program.log" >&2
  exit 1
fi
key() { # key name
  xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win" || true
  xdotool key --window "$win" "$1"
}
sleep 2

printf '%-34s %-30s %10s %8s\n' "state (${seconds} s each)" "process" "wakeups/s" "CPU %"
row "idle, no schedule" "tarno-recorder" "$(measure "$app")"

key F7
sleep 2
row "recording MP3 (fresh settings)" "tarno-recorder" "$(measure "$app")"
echo "  its threads (wake-ups/s): $(threads "$app")"
sleep 5 # the recording outlasts the playing measurements below
key F10
sleep 2
recording=$(find "$HOME" -type f -name '*.mp3' | head -1)
if [ -z "$recording" ]; then
  echo "F7 and F10 left no recording; the program said:" >&2
  cat "$work/program.log" >&2
  exit 1
fi

# The reference recorder: the same source through parec into lame.
sh -c 'exec parec --format=s16le --rate=44100 --channels=2 --latency-msec=50' |
  lame -r -s 44.1 -b 128 -q 9 - "$work/reference.mp3" >/dev/null 2>&1 &
sleep 1
ref=$(pgrep -f "parec --format=s16le --rate=44100" | head -1)
lamepid=$(pgrep -f "lame -r -s 44.1 -b 128" | head -1)
row "recording MP3 (fresh settings)" "parec | lame -b 128 -q 9" "$(measure "$ref" "$lamepid")"
kill "$ref" "$lamepid" 2>/dev/null || true

key F8
sleep 1
row "playing that MP3" "tarno-recorder" "$(measure "$app")"
echo "  its threads (wake-ups/s): $(threads "$app")"
key F10
sleep 1
ffmpeg -v error -y -i "$recording" "$work/recording.wav"
paplay "$work/recording.wav" &
ref=$!
sleep 0.5
row "playing that MP3" "paplay (decoded to WAV)" "$(measure "$ref")"
kill "$ref" 2>/dev/null || true
ffplay -v error -nodisp -autoexit -loop 0 "$recording" >/dev/null 2>&1 &
ref=$!
sleep 0.5
row "playing that MP3" "ffplay -nodisp" "$(measure "$ref")"
kill "$ref" 2>/dev/null || true

# Idle with a daily schedule set (two hours from now, so it does not fire): the program is
# started again on the stored settings with the schedule written in ISO form.
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
ini="$XDG_CONFIG_HOME/tarnoRecord.ini"
if [ -f "$ini" ]; then
  awk '/^\[/{sec=$0} !(sec == "[autorec]" && $0 ~ /^(format|begintime|endtime)=/)' "$ini" >"$ini.new"
  mv "$ini.new" "$ini"
fi
printf '[autorec]\nformat=1\nbegintime=%s\nendtime=%s\n' "$(date -d '+2 hours' +%H:%M:%S)" \
  "$(date -d '+3 hours' +%H:%M:%S)" >>"$ini"
"$program" >>"$work/program.log" 2>&1 &
app=$!
pids+=($app)
sleep 3
row "idle, daily schedule set" "tarno-recorder" "$(measure "$app")"

echo
idle=$(value "idle, no schedule" 3 | head -1)
idle_s=$(value "idle, daily schedule set" 3 | head -1)
rec_w=$(awk -F'\t' '$1 ~ /^recording/ && $2 == "tarno-recorder" {print $3}' "$work/rows")
rec_c=$(awk -F'\t' '$1 ~ /^recording/ && $2 == "tarno-recorder" {print $4}' "$work/rows")
ref_c=$(awk -F'\t' '$1 ~ /^recording/ && $2 ~ /^parec/ {print $4}' "$work/rows")
play_w=$(awk -F'\t' '$1 ~ /^playing/ && $2 == "tarno-recorder" {print $3}' "$work/rows")
play_c=$(awk -F'\t' '$1 ~ /^playing/ && $2 == "tarno-recorder" {print $4}' "$work/rows")
paplay_c=$(awk -F'\t' '$1 ~ /^playing/ && $2 ~ /^paplay/ {print $4}' "$work/rows")
awk -v idle="$idle" -v idles="$idle_s" -v rw="$rec_w" -v rc="$rec_c" -v fc="$ref_c" -v pw="$play_w" -v pc="$play_c" \
  -v pp="$paplay_c" 'BEGIN {
    printf "idle wake-ups/s:                     %6.1f  (target 0 without a schedule)\n", idle
    printf "idle wake-ups/s with a schedule:     %6.1f  (target <= 1)\n", idles
    printf "recording CPU, program / parec|lame: %6.2f  (target <= 1.0)\n", (fc > 0 ? rc / fc : 0)
    printf "recording wake-ups/s:                %6.1f  (target <= 60)\n", rw
    printf "playing wake-ups/s:                  %6.1f  (target <= 60)\n", pw
    printf "playing CPU %%:                       %6.2f  (target <= 0.5; paplay %.2f)\n", pc, pp
  }'
