#!/usr/bin/env bash
# The device tests under ThreadSanitizer: a build of its own (build-tsan, the device tests only),
# the simulated backend's tests once and the live ones on each server given.
#   scripts/tsan.sh PULSE_SERVER_OF_PULSEAUDIO [PULSE_SERVER_OF_PIPEWIRE]
# An empty server is skipped. Prints "tsan: N passed, M failed" last; a test with a
# ThreadSanitizer report fails. Reports the build's suppressions do not cover are real.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
servers=("${1:-}" "${2:-}")
names=(PulseAudio PipeWire)

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNO_TSAN=ON \
  -DTARNO_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j2 --target devices_sim_test devices_pulse_test devices_stress_test >/dev/null

# exitcode: a report fails the test even when its assertions passed. The libpulse thread and the
# UI thread meet in code that is not instrumented; the suppressions file says what and why.
export TSAN_OPTIONS="halt_on_error=0 exitcode=66 second_deadlock_stack=1 suppressions=$root/scripts/tsan.supp"
export QT_QPA_PLATFORM=offscreen
# Fewer cycles than the ASan run: ThreadSanitizer slows the test process several times over.
export TARNO_STRESS_CYCLES=${TARNO_TSAN_STRESS_CYCLES:-50}

log=$(mktemp /tmp/tarno-tsan-XXXXXX)
trap 'rm -f "$log"' EXIT
passed=0; failed=0; skipped=0
. scripts/ctest-count.sh
run() { # title, ctest arguments...
  echo "== ThreadSanitizer: $1"; shift
  (cd build-tsan/tests/components/devices && ctest --output-on-failure -j2 --timeout 600 "$@") 2>&1 | tee "$log" || true
  ctest_count "$log" || true
}
PULSE_SERVER= run "simulated backend" -LE pulse
for i in 0 1; do
  if [ -n "${servers[$i]}" ]; then
    PULSE_SERVER=${servers[$i]} run "live on ${names[$i]}" -L pulse -j1 --repeat until-pass:2
  fi
done
echo "tsan: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
