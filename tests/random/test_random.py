import subprocess
import sys
import threading
from collections import Counter

import pytest

import vexa2
from vexa2 import (context, mpc_random, mpfr, mpfr_grandom, mpfr_nrandom, mpfr_random,
                   mpz, mpz_random, mpz_rrandomb, mpz_urandomb, random_state)

GENERATORS = [
    lambda s: mpz_random(s, 10**30),
    lambda s: mpz_urandomb(s, 100),
    lambda s: mpz_rrandomb(s, 100),
    mpfr_random,
    mpfr_nrandom,
    mpfr_grandom,
    mpc_random,
]


def draws(state, rounds=3):
    return [g(state) for _ in range(rounds) for g in GENERATORS]


SEQUENCE = """
import vexa2
s = vexa2.random_state(20261209)
print([vexa2.mpz_urandomb(s, 64) for _ in range(5)], vexa2.mpfr_random(s), vexa2.mpc_random(s))
"""


def test_same_seed_same_sequence_in_fresh_processes():
    runs = [subprocess.run([sys.executable, "-c", SEQUENCE], capture_output=True, text=True, check=True).stdout
            for _ in range(2)]
    assert runs[0] == runs[1]
    s = random_state(20261209)
    assert runs[0] == f"{[mpz_urandomb(s, 64) for _ in range(5)]} {mpfr_random(s)} {mpc_random(s)}\n"


def test_seeds():
    assert draws(random_state()) == draws(random_state(0))
    assert draws(random_state(2**100 + 7)) == draws(random_state(mpz(2**100 + 7)))
    seqs = [str(draws(random_state(seed), 1)) for seed in (1, 2, 3, 2**100)]
    assert len(set(seqs)) == len(seqs)


def test_state_object():
    s = random_state(5)
    assert repr(s) == "<vexa2.RandomState>"
    t = type(s)
    assert (t.__name__, t.__module__) == ("random_state", "vexa2")
    assert vexa2.random_state is random_state and not isinstance(random_state, type)
    with pytest.raises(TypeError):
        t()
    with pytest.raises(TypeError):
        type("sub", (t,), {})


def test_degenerate_bounds():
    s = random_state(3)
    assert {mpz_random(s, 1) for _ in range(50)} == {0}
    assert {mpz_urandomb(s, 0) for _ in range(50)} == {0}
    for n in (1, 2, 17, 64, 65):
        v = mpz_rrandomb(s, n)
        assert type(v) is mpz and 2 ** (n - 1) <= v < 2**n
    assert type(mpz_random(s, 7)) is mpz


def test_distributions():
    s = random_state(42)
    n = 100_000
    ints = [mpz_random(s, 1000) for _ in range(n)]
    assert min(ints) == 0 and max(ints) == 999
    assert abs(sum(ints) / n - 499.5) < 5  # standard error about 0.9
    bits = [mpz_urandomb(s, 10) for _ in range(n)]
    assert min(bits) == 0 and max(bits) == 1023
    reals = [float(mpfr_random(s)) for _ in range(n)]
    assert all(0 <= x < 1 for x in reals)
    assert abs(sum(reals) / n - 0.5) < 0.006  # standard error about 0.0009
    normals = [float(mpfr_nrandom(s)) for _ in range(n)]
    mean = sum(normals) / n
    assert abs(mean) < 0.02 and abs(sum(x * x for x in normals) / n - 1) < 0.03
    c = [mpc_random(s) for _ in range(1000)]
    assert all(0 <= z.real < 1 and 0 <= z.imag < 1 for z in c)


def test_context_precision_and_no_flags():
    s = random_state(9)
    with context(precision=100, imag_prec=70) as ctx:
        assert mpfr_random(s).precision == 100
        assert mpfr_nrandom(s).precision == 100
        assert [x.precision for x in mpfr_grandom(s)] == [100, 100]
        assert mpc_random(s).precision == (100, 70)
        assert mpfr_random(s).rc == 0
        assert not ctx.inexact


