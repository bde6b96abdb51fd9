"""Objects shared by many threads at once.

On a free-threaded interpreter these run truly in parallel; elsewhere they
still check that nothing depends on one thread's state."""
import threading
from concurrent.futures import ThreadPoolExecutor
from fractions import Fraction

import pytest

import vexa2
from vexa2 import context, mpc, mpfr, mpq, mpz

THREADS = 8

# These tests start their own threads; running each of them in several
# threads at once as well would only multiply the same work.
pytestmark = pytest.mark.thread_unsafe(reason="starts its own threads")


def run_all(fn, n=THREADS):
    barrier = threading.Barrier(n)

    def task(i):
        barrier.wait()
        return fn(i)

    with ThreadPoolExecutor(n) as pool:
        return list(pool.map(task, range(n)))


def test_one_number_read_by_many_threads():
    x = mpz(3) ** 5000 + 1
    expected = int(x) * 7 % (10 ** 40)
    results = run_all(lambda i: [int(x * 7 % (10 ** 40)) for _ in range(200)])
    assert all(r == expected for rs in results for r in rs)


@pytest.mark.parametrize("make", [
    lambda: mpz(7) ** 300, lambda: mpq(7, 3) ** 40, lambda: mpfr("1.1") ** 3, lambda: mpc(1, 2) ** 5,
])
def test_hash_cache_filled_concurrently(make):
    values = [make() for _ in range(THREADS)]
    shared = make()
    hashes = run_all(lambda i: {hash(shared) for _ in range(100)})
    assert all(h == {hash(values[0])} for h in hashes)


def test_objects_made_in_one_thread_freed_in_another():
    made = run_all(lambda i: [mpz(i) ** 40 + k for k in range(500)] + [mpfr(i) / 3 for _ in range(500)])
    # Dropped here, in the main thread, into its caches.
    total = sum(int(v) for batch in made for v in batch[:500])
    assert total == sum(i ** 40 * 500 + sum(range(500)) for i in range(THREADS))
    del made
    assert mpz(5) + 1 == 6


@pytest.mark.parametrize("rounding", [vexa2.RoundToNearest, vexa2.RoundUp, vexa2.RoundDown, vexa2.RoundToZero])
def test_per_thread_contexts_match_a_single_threaded_recomputation(rounding):
    def work(i):
        with context(precision=20 + 7 * i, round=rounding):
            return [mpfr(1) / (k + 3) for k in range(50)] + [mpfr(2) ** mpq(1, k + 2) for k in range(20)]

    parallel = run_all(work)
    serial = [work(i) for i in range(THREADS)]
    for got, want in zip(parallel, serial):
        assert [(v.precision, repr(v)) for v in got] == [(v.precision, repr(v)) for v in want]


def test_shared_context_flags_are_not_lost():
    ctx = context(precision=10)

    def work(i):
        for _ in range(200):
            ctx.clear_flags() if i == 0 else ctx.add(mpfr(1), mpfr("1e-30"))
        return True

    assert all(run_all(work))
    ctx.add(mpfr(1), mpfr("1e-30"))
    assert ctx.inexact


def test_current_context_is_per_thread():
    def work(i):
        vexa2.set_context(context(precision=30 + i))
        for _ in range(100):
            assert vexa2.get_context().precision == 30 + i
        return (mpfr(1) / 3).precision

    assert run_all(work) == [30 + i for i in range(THREADS)]


def test_mixed_operands_with_fractions_in_threads():
    results = run_all(lambda i: mpz(i) + Fraction(1, 2))
    assert results == [mpq(2 * i + 1, 2) for i in range(THREADS)]


def test_math_functions_in_many_threads_agree_with_one():
    # Arb's caches (constants at each precision) are per thread: every
    # thread fills its own, at precisions in a different order.
    work = [(fn, p, mpfr(k) / 7) for fn in ("sin", "exp", "log", "atan", "erf", "lngamma")
            for p in (24, 53, 200, 1500) for k in range(1, 6)]
    def compute(order):
        out = {}
        for fn, p, x in order:
            with context(precision=p):
                r = getattr(vexa2, fn)(x)
            out[fn, p, str(x)] = (str(r), r.rc)
        return out
    expected = compute(work)
    results = run_all(lambda i: compute(work[i::2] + work[:i:-1] + work))
    assert all(r == expected for r in results)


def test_shared_context_settings_changed_while_others_compute():
    # One thread moves the precision and exponent range of a shared context;
    # every result the others get is the one of either setting.
    ctx = context(precision=24)
    allowed = {(context(precision=p).div(1, 3), p) for p in (24, 80)}

    def work(i):
        for k in range(300):
            if i == 0:
                ctx.precision = 80 if k % 2 else 24
                ctx.emin, ctx.emax = (-4000, 4000) if k % 2 else (-1073741823, 1073741823)
            else:
                x = ctx.div(1, 3)
                if (x, x.precision) not in allowed:
                    return False
        return True

    assert all(run_all(work, 4))
