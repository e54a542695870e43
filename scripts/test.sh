#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the sanitizer build, a private PulseAudio
# daemon, CTest on every test, and the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh test

work=$(mktemp -d /tmp/tarno-ci-XXXXXX)
cleanup() { scripts/pulse-private.sh stop "$work/pulse" || true; rm -rf "$work"; }
trap cleanup EXIT
eval "$(scripts/pulse-private.sh start "$work/pulse")"
export PULSE_SERVER
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
export QT_QPA_PLATFORM=offscreen
# LeakSanitizer reports what Qt and the sound libraries keep until exit; ASan's other checks stay.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

rc=0
(cd build-test && ctest --output-on-failure -j2 --timeout 600) 2>&1 | tee "$work/ctest.log" || true
summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$work/ctest.log" | tail -1)
total=$(echo "$summary" | sed -E 's/.* out of ([0-9]+).*/\1/')
failed=$(echo "$summary" | sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/')
if [ -z "$summary" ]; then total=0; failed=1; fi
[ "$failed" -eq 0 ] || rc=1

fuzz_passed=0; fuzz_failed=0
if [ "${TARNO_SKIP_FUZZ:-0}" != 1 ] && [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh "${TARNO_FUZZ_SECONDS:-30}" 2>&1 | tee "$work/fuzz.log" || rc=1
  fuzz_passed=$(grep -c '^fuzz: .* passed' "$work/fuzz.log" || true)
  fuzz_failed=$(grep -c '^fuzz: .* FAILED' "$work/fuzz.log" || true)
fi
echo "total: $((total - failed + fuzz_passed)) passed, $((failed + fuzz_failed)) failed"
exit $rc
