#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (seconds, default 30).
# The seed is fixed, so a run repeats the same inputs; a crash input is kept in build-fuzz/ and
# belongs, once fixed, in tests/fuzz/corpus/NAME/ as a seed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNO_SANITIZE=ON -DTARNO_FUZZ=ON -DTARNO_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
targets=()
for f in tests/fuzz/*.cmake; do targets+=("fuzz_$(basename "$f" .cmake)"); done
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
failed=0
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  corpus=$(mktemp -d)
  [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$corpus/"
  echo "fuzz: $t for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
       "build-fuzz/tests/fuzz/$t" -seed=1 -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=20 \
       -artifact_prefix="build-fuzz/$t-" -print_final_stats=0 "$corpus" > "build-fuzz/$t.log" 2>&1; then
    echo "fuzz: $t FAILED"; tail -40 "build-fuzz/$t.log"; failed=1
  else
    echo "fuzz: $t passed ($(grep -c '' "build-fuzz/$t.log") log lines)"
  fi
  rm -rf "$corpus"
done
exit $failed
