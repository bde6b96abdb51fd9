"""Soak: a mixed workload (all number types, contexts switching, several
threads on a free-threaded interpreter) for a set time, with the resident
memory reported at intervals. After the first interval the memory must stay
flat: a growth beyond GROWTH_BOUND from the lowest later reading fails.

    python scripts/soak.py SECONDS
"""
import gc
import os
import pickle
import random
import sys
import sysconfig
import threading
import time
from fractions import Fraction

import vexa2
from vexa2 import context, mpc, mpfr, mpq, mpz, xmpz

GROWTH_BOUND = 8 << 20      # bytes
REPORTS = 12                # readings over the run


def rss():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def work(rng, stop):
    n = 0
    while not stop.is_set():
        a = mpz(rng.getrandbits(rng.choice((60, 600, 3000)))) + 1
        b = mpz(rng.getrandbits(400)) + 1
        q = mpq(a, b) + Fraction(rng.randint(1, 99), 7)
        with context(precision=rng.choice((53, 113, 400)), round=rng.choice((vexa2.RoundDown, vexa2.RoundUp))):
            f = mpfr(q) * vexa2.sqrt(mpfr(rng.random())) + vexa2.exp(mpfr(-1.5))
            c = mpc(f, 1.5) ** 2 / mpc(1, rng.random())
            s = vexa2.fsum([f, q, 1.25, a % 1000])
        x = xmpz(a)
        x += b
        x <<= 3
        x[5] = 1
        vals = (a // b, a % b, pow(a, b, mpz(2) ** 127 - 1), vexa2.gcd(a, b), vexa2.isqrt(a), vexa2.next_prime(b),
                q.limit_denominator(1000), str(f), format(c, ".20g"), repr(s), hash(q) ^ hash(f),
                pickle.loads(pickle.dumps((a, q, f, c))), vexa2.to_binary(c), int(x), float(mpq(1, b)), complex(c))
        try:
            a // 0
        except ZeroDivisionError:
            pass
        try:
            mpz("12x")
        except ValueError:
            pass
        del vals
        n += 1
    return n


def main(argv):
    seconds = float(argv[0]) if argv else 60.0
    threads = 4 if sysconfig.get_config_var("Py_GIL_DISABLED") else 1
    stop = threading.Event()
    counts = []
    errors = []

    def run(i):
        try:
            counts.append(work(random.Random(i), stop))
        except BaseException as e:  # noqa: BLE001
            errors.append(e)
            stop.set()
            raise

    pool = [threading.Thread(target=run, args=(i,)) for i in range(threads)]
    for t in pool:
        t.start()
    readings = []
    t0 = time.monotonic()
    for k in range(1, REPORTS + 1):
        time.sleep(seconds / REPORTS)
        gc.collect()
        readings.append(rss())
        print("soak: %5.0f s  %7.1f MiB resident" % (time.monotonic() - t0, readings[-1] / 2 ** 20), flush=True)
    stop.set()
    for t in pool:
        t.join()
    settled = readings[1:] or readings
    growth = readings[-1] - min(settled)
    print("soak: %d threads, %d rounds, growth after the first interval %+.1f MiB (bound %.0f MiB)"
          % (threads, sum(counts), growth / 2 ** 20, GROWTH_BOUND / 2 ** 20))
    return 1 if growth > GROWTH_BOUND or errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
