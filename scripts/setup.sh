#!/usr/bin/env bash
# Sets up everything vexa2 needs to build and test, idempotently:
#   the Debian packages of GMP, MPFR and MPC, a virtual environment,
#   the build tools, the test dependencies and the package itself.
# Usage: scripts/setup.sh PYTHON VENV [extra pip packages...]
set -euo pipefail
PY=${1:-python3}
VENV=${2:-.venv}
shift 2 || true

need=()
for pkg in libgmp-dev libmpfr-dev libmpc-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi

if [ ! -x "$VENV/bin/python" ]; then
  "$PY" -m venv "$VENV"
fi
stamp="$VENV/.deps-installed"
if [ ! -f "$stamp" ] || [ pyproject.toml -nt "$stamp" ]; then
  "$VENV/bin/python" -m pip install -q --upgrade pip
  hyp=hypothesis
  # Newer hypothesis releases have no wheel for free-threaded builds and need a Rust toolchain.
  if [ "$("$VENV/bin/python" -c 'import sysconfig; print(sysconfig.get_config_var("Py_GIL_DISABLED") or 0)')" = 1 ]; then
    hyp="hypothesis==6.155.2"
  fi
  "$VENV/bin/python" -m pip install -q "scikit-build-core>=0.8" cmake ninja pytest "$hyp" mpmath sympy
  touch "$stamp"
fi
if [ $# -gt 0 ]; then
  "$VENV/bin/python" -m pip install -q "$@"
fi
# The build directory is kept per interpreter, so a rebuild only compiles what changed.
# VEXA2_BUILD_ARGS passes extra build settings (the sanitizer build uses it).
# Development builds use build/dev-<tag>: a plain `pip wheel .` (an isolated
# build with its own CMake) uses build/<tag>, so neither rebuilds the other.
args=${VEXA2_BUILD_ARGS:-}
case "$args" in *build-dir=*) ;; *) args="$args -C build-dir=build/dev-{wheel_tag}" ;; esac
"$VENV/bin/python" -m pip install -q --no-build-isolation --no-deps $args .
