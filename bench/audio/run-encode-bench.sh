#!/usr/bin/env bash
# Encoding speed against the reference command-line encoders, on the same PCM with the same
# settings, in one run: lame (MP3), oggenc (OGG), ffmpeg (WMA, WAV, RAW). Prints audio seconds per
# CPU second for both and our speed divided by theirs.
# Usage: bench/audio/run-encode-bench.sh [BUILD_DIR, default build-bench] [seconds, default 600]
# Build first: cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release && cmake --build build-bench --target bench_audio_encode -j2
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-bench}
seconds=${2:-600}
work=$(mktemp -d /tmp/tarno-encbench-XXXXXX)
trap 'rm -rf "$work"' EXIT

ours=$("$build/bench/audio/bench_audio_encode" "$work" "$seconds")
pcm="$work/input.pcm"
raw_in=(-f s16le -ar 44100 -ac 2 -i "$pcm")

declare -A ref=(
  [mp3_cbr]="lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 128 -q 5 $pcm $work/ref_cbr.mp3"
  [mp3_vbr]="lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -V 4 -B 192 -q 5 $pcm $work/ref_vbr.mp3"
  [ogg_managed]="oggenc --quiet -r -R 44100 -C 2 -B 16 --managed -b 128 -m 128 -M 192 -o $work/ref_m.ogg $pcm"
  [ogg_quality]="oggenc --quiet -r -R 44100 -C 2 -B 16 -q 3 -o $work/ref_q.ogg $pcm"
  [wma]="ffmpeg -nostdin -v error -y ${raw_in[*]} -c:a wmav2 -b:a 128k $work/ref.wma"
  [wav]="ffmpeg -nostdin -v error -y ${raw_in[*]} -c:a pcm_s16le $work/ref.wav"
  [raw_pcm]="ffmpeg -nostdin -v error -y ${raw_in[*]} -f s16le $work/ref_pcm.raw"
  [raw_alaw]="ffmpeg -nostdin -v error -y ${raw_in[*]} -f alaw $work/ref_alaw.raw"
  # ffmpeg writes no headerless ADPCM; its WAV adds only a header to the same encoding work.
  [raw_ima_adpcm]="ffmpeg -nostdin -v error -y ${raw_in[*]} -c:a adpcm_ima_wav -block_size 512 $work/ref_ima.wav"
)

printf '%-14s %14s %14s %8s\n' format "ours audio/cpu" "ref audio/cpu" ratio
while read -r name audio cpu speed; do
  [ "$name" = format ] && continue
  [ -n "${ref[$name]:-}" ] || continue
  # User plus system CPU seconds of the reference process.
  t=$( { /usr/bin/time -f "%U %S" ${ref[$name]} </dev/null >/dev/null; } 2>&1 | tail -1 )
  refcpu=$(awk -v u="${t% *}" -v s="${t#* }" 'BEGIN { c = u + s; if (c < 0.001) c = 0.001; print c }')
  awk -v n="$name" -v a="$audio" -v ours="$speed" -v rc="$refcpu" \
    'BEGIN { r = a / rc; printf "%-14s %14.1f %14.1f %8.2f\n", n, ours, r, ours / r }'
done <<< "$ours"
