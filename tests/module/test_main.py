"""python -m vexa2: the library copies it reports are the ones in this process."""
import subprocess
import sys

import pytest

import vexa2
from vexa2.__main__ import loaded_libraries


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/maps")
def test_loaded_libraries_are_this_process_copies():
    libs = {name: (path, version) for name, path, version in loaded_libraries()}
    assert {"GMP", "MPFR", "MPC"} <= set(libs)
    assert vexa2.mp_version() == "GMP " + libs["GMP"][1]
    for name in ("MPFR", "MPC"):
        assert libs[name][1][0].isdigit(), libs[name]
    out = subprocess.run([sys.executable, "-m", "vexa2"], capture_output=True, text=True,
                         timeout=120).stdout
    for name, (path, version) in libs.items():
        assert f"  {name} {version}: {path}\n" in out
