"""Under a memory limit, sizes that could exist but cannot be had raise
MemoryError, where GMP, MPFR and MPC would stop the process."""
import os
import subprocess
import sys

import pytest

CASES = [
    "mpz(1) << 2**35", "mpz(2) ** 2**35", "mpz(1).bit_set(2**35)", "str(mpz(1) << 2**33)",
    "mpc(1+1j, precision=2**34)", "mpfr(1, 2**35)", "fac(2**33)", "fib(2**38)",
]

CHILD = """
import resource, sys
resource.setrlimit(resource.RLIMIT_AS, (4 << 30, 4 << 30))
from vexa2 import *
for code in sys.argv[1:]:
    try:
        eval(code)
    except MemoryError:
        print("MemoryError", flush=True)
    else:
        print("no error", flush=True)
"""


@pytest.mark.thread_unsafe(reason="runs a child process with a memory limit")
@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizers' runtime cannot start under an address-space limit")
def test_impossible_sizes_under_a_memory_limit():
    run = subprocess.run([sys.executable, "-c", CHILD, *CASES], capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr
    assert run.stdout.split("\n")[:len(CASES)] == ["MemoryError"] * len(CASES)
