#!/usr/bin/env bash
# ThreadSanitizer: vexa2 built with -fsanitize=thread (symbols kept) against a
# free-threaded CPython built with ThreadSanitizer, then the thread tests,
# the xmpz, random-state and context tests, and the arithmetic, conversion and
# math-function tests run by 4 threads at once (pytest-run-parallel). The
# first report stops the run. scripts/tsan.supp lists the reports of
# CPython's own code that are suppressed, each with its reason.
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
run "$py" -m pytest -x -q -p no:cacheprovider tests/threads tests/integer/test_xmpz.py tests/random tests/context
run "$py" -m pytest -x -q -p no:cacheprovider --parallel-threads=4 tests/arith tests/convert \
  tests/floating/test_mathfn_members.py tests/floating/test_mathfn_rounding.py tests/floating/test_special.py
