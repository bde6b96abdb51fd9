#!/usr/bin/env bash
# ThreadSanitizer: vexa2 built with -fsanitize=thread (symbols kept) against a
# free-threaded CPython built with ThreadSanitizer, then the thread tests,
# the xmpz, random-state and context tests, and the arithmetic, conversion and
# math-function tests run by 4 threads at once (pytest-run-parallel). The
# first report stops the run. scripts/tsan.supp lists the reports of
# CPython's own code that are suppressed, each with its reason.
#
# TSAN_FULL=1 runs every one of these tests (hours on a 2-core machine).
# Otherwise a fixed subset runs (CI, a few minutes): the thread tests whole,
# and of the others every TSAN_STRIDE-th case (default 20) of each test
# function, without the property-based tests (VEXA2_TEST_STRIDE, tests/conftest.py);
# each pass prints how many of its tests ran.
# Usage: scripts/tsan.sh PYTHON VENV
set -euo pipefail
PY=${1:-/opt/py-ft-tsan/bin/python3.13t}
VENV=${2:-.venv-tsan}
cd "$(dirname "$0")/.."
if [ ! -x "$PY" ]; then
  echo "tsan: no ThreadSanitizer build of CPython at $PY; skipped"
  exit 0
fi
# Installing runs CPython's own code under the sanitizer: its reports are not
# wanted there (pip would exit with 66).
TSAN_OPTIONS="exitcode=0 report_bugs=0" VEXA2_CLIENT_DEPS=0 \
VEXA2_BUILD_ARGS="${VEXA2_BUILD_ARGS:-} -C cmake.define.VEXA2_TSAN=ON -C install.strip=false -C build-dir=build/tsan" \
  scripts/setup.sh "$PY" "$VENV" pytest-run-parallel
# Reports go to build/tsan/report.* (pytest holds the standard error) and are shown on failure.
rm -f build/tsan/report.*
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp log_path=$PWD/build/tsan/report"
trap 'status=$?; if [ $status -ne 0 ]; then cat build/tsan/report.* 2>/dev/null; fi' EXIT
export PYTHON_GIL=0
VEXA2_TSAN_VENV_PY="$VENV/bin/python"
py="$VEXA2_TSAN_VENV_PY"
"$py" -c 'import sys, vexa2; assert not sys._is_gil_enabled()'
# TSAN_LIMIT (seconds, default none) bounds each pass: a pass cut short by it
# is reported and does not fail the run; a report always does.
run() {
  local status=0
  if [ -n "${TSAN_LIMIT:-}" ]; then timeout "$TSAN_LIMIT" "$@" || status=$?; else "$@" || status=$?; fi
  if [ $status -eq 124 ]; then echo "tsan: pass cut short after ${TSAN_LIMIT} s (no report until then)"; return 0; fi
  return $status
}
stride=${TSAN_STRIDE:-20}
leave_out=()
if [ "${TSAN_FULL:-0}" = 1 ]; then
  stride=1
else
  # Also left out of the subset: a test that starts fresh interpreters (no
  # threads; each one slow here) and one that parses texts of millions of digits.
  leave_out=(--deselect tests/random/test_random.py::test_same_seed_same_sequence_in_fresh_processes
             --deselect tests/convert/test_parse.py::test_text_length_limit)
  echo "tsan: a subset (TSAN_FULL=1 runs every test); left out besides the stride: ${leave_out[*]}"
fi
pass() {  # pass NAME PYTEST-ARGS...: one pytest run, timed
  local name=$1 t0=$SECONDS
  shift
  run "$py" -m pytest -x -q -p no:cacheprovider "$@"
  echo "tsan: $name: $((SECONDS - t0)) s"
}
pass "thread tests" tests/threads
VEXA2_TEST_STRIDE=$stride pass "xmpz, random-state and context tests" "${leave_out[@]}" \
  tests/integer/test_xmpz.py tests/random tests/context
VEXA2_TEST_STRIDE=$stride pass "4 threads at once" --parallel-threads=4 "${leave_out[@]}" tests/arith tests/convert \
  tests/floating/test_mathfn_members.py tests/floating/test_mathfn_rounding.py tests/floating/test_special.py
