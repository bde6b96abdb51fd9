"""vexa2 work spread over Dask workers: digits of pi and a prime search.

    python examples/dask_pi_primes.py [--workers N] [--digits D] [--scheduler ADDRESS]

Without --scheduler a LocalCluster of N worker processes (one thread each)
is started on this machine; with it, the same code runs on an existing
cluster (for example one started with `dask scheduler` and `dask worker
ADDRESS` on other machines, each with vexa2 installed).

- pi by the Chudnovsky series: the workers compute the binary-splitting
  products P, Q, T of disjoint ranges of terms as exact mpz; the client
  combines them and does the final square root and division at the
  precision of the digits wanted.
- primes: the workers walk disjoint ranges with next_prime; a serial loop
  with is_prime gives the same list.

Numbers travel between client and workers as pickles (vexa2's portable
binary format). Contexts do not travel: each worker gets its own from the
Vexa2Context plugin, and each task enters a copy of it.
"""
import argparse
import math
import time

import vexa2
from vexa2 import context, mpfr, mpz

try:
    from distributed import Client, LocalCluster, WorkerPlugin, get_worker, wait
except ImportError:  # the module stays importable; running it needs distributed
    WorkerPlugin = object


class Vexa2Context(WorkerPlugin):
    """Gives each worker its vexa2 context (any keyword of vexa2.context).

    Dask runs every task in a copy of the worker's context variables, and
    vexa2's current context is one of them, so the plugin keeps the context
    on the worker and the tasks enter it with `with worker_context():`
    (each task then works in a copy of its own, flags included).
    """

    name = "vexa2-context"

    def __init__(self, **settings):
        self.settings = settings

    def setup(self, worker):
        worker.vexa2_context = context(**self.settings)


TIMEOUT = None  # seconds to wait for a batch of tasks (None: no limit)


def run_tasks(client, fn, *args):
    """fn over the argument lists on the workers; the results in order."""
    futures = client.map(fn, *args, pure=False)
    wait(futures, timeout=TIMEOUT)
    return client.gather(futures)


def worker_context():
    """The context the Vexa2Context plugin gave this worker."""
    return get_worker().vexa2_context


# --- pi: the Chudnovsky series by binary splitting --------------------------

C3_OVER_24 = mpz(640320) ** 3 // 24
DIGITS_PER_TERM = math.log10(640320**3 / 1728)  # about 14.18


def split(a, b):
    """P, Q, T of the terms a <= k < b, exact integers."""
    if b - a == 1:
        if a == 0:
            p = q = mpz(1)
        else:
            p = mpz(6 * a - 5) * (2 * a - 1) * (6 * a - 1)
            q = mpz(a) ** 3 * C3_OVER_24
        t = p * (13591409 + 545140134 * a)
        return p, q, (-t if a & 1 else t)
    m = (a + b) // 2
    return merge(split(a, m), split(m, b))


def merge(left, right):
    """The P, Q, T of two adjacent ranges of terms, left one first."""
    p1, q1, t1 = left
    p2, q2, t2 = right
    return p1 * p2, q1 * q2, t1 * q2 + p1 * t2


def pi_task(a, b):
    with worker_context():
        return split(a, b)


def pi_digits(client, digits, chunks):
    """pi to `digits` decimals (a string "3.14..."), its series split in `chunks` tasks."""
    terms = int(digits / DIGITS_PER_TERM) + 2
    bounds = [terms * i // chunks for i in range(chunks + 1)]
    parts = run_tasks(client, pi_task, bounds[:-1], bounds[1:])
    while len(parts) > 1:  # a balanced tree of merges: the big products last
        parts = [merge(parts[i], parts[i + 1]) if i + 1 < len(parts) else parts[i]
                 for i in range(0, len(parts), 2)]
    _, q, t = parts[0]
    with context(precision=precision_for(digits)):
        return decimals(mpfr(426880) * vexa2.sqrt(mpfr(10005)) * q / t, digits)


def precision_for(digits):
    return int(digits * math.log2(10)) + 64


def decimals(x, digits):
    """The first `digits` decimals of x, cut (not rounded)."""
    return format(x, f".{digits + 8}f")[:digits + 2]


def pi_reference(digits):
    """The same digits from MPFR's own constant."""
    with context(precision=precision_for(digits)):
        return decimals(vexa2.const_pi(), digits)


# --- primes in disjoint ranges ----------------------------------------------

def primes_task(start, stop):
    """The primes start <= p < stop, by next_prime."""
    with worker_context():
        found = []
        p = vexa2.next_prime(start - 1)
        while p < stop:
            found.append(p)
            p = vexa2.next_prime(p)
        return found


def primes(client, start, stop, chunks):
    bounds = [start + (stop - start) * i // chunks for i in range(chunks + 1)]
    parts = run_tasks(client, primes_task, bounds[:-1], bounds[1:])
    return [p for part in parts for p in part]


def primes_serial(start, stop):
    return [mpz(n) for n in range(start, stop) if vexa2.is_prime(n)]


# --- the driver ---------------------------------------------------------------

def context_report(dask_worker):
    c = dask_worker.vexa2_context
    return c.precision, c.round, c.trap_inexact


def run(client, digits, prime_start, prime_span, chunks):
    """Both computations on `client`; returns their times and checks."""
    t0 = time.perf_counter()
    pi = pi_digits(client, digits, chunks)
    t1 = time.perf_counter()
    found = primes(client, prime_start, prime_start + prime_span, chunks)
    t2 = time.perf_counter()
    return {"pi": pi, "pi_seconds": t1 - t0, "primes": found, "primes_seconds": t2 - t1}


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--workers", type=int, default=2)
    ap.add_argument("--digits", type=int, default=100_000)
    ap.add_argument("--prime-start", type=int, default=10**40)
    ap.add_argument("--prime-span", type=int, default=200_000)
    ap.add_argument("--chunks", type=int, default=16)
    ap.add_argument("--scheduler", help="address of a running Dask scheduler")
    args = ap.parse_args()
    if args.scheduler:
        client = Client(args.scheduler)
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               host="127.0.0.1", dashboard_address=None)
        client = Client(cluster)
    with client:
        # Run as a script, the tasks and the plugin travel by value (they live
        # in __main__); imported, the module is sent to every worker.
        if __name__ != "__main__":
            client.upload_file(__file__)
        client.register_plugin(Vexa2Context(precision=256, trap_inexact=False))
        print("workers' contexts (precision, round, trap_inexact):",
              set(client.run(context_report).values()))
        r = run(client, args.digits, args.prime_start, args.prime_span, args.chunks)
        same_pi = r["pi"] == pi_reference(args.digits)
        same_primes = r["primes"] == primes_serial(args.prime_start, args.prime_start + args.prime_span)
        print(f"pi to {args.digits} digits in {r['pi_seconds']:.2f} s, equal to const_pi: {same_pi}")
        print(f"{len(r['primes'])} primes in [{args.prime_start}, +{args.prime_span}) in "
              f"{r['primes_seconds']:.2f} s, equal to the serial loop: {same_primes}")
    return 0 if same_pi and same_primes else 1


if __name__ == "__main__":
    raise SystemExit(main())
