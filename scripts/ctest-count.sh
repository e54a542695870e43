# Sourced by scripts/test.sh and scripts/tsan.sh: adds one CTest log's counts to the totals.
#   ctest_count LOG   -> passed, failed and skipped grow; returns 1 when something failed
# A skipped test is not a passed one. In CI (CI set) it is a failure: a live test that skipped
# has checked nothing. A log without CTest's summary line counts as one failure. A test that
# failed and then passed on a second run (ctest --repeat until-pass:2) is named and counted in
# `retried`.
passed=${passed:-0}; failed=${failed:-0}; skipped=${skipped:-0}; retried=${retried:-0}
ctest_count() { # log
  local log=$1 summary n f s
  summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  n=$(echo "$summary" | sed -E 's/.* out of ([0-9]+).*/\1/')
  f=$(echo "$summary" | sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/')
  s=$(grep -cE 'Test +#[0-9]+: .*\*\*\*Skipped' "$log" || true)
  if [ -z "$summary" ]; then n=0; f=1; s=0; fi
  passed=$((passed + n - f - s))
  if [ "$s" -gt 0 ] && [ -n "${CI:-}" ]; then
    echo "$s tests skipped: in CI every test must run" >&2
    f=$((f + s))
  else
    skipped=$((skipped + s))
  fi
  failed=$((failed + f))
  local name
  while read -r name; do
    [ -n "$name" ] || continue
    if grep -qE "Test +#[0-9]+: $name .* Passed" "$log"; then
      echo "passed only on its second run: $name" | tee -a "${CTEST_RETRIED_LOG:-/dev/null}"
      retried=$((retried + 1))
    fi
  done < <(sed -nE 's/.*Test +#[0-9]+: ([^ ]+) .*\*\*\*Failed.*/\1/p' "$log" | sort -u)
  [ "$f" -eq 0 ]
}
