#!/usr/bin/env bash
# Encoding speed against the reference command-line encoders, on the same PCM with the same
# settings, in one run: lame (MP3), oggenc (OGG), ffmpeg (WMA, WAV, RAW). Ours and the reference
# run alternately, several rounds, and the best round of each counts, so load from other work on
# the machine disturbs both alike. Prints audio seconds per CPU second and our speed / theirs.
# Usage: bench/audio/run-encode-bench.sh [BUILD_DIR, default build-bench] [seconds, default 600] [rounds, default 3]
# Build first: cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTARNO_BUILD_TESTS=OFF &&
#              cmake --build build-bench --target bench_audio_encode -j2
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-bench}
seconds=${2:-600}
rounds=${3:-3}
bench="$build/bench/audio/bench_audio_encode"
work=$(mktemp -d /tmp/tarno-encbench-XXXXXX)
trap 'rm -rf "$work"' EXIT

pcm="$work/input.pcm"
raw_in="-f s16le -ar 44100 -ac 2 -i $pcm"
ff="ffmpeg -nostdin -v error -y"
names=(mp3_cbr mp3_vbr ogg_managed ogg_quality wma wav raw_pcm raw_alaw raw_ima_adpcm)
declare -A ref=(
  [mp3_cbr]="lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 128 -q 5 $pcm $work/ref_cbr.mp3"
  [mp3_vbr]="lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -V 4 -B 192 -q 5 $pcm $work/ref_vbr.mp3"
  [ogg_managed]="oggenc --quiet -r -R 44100 -C 2 -B 16 --managed -b 128 -m 128 -M 192 -o $work/ref_m.ogg $pcm"
  [ogg_quality]="oggenc --quiet -r -R 44100 -C 2 -B 16 -q 3 -o $work/ref_q.ogg $pcm"
  [wma]="$ff $raw_in -c:a wmav2 -b:a 128k $work/ref.wma"
  [wav]="$ff $raw_in -c:a pcm_s16le $work/ref.wav"
  [raw_pcm]="$ff $raw_in -f s16le $work/ref_pcm.raw"
  [raw_alaw]="$ff $raw_in -f alaw $work/ref_alaw.raw"
  # ffmpeg writes no headerless ADPCM; its WAV adds only a header to the same encoding work.
  [raw_ima_adpcm]="$ff $raw_in -c:a adpcm_ima_wav -block_size 512 $work/ref_ima.wav"
)

"$bench" "$work" "$seconds" none >/dev/null # writes the input PCM once
declare -A best_ours best_ref
for ((r = 0; r < rounds; r++)); do
  for name in "${names[@]}"; do
    cpu=$("$bench" "$work" "$seconds" "$name" | awk -v n="$name" '$1 == n { print $3 }')
    t=$( { /usr/bin/time -f "%U %S" ${ref[$name]} </dev/null >/dev/null; } 2>&1 | tail -1 )
    refcpu=$(awk -v u="${t% *}" -v s="${t#* }" 'BEGIN { c = u + s; if (c < 0.01) c = 0.01; print c }')
    best_ours[$name]=$(awk -v a="${best_ours[$name]:-1e9}" -v b="$cpu" 'BEGIN { print (b < a ? b : a) }')
    best_ref[$name]=$(awk -v a="${best_ref[$name]:-1e9}" -v b="$refcpu" 'BEGIN { print (b < a ? b : a) }')
  done
done
printf '%-14s %14s %14s %8s   (%d s of 44.1 kHz stereo, best of %d rounds; CPU time resolution of the references: 10 ms)\n' \
  format "ours audio/cpu" "ref audio/cpu" ratio "$seconds" "$rounds"
for name in "${names[@]}"; do
  awk -v n="$name" -v a="$seconds" -v o="${best_ours[$name]}" -v r="${best_ref[$name]}" \
    'BEGIN { printf "%-14s %14.1f %14.1f %8.2f\n", n, a / o, a / r, r / o }'
done
