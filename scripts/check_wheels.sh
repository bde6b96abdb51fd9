#!/usr/bin/env bash
# Installs each repaired wheel from DIR into a fresh virtual environment and
# runs the test suite against the installed package, in a mount namespace
# where the system's GMP, MPFR and MPC (and FLINT/Arb) files are covered by
# an empty file, so that only the wheel's own copies can load. Checks too that
# `ldd` resolves those libraries inside the wheel, that the process mapped
# no other copy, and that a free-threaded wheel keeps the GIL off.
# Usage: scripts/check_wheels.sh [DIR] [PYTEST ARGS...]
#   VEXA2_WHEEL_TESTS_FULL names the wheels that run the whole suite: Python
#   tags ("cp311 cp313t" by default) or "all"; the others run it without the
#   hostile-input cases (child processes, the slowest part) and stop at the
#   first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-dist}
shift || true
full=${VEXA2_WHEEL_TESTS_FULL:-cp311 cp313t}
hidden_globs='libgmp.so* libmpfr.so* libmpc.so* libflint.so* libflint-arb.so*'

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
: >"$tmp/empty"
chmod 444 "$tmp/empty"
# The tests are copied out of the source tree, so that nothing there can be imported instead.
cp -r tests "$tmp/tests"
cp pyproject.toml "$tmp/"

# The real files behind the system's library names (the links point at them).
hidden=()
for d in /usr/lib/x86_64-linux-gnu /usr/lib64 /usr/lib /usr/local/lib /lib/x86_64-linux-gnu; do
  [ -d "$d" ] || continue
  for g in $hidden_globs; do
    for f in "$d"/$g; do
      [ -e "$f" ] && hidden+=("$(readlink -f "$f")")
    done
  done
done
if [ ${#hidden[@]} -gt 0 ]; then
  mapfile -t hidden < <(printf '%s\n' "${hidden[@]}" | sort -u)
else
  echo "no system copy of GMP/MPFR/MPC found to hide"
fi

# Runs a command with those files covered (a private mount namespace; a user
# namespace too where this is not run as root).
ns=(unshare --mount --propagation private)
"${ns[@]}" true 2>/dev/null || ns=(unshare --mount --propagation private --map-root-user)
hide_run() {
  "${ns[@]}" -- bash -c '
    empty=$1; shift; n=$1; shift
    for f in "${@:1:$n}"; do mount --bind "$empty" "$f" || exit 97; done
    shift "$n"; exec "$@"' hide_run "$tmp/empty" "${#hidden[@]}" "${hidden[@]}" "$@"
}
if ! hide_run true; then
  echo "cannot make a mount namespace here (as root, or with user namespaces enabled): the wheels are not checked" >&2
  exit 1
fi

python_for() {  # python_for cp313t -> an interpreter of that tag
  for c in python3 "$HOME"/.pyenv/versions/3.1[0-9]*/bin/python3 /opt/py-ft/bin/python3.13t; do
    command -v "$c" >/dev/null 2>&1 || [ -x "$c" ] || continue
    if [ "$("$c" -c 'import sys, sysconfig; print(f"cp{sys.version_info[0]}{sys.version_info[1]}" + ("t" if sysconfig.get_config_var("Py_GIL_DISABLED") else ""))')" = "$1" ]; then
      echo "$c"; return
    fi
  done
}

status=0
for whl in "$dir"/vexa2-*manylinux*.whl; do
  [ -e "$whl" ] || { echo "no repaired wheel in $dir (make wheels)" >&2; exit 1; }
  t0=$SECONDS
  tag=$(basename "$whl" | cut -d- -f4)
  py=$(python_for "$tag")
  if [ -z "$py" ]; then echo "--- $whl: no interpreter for $tag; skipped"; continue; fi
  echo "--- $(basename "$whl") ($(du -k "$whl" | cut -f1) KiB) with $py"
  venv="$tmp/venv-$tag"
  "$py" -m venv "$venv"
  hyp=hypothesis; [ "${tag%t}" != "$tag" ] && hyp="hypothesis==6.155.2"
  "$venv/bin/python" -m pip install -q --disable-pip-version-check pytest "$hyp" mpmath
  "$venv/bin/python" -m pip install -q --disable-pip-version-check --no-index --no-deps "$whl"
  so=$(ls "$venv"/lib/python3*/site-packages/vexa2/_vexa2.*.so)
  echo "ldd $so:"
  hide_run ldd "$so" | tee "$tmp/ldd.txt"
  if grep -E 'lib(gmp|mpfr|mpc|flint)' "$tmp/ldd.txt" | grep -v 'vexa2\.libs/'; then
    echo "FAIL: a library above is not the wheel's own copy" >&2; status=1
  fi
  (cd "$tmp" && hide_run "$venv/bin/python" - "$venv" "$tag" "${hidden[@]}") <<'PYEOF' || status=1
import ctypes, os, sys
venv, tag, hidden = sys.argv[1], sys.argv[2], sys.argv[3:]
import vexa2
from vexa2.__main__ import loaded_libraries
assert os.path.realpath(vexa2.__file__).startswith(os.path.realpath(venv)), vexa2.__file__
for f in hidden:  # the system's copies really are out of reach here
    try:
        ctypes.CDLL(f)
    except OSError:
        continue
    sys.exit(f"FAIL: {f} can still be loaded")
libs = loaded_libraries()
names = {name for name, _, _ in libs}
assert {"GMP", "MPFR", "MPC"} <= names, libs
for name, path, version in libs:
    print(f"  loaded {name} {version}: {path}")
    assert "/vexa2.libs/" in path, f"{name} loaded from {path}"
if tag.endswith("t"):
    assert not sys._is_gil_enabled(), "importing vexa2 enabled the GIL"
    print("  GIL off after import")
PYEOF
  # The C compiler itself (cc1) loads the system's GMP, MPFR and MPC, so the
  # test that compiles an extension against the wheel's header runs unhidden.
  args=(-p no:cacheprovider --ignore=tests/module/test_capsule.py)
  if [ "$full" != all ] && [[ " $full " != *" $tag "* ]]; then
    args+=(-x --ignore=tests/hostile)
  fi
  (cd "$tmp" && hide_run "$venv/bin/python" -m pytest tests "${args[@]}" "$@") || status=1
  rc=0; (cd "$tmp" && "$venv/bin/python" -m pytest tests/module/test_capsule.py -p no:cacheprovider "$@") || rc=$?
  [ $rc -eq 0 ] || [ $rc -eq 5 ] || status=1  # 5: all deselected by the arguments given
  echo "--- $tag: $((SECONDS - t0)) s"
done
exit $status
