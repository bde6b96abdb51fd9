#!/usr/bin/env bash
# Installs the wheel from dist/ into a fresh virtual environment and checks
# that it imports, runs its self-check and carries the licence, the stubs
# and the classifiers; checks that the sdist holds the sources.
# Usage: scripts/check_dist.sh PYTHON
set -euo pipefail
PY=${1:-python3}
whl=$(ls -t dist/vexa2-*.whl | head -1)
sdist=$(ls -t dist/vexa2-*.tar.gz | head -1)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$PY" -m venv "$tmp/venv"
"$tmp/venv/bin/python" -m pip install -q --no-index --no-deps "$whl"
(cd "$tmp" && "$tmp/venv/bin/python" -m vexa2)
"$tmp/venv/bin/python" - "$whl" "$sdist" <<'PYEOF'
import sys, tarfile, zipfile
whl, sdist = sys.argv[1:]
names = zipfile.ZipFile(whl).namelist()
need = ["vexa2/__init__.py", "vexa2/__init__.pyi", "vexa2/py.typed", "vexa2/__main__.py", "vexa2/include/vexa2.h"]
missing = [n for n in need if n not in names]
missing += [n for n in ("LICENSE", "COPYING") if not any(x.endswith("licenses/" + n) or x.endswith("/" + n) for x in names)]
if not any(n.startswith("vexa2/_vexa2.") and n.endswith(".so") for n in names):
    missing.append("vexa2/_vexa2.*.so")
meta = next(n for n in names if n.endswith(".dist-info/METADATA"))
text = zipfile.ZipFile(whl).read(meta).decode()
for c in ("Programming Language :: Python :: Free Threading", "License :: OSI Approved :: GNU Lesser General Public License v3 or later (LGPLv3+)"):
    if c not in text:
        missing.append("classifier " + c)
src = tarfile.open(sdist).getnames()
for n in ("src/module/module.cpp", "CMakeLists.txt", "LICENSE", "python/vexa2/__init__.pyi"):
    if not any(x.endswith("/" + n) for x in src):
        missing.append("sdist: " + n)
if missing:
    sys.exit("missing: " + ", ".join(missing))
print(f"{whl}: {len(names)} files; {sdist}: {len(src)} files; all present")
PYEOF
