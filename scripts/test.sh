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
(cd build-test && ctest --output-on-failure -j2 --timeout 600) || rc=$?

if [ "${TARNO_SKIP_FUZZ:-0}" != 1 ] && [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh "${TARNO_FUZZ_SECONDS:-30}" || rc=$?
fi
exit $rc
