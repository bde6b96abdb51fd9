#!/usr/bin/env bash
# Sets up everything vexa2 needs to build and test, idempotently:
#   GMP, MPFR and MPC (apt-get, conda, brew, dnf or apk), a virtual environment,
#   the build tools, the test dependencies and the package itself.
# Usage: scripts/setup.sh PYTHON VENV [extra pip packages...]
set -euo pipefail
PY=${1:-python3}
VENV=${2:-.venv}
shift 2 || true

# GMP, MPFR and MPC with their headers, from the platform's package manager.
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
have_headers() {
  printf '#include <gmp.h>\n#include <mpfr.h>\n#include <mpc.h>\n' |
    "${CXX:-c++}" -E -x c++ ${CPPFLAGS:-} - >/dev/null 2>&1
}
if command -v dpkg >/dev/null 2>&1 && command -v apt-get >/dev/null 2>&1; then
  need=()
  for pkg in libgmp-dev libmpfr-dev libmpc-dev; do
    dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
  done
  # Arb, optional (the real math functions use it where it is faster): part of
  # FLINT 3 on Debian 13 (libflint-dev), its own package on Debian 12.
  # VEXA2_ARB=OFF builds without it and installs nothing for it.
  if [ "${VEXA2_ARB:-ON}" != OFF ] && command -v apt-cache >/dev/null 2>&1; then
    if apt-cache show libflint-arb-dev >/dev/null 2>&1; then arb_pkg=libflint-arb-dev; else arb_pkg=libflint-dev; fi
    dpkg -s "$arb_pkg" >/dev/null 2>&1 || need+=("$arb_pkg")
  fi
  if [ ${#need[@]} -gt 0 ]; then
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
  fi
elif [ -n "${CONDA_PREFIX:-}" ] && command -v conda >/dev/null 2>&1; then
  conda list -p "$CONDA_PREFIX" 2>/dev/null | grep -q '^mpc ' || conda install -y -p "$CONDA_PREFIX" -c conda-forge gmp mpfr mpc
  export CMAKE_PREFIX_PATH="$CONDA_PREFIX${CMAKE_PREFIX_PATH:+:$CMAKE_PREFIX_PATH}"
elif command -v brew >/dev/null 2>&1; then
  brew list gmp mpfr libmpc >/dev/null 2>&1 || brew install gmp mpfr libmpc
  export CMAKE_PREFIX_PATH="$(brew --prefix)${CMAKE_PREFIX_PATH:+:$CMAKE_PREFIX_PATH}"
elif have_headers; then
  :  # already installed by other means
elif command -v dnf >/dev/null 2>&1; then
  $SUDO dnf install -y gmp-devel mpfr-devel libmpc-devel
elif command -v apk >/dev/null 2>&1; then
  $SUDO apk add gmp-dev mpfr-dev mpc1-dev
else
  cat >&2 <<'EOF2'
GMP, MPFR and MPC were not found and this script does not know how to install
them here. Install, with their development files (headers and libraries):
  GMP 6.2 or later, MPFR 4.1 or later, MPC 1.2 or later
(for example the packages gmp/mpfr/mpc, or libgmp-dev/libmpfr-dev/libmpc-dev,
gmp-devel/mpfr-devel/libmpc-devel), then run this again. Libraries under
another prefix are found through PKG_CONFIG_PATH or CMAKE_PREFIX_PATH.
EOF2
  exit 1
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
  "$VENV/bin/python" -m pip install -q "scikit-build-core>=0.8" cmake ninja pytest "$hyp" mpmath
  # SymPy and NumPy are optional (their tests are skipped without them);
  # VEXA2_CLIENT_DEPS=0 leaves them out (the ThreadSanitizer environment,
  # where installing SymPy alone takes minutes).
  if [ "${VEXA2_CLIENT_DEPS:-1}" != 0 ]; then
    "$VENV/bin/python" -m pip install -q sympy || echo "sympy not installed: its tests are skipped"
    "$VENV/bin/python" -m pip install -q --only-binary=:all: numpy || echo "numpy not installed: its tests are skipped"
  fi
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
