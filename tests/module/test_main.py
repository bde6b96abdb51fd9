"""python -m vexa2: the library copies it reports are the ones in this process."""
import ast
import subprocess
import sys

import pytest

import vexa2


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/maps")
def test_loaded_libraries_are_this_process_copies():
    # Read in a fresh process: packages other tests imported (python-flint,
    # through SymPy) may have mapped copies of their own into this one.
    fresh = subprocess.run([sys.executable, "-c", "from vexa2.__main__ import loaded_libraries as f; print(f())"],
                           capture_output=True, text=True, timeout=120).stdout
    libs = {name: (path, version) for name, path, version in ast.literal_eval(fresh)}
    assert {"GMP", "MPFR", "MPC"} <= set(libs)
    assert vexa2.mp_version() == "GMP " + libs["GMP"][1]
    for name in ("MPFR", "MPC"):
        assert libs[name][1][0].isdigit(), libs[name]
    out = subprocess.run([sys.executable, "-m", "vexa2"], capture_output=True, text=True,
                         timeout=120).stdout
    for name, (path, version) in libs.items():
        assert f"  {name} {version}: {path}\n" in out
