"""Ctrl-C during loops that vexa2 runs itself: KeyboardInterrupt arrives
promptly (the loops look for signals between their GMP/MPFR calls) and the
module keeps working after it."""
import os
import signal
import subprocess
import sys
import textwrap
import threading
import time

import pytest

# Each workload runs for far longer than the test waits (minutes without the interrupt).
LOOPS = {
    "prev_prime": "prev_prime(mpz(2) ** 6000)",
    "is_strong_prp": "is_strong_prp(mpz(2) ** 200000 + 1, 3)",
    "is_strong_bpsw_prp": "is_strong_bpsw_prp(mpz(2) ** 200000 + 1)",
    "Lucas ladder": "is_strong_lucas_prp(mpz(2) ** 60000 + 1, 3, -1)",
    "lucasu_mod": "lucasu_mod(3, -1, mpz(2) ** 30000000 + 12345, mpz(10) ** 300 + 7)",
    "powmod_base_list": "powmod_base_list([mpz(3) ** 3000] * 2000, mpz(7) ** 3000, mpz(2) ** 9000 - 1)",
    "powmod_exp_list": "powmod_exp_list(mpz(3) ** 3000, [mpz(7) ** 3000] * 2000, mpz(2) ** 9000 - 1)",
    "fsum over a generator": "fsum(x for x in itertools.repeat(1.5))",
    "bit iterator": "sum(xmpz((mpz(1) << 10 ** 8) - 1).iter_set())",
    "continued fraction": "with context(precision=100000): sqrt(mpfr(2)).as_simple_fraction()",
    "limit_denominator": "mpq(mpz(3) ** 3000000, mpz(2) ** 4700000).limit_denominator(mpz(2) ** 1000000)",
    "gcd of many": "gcd(*[mpz(3) ** 20000 * 5] * 3000000)",
}

CHILD = textwrap.dedent("""
    import itertools, sys, time
    from vexa2 import *
    print("start", flush=True)
    try:
        exec(sys.argv[1])
        print("finished", flush=True)
    except KeyboardInterrupt:
        print("interrupted", flush=True)
    assert mpz(2) ** 100 + 1 == 2 ** 100 + 1 and str(mpfr(1) / 3)[:6] == "0.3333"
    print("works", flush=True)
""")


@pytest.mark.thread_unsafe(reason="starts a child process and signals it")
@pytest.mark.skipif(sys.platform == "win32", reason="POSIX signals")
@pytest.mark.parametrize("code", LOOPS.values(), ids=LOOPS.keys())
def test_interrupt_arrives(code):
    p = subprocess.Popen([sys.executable, "-c", CHILD, code], stdout=subprocess.PIPE, text=True)
    try:
        assert p.stdout.readline() == "start\n"
        time.sleep(1.0)  # operands built, well inside the loop
        t0 = time.monotonic()
        os.kill(p.pid, signal.SIGINT)
        guard = threading.Timer(30, p.kill)  # a loop deaf to the signal fails, not hangs
        guard.start()
        line = p.stdout.readline()
        guard.cancel()
        latency = time.monotonic() - t0
        assert line == "interrupted\n"
        assert p.stdout.readline() == "works\n"
        p.wait(10)
    finally:
        p.kill()
        p.wait()
    # About 100 ms on a quiet machine; the bound allows for a loaded one.
    assert latency < 1.5, latency
    if os.environ.get("VEXA2_SHOW_LATENCY"):
        print("latency %.3f s" % latency, file=sys.stderr)