@pytest.mark.thread_unsafe(reason="starts its own threads and needs the state to itself")
def test_shared_state_across_threads():
    """Draws from one state by several threads are each whole: together
    they are exactly the values one thread draws in sequence."""
    threads, per_thread = 4, 3000
    shared, results = random_state(77), []
    barrier = threading.Barrier(threads)

    def work():
        barrier.wait()
        results.append([mpz_urandomb(shared, 256) for _ in range(per_thread)])

    ts = [threading.Thread(target=work) for _ in range(threads)]
    for t in ts:
        t.start()
    for t in ts:
        t.join()
    seq = random_state(77)
    expected = Counter(mpz_urandomb(seq, 256) for _ in range(threads * per_thread))
    assert Counter(x for r in results for x in r) == expected


@pytest.mark.parametrize(
    "call, exc, msg",
    [
        (lambda: random_state(1, 2), TypeError, "random_state() requires 0 or 1 integer arguments"),
        (lambda: random_state(1.5), TypeError, "seed must be an integer"),
        (lambda: random_state("1"), TypeError, "seed must be an integer"),
        (lambda: mpz_random(random_state()), TypeError, "mpz_random() requires 2 arguments"),
        (lambda: mpz_random(5, 5), TypeError, "mpz_random() requires 'random_state' and 'int' arguments"),
        (lambda: mpz_random(random_state(), 5.0), TypeError,
         "mpz_random() requires 'random_state' and 'int' arguments"),
        (lambda: mpz_random(random_state(), 0), ValueError, "mpz_random() requires a positive bound"),
        (lambda: mpz_random(random_state(), -5), ValueError, "mpz_random() requires a positive bound"),
        (lambda: mpz_urandomb(random_state()), TypeError, "mpz_urandomb() requires 2 arguments"),
        (lambda: mpz_urandomb(random_state(), -1), TypeError,
         "mpz_urandomb() requires 'random_state' and 'bit_count' arguments"),
        (lambda: mpz_urandomb(random_state(), 2**64), TypeError,
         "mpz_urandomb() requires 'random_state' and 'bit_count' arguments"),
        (lambda: mpz_urandomb(None, 5), TypeError,
         "mpz_urandomb() requires 'random_state' and 'bit_count' arguments"),
        (lambda: mpz_urandomb(random_state(), 2**40), ValueError, "mpz_urandomb() bit_count too large"),
        (lambda: mpz_urandomb(random_state(), 2**64 - 1), ValueError, "mpz_urandomb() bit_count too large"),
        (lambda: mpz_rrandomb(random_state(), 1, 2), TypeError, "mpz_rrandomb() requires 2 arguments"),
        (lambda: mpz_rrandomb(random_state(), "8"), TypeError,
         "mpz_rrandomb() requires 'random_state' and 'bit_count' arguments"),
        (lambda: mpz_rrandomb(random_state(), 2**40), ValueError, "mpz_rrandomb() bit_count too large"),
        (lambda: mpfr_random(), TypeError, "mpfr_random() requires 1 argument"),
        (lambda: mpfr_random(5), TypeError, "mpfr_random() requires 'random_state' argument"),
        (lambda: mpfr_nrandom(random_state(), 1), TypeError, "mpfr_nrandom() requires 1 argument"),
        (lambda: mpfr_nrandom(mpfr(1)), TypeError, "mpfr_nrandom() requires 'random_state' argument"),
        (lambda: mpfr_grandom(), TypeError, "mpfr_grandom() requires 1 argument"),
        (lambda: mpfr_grandom(1), TypeError, "mpfr_grandom() requires 'random_state' argument"),
        (lambda: mpc_random(), TypeError, "mpfc_random() requires 1 argument"),
        (lambda: mpc_random(None), TypeError, "mpc_random() requires 'random_state' argument"),
    ],
)
def test_errors(call, exc, msg):
    with pytest.raises(exc) as e:
        call()
    assert str(e.value) == msg
