"""Parallel scaling: the throughput of 2 threads against 1 doing the same
independent work (each thread makes its own operands, except in the case
that says it shares them).

On a free-threaded interpreter every case is run as is; with the GIL only
the large integer work is run, with allow_release_gil=True, since nothing
else can overlap there. A ratio of 2.0 is perfect scaling.

Usage: scaling.py [seconds per measurement, default 1.0]
"""
import sys
import sysconfig
import threading
import time

import vexa2

FREE_THREADED = bool(sysconfig.get_config_var("Py_GIL_DISABLED"))


def worker(stmt, operands, **context):
    """A thread's work: `stmt` on the locals x and y, 100 times per look at
    the stop flag, under a context with the given fields. The statement is
    compiled into the loop so that no call of ours is measured with it."""
    ns = {}
    exec("def loop(stop, x, y):\n    n = 0\n    while not stop.is_set():\n"
         f"        for _ in range(100):\n            {stmt}\n        n += 100\n    return n\n", ns)
    loop = ns["loop"]

    def work(stop):
        with vexa2.context(vexa2.get_context(), **context):
            return loop(stop, *operands())
    return work


SHARED = (vexa2.mpfr(1.5), vexa2.mpfr(2.25))
# Made at run time: constants are immortal on the free-threaded build.
SHARED_FLOATS = (float("1.5"), float("2.25"))

big_mul = worker("x * y", lambda: (vexa2.mpz(7) ** 118_000, vexa2.mpz(3) ** 209_000),  # about 10**5 digits each
                 allow_release_gil=True)
mpfr_1000 = worker("x * y + x", lambda: (vexa2.sqrt(vexa2.mpfr(2)), vexa2.sqrt(vexa2.mpfr(3))), precision=1000)
mpz_small = worker("x + y", lambda: (vexa2.mpz(1234567), vexa2.mpz(7654321)))
mpz_compare = worker("x < y", lambda: (vexa2.mpz(1234567), vexa2.mpz(7654321)))
mpfr_53 = worker("x + y", lambda: (vexa2.mpfr(1.5), vexa2.mpfr(2.25)))
# Both threads read the same two objects: their reference counts are shared.
mpfr_53_shared = worker("x + y", lambda: SHARED)
# Python's own float, for reference: what the interpreter itself scales to,
# with each thread's own operands and with shared ones.
float_add = worker("x + y", lambda: (float("1.5"), float("2.25")))
float_add_shared = worker("x + y", lambda: SHARED_FLOATS)


def throughput(work, threads, seconds):
    stop = threading.Event()
    counts = [0] * threads

    def run(i):
        counts[i] = work(stop)

    ts = [threading.Thread(target=run, args=(i,)) for i in range(threads)]
    for t in ts:
        t.start()
    time.sleep(seconds)
    stop.set()
    for t in ts:
        t.join()
    return sum(counts) / seconds


def main(argv):
    seconds = float(argv[1]) if len(argv) > 1 else 1.0
    cases = [("mpz * mpz, 10**5 digits", big_mul)]
    if FREE_THREADED:
        cases += [("mpfr * + , 1000 bits", mpfr_1000), ("mpz +, 1 limb", mpz_small),
                  ("mpz <, 1 limb", mpz_compare), ("mpfr +, 53 bits", mpfr_53),
                  ("mpfr +, 53 bits, shared operands", mpfr_53_shared), ("float + (Python's own)", float_add),
                  ("float +, shared operands", float_add_shared)]
    print(f"{'case':32s} {'1 thread ops/s':>16s} {'2 threads ops/s':>16s} {'ratio':>6s}"
          f"   ({'free-threaded' if FREE_THREADED else 'with GIL, lock released'})")
    for name, work in cases:
        one = throughput(work, 1, seconds)
        two = throughput(work, 2, seconds)
        print(f"{name:32s} {one:16.0f} {two:16.0f} {two / one:6.2f}", flush=True)


if __name__ == "__main__":
    main(sys.argv)
