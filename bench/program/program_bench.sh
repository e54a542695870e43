#!/usr/bin/env bash
# The whole program as a user runs it: the real binary under Xvfb, the default skin, fresh
# settings, the sound server PULSE_SERVER names (its default source a steady 440 Hz tone, see
# scripts/test-devices.sh). For each state it measures, over SECONDS, the CPU share and the
# wake-ups per second as the sum of every thread's voluntary and involuntary context switches;
# beside it, in the same run, the command-line tools doing the same work: `parec | lame -b 128
# -q 9` while recording, `paplay` and `ffplay -nodisp` on the same file while playing.
# The CPU time is each thread's run time in nanoseconds (/proc/PID/task/TID/schedstat), the
# figure /proc/PID/stat rounds down to whole clock ticks: at 1 % CPU a 25 s run is only about 25
# ticks, and the rounding of each process's user and system time alone moved a ratio by up to
# a sixth. Recording is measured in ROUNDS rounds (3 unless set in the environment), each round
# the program and then the reference for SECONDS, so that both meet the same moments of a busy
# machine; the ratio is that of the sums.
#   bench/program/program_bench.sh PROGRAM [SECONDS]
# PROGRAM is the built tarno-recorder (its skin beside it). Needs Xvfb, xdotool, parec, lame,
# paplay, ffmpeg and ffplay. Prints one table and the ratios against the targets.
set -euo pipefail
program=${1:?path of the tarno-recorder binary}
seconds=${2:-20}
: "${PULSE_SERVER:?PULSE_SERVER names the sound server}"
rounds=${ROUNDS:-3}

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

# Run time in nanoseconds of the processes given, summed over all their threads.
cpu_ns() { # pid...
  local p
  for p in "$@"; do
    cat /proc/"$p"/task/*/schedstat 2>/dev/null || true
  done | awk '{s += $1} END{printf "%.0f\n", s + 0}'
}
switches() { # pid...
  local total=0 p
  for p in "$@"; do
    total=$((total + $(cat /proc/"$p"/task/*/status 2>/dev/null |
      awk '/^(non)?voluntary_ctxt_switches/{s += $2} END{print s + 0}')))
  done
  echo "$total"
}
# Measures the processes for `seconds`; prints "run_time_ns switches elapsed_s".
measure_raw() { # pid...
  local c0 s0 start c1 s1 end
  c0=$(cpu_ns "$@"); s0=$(switches "$@"); start=$(date +%s.%N)
  sleep "$seconds"
  c1=$(cpu_ns "$@"); s1=$(switches "$@"); end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" -v c="$((c1 - c0))" -v s="$((s1 - s0))" \
    'BEGIN { printf "%.0f %d %.3f\n", c, s, b - a }'
}
# "wakeups_per_s cpu_percent" of one or more measure_raw lines added up.
rate() { # lines
  awk '{c += $1; s += $2; t += $3} END { printf "%.1f %.2f\n", s / t, 100 * c / 1e9 / t }' <<<"$1"
}
# Measures the processes for `seconds`; prints "wakeups_per_s cpu_percent".
measure() { # pid...
  rate "$(measure_raw "$@")"
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

printf '%-34s %-30s %10s %8s\n' "state (${seconds} s each, recording ${rounds}x)" "process" "wakeups/s" "CPU %"
row "idle, no schedule" "tarno-recorder" "$(measure "$app")"

# Recording, in rounds: the program records (F7) and is measured, stops (F10), then the
# reference records the same source and is measured; never both at once, since a second
# capture of the source changes how the server cuts the audio for both.
prog_lines="" ref_lines="" ratios=""
for round in $(seq 1 "$rounds"); do
  key F7
  sleep 2
  p=$(measure_raw "$app")
  prog_lines+="$p"$'\n'
  [ "$round" = 1 ] && threads_line=$(threads "$app")
  sleep 5 # each recording outlasts the playing measurements below
  key F10
  sleep 1
  sh -c 'exec parec --format=s16le --rate=44100 --channels=2 --latency-msec=50' |
    lame -r -s 44.1 -b 128 -q 9 - "$work/reference.mp3" >/dev/null 2>&1 &
  sleep 1
  ref=$(pgrep -f "parec --format=s16le --rate=44100" | head -1)
  lamepid=$(pgrep -f "lame -r -s 44.1 -b 128" | head -1)
  r=$(measure_raw "$ref" "$lamepid")
  ref_lines+="$r"$'\n'
  kill "$ref" "$lamepid" 2>/dev/null || true
  wait "$lamepid" 2>/dev/null || true
  ratios+=$(awk -v p="$p" -v r="$r" 'BEGIN { split(p, a, " "); split(r, b, " ");
    printf " %.2f", (a[1] / a[3]) / (b[1] / b[3]) }')
  sleep 1
done
row "recording MP3 (fresh settings)" "tarno-recorder" "$(rate "${prog_lines%$'\n'}")"
echo "  its threads (wake-ups/s): $threads_line"
row "recording MP3 (fresh settings)" "parec | lame -b 128 -q 9" "$(rate "${ref_lines%$'\n'}")"
echo "  CPU ratio of each round (program / parec | lame):$ratios"
recording=$(find "$HOME" -type f -name '*.mp3' -printf '%s %p\n' | sort -rn | head -1 | cut -d' ' -f2-)
if [ -z "$recording" ]; then
  echo "F7 and F10 left no recording; the program said:" >&2
  cat "$work/program.log" >&2
  exit 1
fi

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
