#!/usr/bin/env bash
# Runs the fuzz harnesses: scripts/fuzz.sh PYTHON RUNS [SECONDS]
# RUNS executions per harness, or SECONDS per harness when RUNS is 0.
# Where atheris cannot be installed for the interpreter, says so and succeeds.
set -euo pipefail
PY=$1 RUNS=$2 SECONDS_EACH=${3:-0}
if ! "$PY" -c 'import atheris' 2>/dev/null; then
  if ! "$PY" -m pip install -q atheris >/dev/null 2>&1 || ! "$PY" -c 'import atheris' 2>/dev/null; then
    echo "atheris cannot be installed for $PY; fuzzing skipped"
    exit 0
  fi
fi
exec "$PY" fuzz/run.py --all "$RUNS" "$SECONDS_EACH"
