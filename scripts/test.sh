#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the sanitizer build, a private PulseAudio
# daemon and a private PipeWire, CTest on every test with PulseAudio and the live tests (label
# "pulse") again with PipeWire, the device tests under ThreadSanitizer on both servers, and the
# fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh test

work=$(mktemp -d /tmp/tarno-ci-XXXXXX)
cleanup() {
  scripts/pulse-private.sh stop "$work/pulse" || true
  scripts/pipewire-private.sh stop "$work/pipewire" || true
  rm -rf "$work"
}
trap cleanup EXIT
eval "$(scripts/pulse-private.sh start "$work/pulse")"
export PULSE_SERVER
pipewire_server=$(scripts/pipewire-private.sh start "$work/pipewire" | sed -n 's/^export PULSE_SERVER=//p') || true
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
export QT_QPA_PLATFORM=offscreen
# LeakSanitizer reports what Qt and the sound libraries keep until exit; ASan's other checks stay.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

rc=0
passed=0; failed=0; skipped=0
# Every C++ file as the checked-in .clang-format lays it out: a difference is a failure.
echo "== clang-format"
unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format-14 --dry-run 2>&1 |
              sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' |
              sort -u)
if [ -n "$unformatted" ]; then
  echo "clang-format: these files differ from .clang-format (fix: clang-format-14 -i FILE):" >&2
  echo "$unformatted" >&2
  failed=$((failed + 1)); rc=1
else
  echo "clang-format: every file is formatted"
  passed=$((passed + 1))
fi

# CTest in build-test with its arguments; its counts go to the totals.
. scripts/ctest-count.sh
export CTEST_RETRIED_LOG="$work/retried"
run_ctest() { # log, ctest arguments...
  local log=$1; shift
  (cd build-test && ctest --output-on-failure -j2 --timeout 600 "$@") 2>&1 | tee "$log" || true
  ctest_count "$log" || rc=1
}
# The live tests (label "pulse") one at a time, on each server: they hold lengths to 50 ms of
# the wall clock, which tests running beside them on two cores would disturb. A live test that
# fails runs once more (a real server on a busy machine drops a block now and then); the ones
# that passed only then are named at the end.
run_ctest "$work/ctest.log" -LE pulse
echo "== the live tests, on PulseAudio"
run_ctest "$work/ctest-pulse.log" -L pulse -j1 --repeat until-pass:2
if [ -n "$pipewire_server" ]; then
  echo "== the live tests, on PipeWire"
  PULSE_SERVER=$pipewire_server run_ctest "$work/ctest-pipewire.log" -L pulse -j1 --repeat until-pass:2
else
  echo "The private PipeWire did not start: the live tests ran on PulseAudio only" >&2
  failed=$((failed + 1)); rc=1
fi

if [ "${TARNO_SKIP_TSAN:-0}" != 1 ]; then
  scripts/tsan.sh "$PULSE_SERVER" "$pipewire_server" 2>&1 | tee "$work/tsan.log" || rc=1
  tsan=$(grep -E '^tsan: [0-9]+ passed, [0-9]+ failed' "$work/tsan.log" | tail -1)
  if [ -n "$tsan" ]; then
    passed=$((passed + $(echo "$tsan" | sed -E 's/tsan: ([0-9]+) passed.*/\1/')))
    failed=$((failed + $(echo "$tsan" | sed -E 's/.*, ([0-9]+) failed.*/\1/')))
    skipped=$((skipped + $(echo "$tsan" | sed -E 's/.*, ([0-9]+) skipped.*/\1/')))
  else
    failed=$((failed + 1))
  fi
fi

fuzz_passed=0; fuzz_failed=0
if [ "${TARNO_SKIP_FUZZ:-0}" != 1 ] && [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh "${TARNO_FUZZ_SECONDS:-30}" 2>&1 | tee "$work/fuzz.log" || rc=1
  fuzz_passed=$(grep -c '^fuzz: .* passed' "$work/fuzz.log" || true)
  fuzz_failed=$(grep -c '^fuzz: .* FAILED' "$work/fuzz.log" || true)
fi
# The Debian package: built, checked by lintian and appstreamcli, installed, run and removed.
pkg_passed=0; pkg_failed=0
if [ "${TARNO_SKIP_PACKAGE:-0}" != 1 ]; then
  scripts/package-test.sh 2>&1 | tee "$work/package.log" || rc=1
  pkg_passed=$(grep -c '^package: .* passed$' "$work/package.log" || true)
  pkg_failed=$(grep -c '^package: .* FAILED$' "$work/package.log" || true)
  if [ "$pkg_passed" -eq 0 ] && [ "$pkg_failed" -eq 0 ]; then pkg_failed=1; rc=1; fi
fi
retried=$(cat "$work/retried" 2>/dev/null | grep -c . || true) # tsan.sh writes there too
cat "$work/retried" 2>/dev/null || true
echo "total: $((passed + fuzz_passed + pkg_passed)) passed, $((failed + fuzz_failed + pkg_failed)) failed, $skipped skipped, $retried passed on a second run"
exit $rc
