"""Number objects: recycling through the per-thread caches."""
import gc
import os
import threading

import pytest

import vexa2
from vexa2 import mpc, mpfr, mpq, mpz, xmpz

CACHE = 100  # objects each per-thread cache keeps


@pytest.mark.parametrize("make, zero", [
    (lambda: mpz(), 0),
    (lambda: xmpz(), 0),
])
def test_revived_integers_read_zero(make, zero):
    # Fill the cache with dead non-zero values, then take them back.
    junk = [mpz(12345 + i) for i in range(150)] + [xmpz(777 + i) for i in range(150)]
    del junk
    assert all(int(make()) == zero for _ in range(200))


def test_revived_rationals_read_zero():
    junk = [mpq(3 + i, 7) for i in range(150)]
    del junk
    for _ in range(200):
        q = mpq()
        assert float(q) == 0.0 and int(q) == 0


def test_cache_never_keeps_values_alive_across_sizes():
    # Values past the storage limit are freed, small ones recycled; either
    # way new objects must hold exactly what they were given.
    for bits in (10, 64 * 64, 64 * 64 + 1, 100_000):
        xs = [mpz(2**bits + i) for i in range(120)]
        assert [int(x) for x in xs] == [2**bits + i for i in range(120)]
        del xs


def test_objects_die_in_another_thread():
    # An object created here and dropped by another thread goes to that
    # thread's cache; both threads keep working with correct values.
    made = [mpz(i * 10**30) for i in range(300)]
    out = []

    def drop_and_make():
        nonlocal made
        made = None
        gc.collect()
        out.append([int(mpz(i)) for i in range(300)])

    t = threading.Thread(target=drop_and_make)
    t.start()
    t.join()
    assert out == [list(range(300))]
    assert [int(mpz(i)) for i in range(300)] == list(range(300))


def test_many_threads_allocate_concurrently():
    errors = []

    def work(seed):
        try:
            for i in range(2000):
                v = seed * 10**20 + i
                a = mpz(v)
                q = mpq(v, 3)
                f = mpfr(float(i))
                if int(a) != v or float(f) != float(i) or int(q) != v // 3:
                    errors.append((seed, i))
        except Exception as e:  # pragma: no cover - reported below
            errors.append(e)

    threads = [threading.Thread(target=work, args=(s,)) for s in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []


def test_types_cannot_be_subclassed():
    for t in (mpz, xmpz, mpq, mpfr, mpc):
        with pytest.raises(TypeError):
            type("Sub", (t,), {})


def test_mpfr_allocation_follows_context_precision():
    # A 200-bit object dies first; the recycled one must take the new precision.
    with vexa2.context(precision=200):
        x = mpfr(1.5, 0)
        z = mpc(1.5, 0)
    del x, z
    y = mpfr(1.5, 0)
    w = mpc(1.5, 0)
    assert float(y) == 1.5 and y.precision == 53
    assert w.precision == (53, 53) and w == 1.5


def test_shared_list_churn_across_threads():
    # Threads read items of one list while others replace them: items die in
    # whichever thread drops them and are revived there for new values.
    shared = [mpz(i) for i in range(32)]
    errors = []

    def work(seed):
        import random
        rnd = random.Random(seed)
        try:
            for k in range(4000):
                v = shared[rnd.randrange(32)]
                w = v + 1
                shared[rnd.randrange(32)] = w
                f, c = mpfr(k) * 3, mpc(k, 1) * 2
                if int(w) != int(v) + 1 or f != 3 * k or c != complex(2 * k, 2):
                    errors.append((v, w, k))
        except Exception as e:  # pragma: no cover - reported below
            errors.append(repr(e))

    threads = [threading.Thread(target=work, args=(s,)) for s in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []


def _rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


@pytest.mark.thread_unsafe(reason="measures the process's memory")
@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc")
@pytest.mark.skipif("ASAN_OPTIONS" in os.environ, reason="the sanitizer holds freed memory back")
def test_thread_caches_are_emptied_when_threads_end():
    def work():
        # Enough dead objects of every type to fill each cache.
        for _ in range(2):
            junk = [(mpz(i), xmpz(i), mpq(i, 7), mpfr(i), mpc(i, 1)) for i in range(CACHE)]
            del junk

    def run(n):
        for _ in range(n // 20):
            threads = [threading.Thread(target=work) for _ in range(20)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()

    run(200)  # settle the allocators
    gc.collect()
    before = _rss_bytes()
    run(2000)
    gc.collect()
    # Caches kept alive would hold about 130 KiB per finished thread (~260 MiB).
    assert _rss_bytes() - before < 40 * 2**20
