"""Probable-prime tests against trial division and published pseudoprime lists."""
import math
import re

import pytest

import vexa2
from vexa2 import mpz


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)")


LIMIT = 10**5
SIEVE = bytearray([1]) * LIMIT
SIEVE[0] = SIEVE[1] = 0
for _i in range(2, math.isqrt(LIMIT) + 1):
    if SIEVE[_i]:
        SIEVE[_i * _i::_i] = bytes(len(range(_i * _i, LIMIT, _i)))

# Each test with fixed parameters, and the odd composites below LIMIT it
# must pass (published lists: strong, Euler and Fermat pseudoprimes to base 2;
# Lucas and strong Lucas pseudoprimes with Selfridge's parameters).
TESTS = {
    "fermat2": (lambda n: vexa2.is_fermat_prp(n, 2), None),
    "euler2": (lambda n: vexa2.is_euler_prp(n, 2), None),
    "strong2": (lambda n: vexa2.is_strong_prp(n, 2), [
        2047, 3277, 4033, 4681, 8321, 15841, 29341, 42799, 49141, 52633, 65281, 74665, 80581, 85489, 88357,
        90751]),
    "fibonacci": (lambda n: vexa2.is_fibonacci_prp(n, 1, -1), None),
    "lucas": (lambda n: vexa2.is_lucas_prp(n, 1, -1), None),
    "strong_lucas": (lambda n: vexa2.is_strong_lucas_prp(n, 1, -1), None),
    "extra_strong": (lambda n: vexa2.is_extra_strong_lucas_prp(n, 3), None),
    "selfridge": (vexa2.is_selfridge_prp, None),
    "strong_selfridge": (vexa2.is_strong_selfridge_prp, [
        5459, 5777, 10877, 16109, 18971, 22499, 24569, 25199, 40309, 58519, 75077, 97439]),
    "bpsw": (vexa2.is_bpsw_prp, []),
    "strong_bpsw": (vexa2.is_strong_bpsw_prp, []),
}
FERMAT2_BELOW_3000 = [341, 561, 645, 1105, 1387, 1729, 1905, 2047, 2465, 2701, 2821]
EULER2_BELOW_10000 = [561, 1105, 1729, 1905, 2047, 2465, 3277, 4033, 4681, 6601, 8321, 8481]
SELFRIDGE_BELOW_20000 = [323, 377, 1159, 1829, 3827, 5459, 5777, 9071, 9179, 10877, 11419, 11663, 13919, 14839,
                         16109, 16211, 18407, 18971, 19043]
CARMICHAEL = [561, 1105, 1729, 2465, 2821, 6601, 8911, 10585, 15841, 29341, 41041, 46657, 52633, 62745, 63973, 75361]


@pytest.fixture(scope="module")
def passing_composites():
    """Every test run on every n below LIMIT: primes must pass; the composites that pass, by test."""
    out = {name: [] for name in TESTS}
    for n in range(1, LIMIT):
        for name, (test, _) in TESTS.items():
            try:
                passed = test(n)
            except ValueError:  # n shares a factor with the parameters
                assert not SIEVE[n], (name, n)
                continue
            if passed:
                if not SIEVE[n]:
                    out[name].append(n)
            else:
                assert not SIEVE[n], (name, n)
    return out


@pytest.mark.parametrize("name", [k for k, v in TESTS.items() if v[1] is not None])
def test_composites_passing_are_the_published_ones(passing_composites, name):
    assert passing_composites[name] == TESTS[name][1]


def test_pseudoprime_lists(passing_composites):
    got = passing_composites
    assert [n for n in got["fermat2"] if n < 3000] == FERMAT2_BELOW_3000
    assert [n for n in got["euler2"] if n < 10000] == EULER2_BELOW_10000
    assert [n for n in got["selfridge"] if n < 20000] == SELFRIDGE_BELOW_20000
    assert [n for n in got["fibonacci"] if n < 3000] == [705, 2465, 2737]
    assert set(got["strong_selfridge"]) <= set(got["selfridge"])
    assert set(got["strong_lucas"]) <= set(got["lucas"])
    assert set(got["strong2"]) <= set(got["euler2"]) <= set(got["fermat2"])
    # Carmichael numbers pass the Fermat test to every base prime to them.
    assert all(vexa2.is_fermat_prp(n, a) for n in CARMICHAEL for a in (2, 7, 11, 13) if math.gcd(n, a) == 1)


def lucas_uv_mod(p, q, k, n):
    u0, u1, v0, v1 = 0, 1, 2, p
    for _ in range(k):
        u0, u1, v0, v1 = u1, (p * u1 - q * u0) % n, v1, (p * v1 - q * v0) % n
    return u0 % n, v0 % n


def extra_strong_direct(n, p):
    d = p * p - 4
    m = n - vexa2.jacobi(d, n)
    s = (m & -m).bit_length() - 1
    u, v = lucas_uv_mod(p, 1, m >> s, n)
    if (u == 0 and v in (2, n - 2)) or v == 0:
        return True
    return any(lucas_uv_mod(p, 1, (m >> s) << r, n)[1] == 0 for r in range(1, s - 1))


def test_extra_strong_lucas_matches_its_definition():
    for p in (3, 4, 7):
        for n in range(3, 2500, 2):
            if math.gcd(n, 2 * (p * p - 4)) in (1, n):
                assert vexa2.is_extra_strong_lucas_prp(n, p) == extra_strong_direct(n, p), (n, p)


@pytest.mark.parametrize("n", [2**127 - 1, 2**521 - 1, mpz(10**100 + 267), 2**607 - 1])
def test_large_primes_pass_every_test(n):
    assert all(test(n) for test, _ in TESTS.values())
    assert not any(test(n * (2**61 - 1)) for name, (test, _) in TESTS.items() if "bpsw" in name)


@pytest.mark.parametrize("n, expected", [(1, False), (2, True), (4, False), (mpz(2**100), False)])
def test_small_and_even_n(n, expected):
    assert all(test(n) is expected for test, _ in TESTS.values())
    assert vexa2.is_fermat_prp(n, n * 2 + 2) == expected  # no gcd check for even n


def test_squares_are_refused_by_the_selfridge_search():
    for n in (10007**2, (2**61 - 1) ** 2, 9, 25):
        assert not vexa2.is_selfridge_prp(n) and not vexa2.is_strong_selfridge_prp(n)


@pytest.mark.parametrize("call, exc, msg", [
    (lambda: vexa2.is_fermat_prp(7), TypeError, "is_fermat_prp() requires 2 integer arguments"),
    (lambda: vexa2.is_fermat_prp(7, 2.0), TypeError, "is_fermat_prp() requires 2 integer arguments"),
    (lambda: vexa2.is_fermat_prp(7, 1), ValueError, "is_fermat_prp() requires 'a' greater than or equal to 2"),
    (lambda: vexa2.is_fermat_prp(0, 1), ValueError, "is_fermat_prp() requires 'a' greater than or equal to 2"),
    (lambda: vexa2.is_fermat_prp(0, 2), ValueError, "is_fermat_prp() requires 'n' be greater than 0"),
    (lambda: vexa2.is_fermat_prp(9, 3), ValueError, "is_fermat_prp() requires gcd(n,a) == 1"),
    (lambda: vexa2.is_euler_prp(7, 2, 3), TypeError, "is_euler_prp() requires 2 integer arguments"),
    (lambda: vexa2.is_euler_prp(7, -2), ValueError, "is_euler_prp() requires 'a' greater than or equal to 2"),
    (lambda: vexa2.is_euler_prp(-7, 2), ValueError, "is_euler_prp() requires 'n' be greater than 0"),
    (lambda: vexa2.is_euler_prp(15, 10), ValueError, "is_euler_prp() requires gcd(n,a) == 1"),
    (lambda: vexa2.is_strong_prp("7", 2), TypeError, "is_strong_prp() requires 2 integer arguments"),
    (lambda: vexa2.is_strong_prp(7, 0), ValueError, "is_strong_prp() requires 'a' greater than or equal to 2"),
    (lambda: vexa2.is_strong_prp(0, 2), ValueError, "is_strong_prp() requires 'n' be greater than 0"),
    (lambda: vexa2.is_strong_prp(21, 7), ValueError, "is_strong_prp() requires gcd(n,a) == 1"),
    (lambda: vexa2.is_fibonacci_prp(7, 1), TypeError, "is_fibonacci_prp() requires 3 integer arguments"),
    (lambda: vexa2.is_fibonacci_prp(7, 1, 2), ValueError, "invalid values for p,q in is_fibonacci_prp()"),
    (lambda: vexa2.is_fibonacci_prp(7, 0, 1), ValueError, "invalid values for p,q in is_fibonacci_prp()"),
    (lambda: vexa2.is_fibonacci_prp(7, 2, 1), ValueError, "invalid values for p,q in is_fibonacci_prp()"),
    (lambda: vexa2.is_fibonacci_prp(0, 1, -1), ValueError, "is_fibonacci_prp() requires 'n' be greater than 0"),
    (lambda: vexa2.is_lucas_prp(7, 1), TypeError, "is_lucas_prp() requires 3 integer arguments"),
    (lambda: vexa2.is_lucas_prp(7, 2, 1), ValueError, "invalid values for p,q in is_lucas_prp()"),
    (lambda: vexa2.is_lucas_prp(0, 1, -1), ValueError, "is_lucas_prp() requires 'n' be greater than 0"),
    (lambda: vexa2.is_lucas_prp(15, 1, -1), ValueError, "is_lucas_prp() requires gcd(n,2*q*D) == 1"),
    (lambda: vexa2.is_strong_lucas_prp(7, 1, 1.5), TypeError, "is_strong_lucas_prp() requires 3 integer arguments"),
    (lambda: vexa2.is_strong_lucas_prp(7, 2, 1), ValueError, "invalid values for p,q in is_strong_lucas_prp()"),
    (lambda: vexa2.is_strong_lucas_prp(-1, 1, -1), ValueError,
     "is_strong_lucas_prp() requires 'n' be greater than 0"),
    (lambda: vexa2.is_strong_lucas_prp(15, 1, -1), ValueError, "is_strong_lucas_prp() requires gcd(n,2*q*D) == 1"),
    (lambda: vexa2.is_extra_strong_lucas_prp(7), TypeError, "is_extra_strong_lucas_prp() requires 2 integer arguments"),
    (lambda: vexa2.is_extra_strong_lucas_prp(7, 2), ValueError, "invalid value for p in is_extra_strong_lucas_prp()"),
    (lambda: vexa2.is_extra_strong_lucas_prp(0, 3), ValueError,
     "is_extra_strong_lucas_prp() requires 'n' be greater than 0"),
    (lambda: vexa2.is_extra_strong_lucas_prp(15, 3), ValueError,
     "is_extra_strong_lucas_prp() requires gcd(n,2*D) == 1"),
    (lambda: vexa2.is_selfridge_prp(), TypeError, "is_selfridge_prp() requires 1 integer argument"),
    (lambda: vexa2.is_selfridge_prp(0), ValueError, "is_selfridge_prp() requires 'n' be greater than 0"),
    (lambda: vexa2.is_strong_selfridge_prp(1, 2), TypeError, "is_strong_selfridge_prp() requires 1 integer argument"),
    (lambda: vexa2.is_strong_selfridge_prp(-3), ValueError,
     "is_strong_selfridge_prp() requires 'n' be greater than 0"),
    (lambda: vexa2.is_bpsw_prp(1.0), TypeError, "is_bpsw_prp() requires 1 integer argument"),
    (lambda: vexa2.is_bpsw_prp(0), ValueError, "is_bpsw_prp() requires 'n' be greater than 0"),
    (lambda: vexa2.is_strong_bpsw_prp(None), TypeError, "is_strong_bpsw_prp() requires 1 integer argument"),
    (lambda: vexa2.is_strong_bpsw_prp(-5), ValueError, "is_strong_bpsw_prp() requires 'n' be greater than 0"),
])
def test_errors(call, exc, msg):
    with raises(exc, msg):
        call()


@pytest.mark.parametrize("call, expected", [
    (lambda: vexa2.is_lucas_prp(5, 1, -1), True),  # gcd(2*q*D, n) == n: no error, the test runs
    (lambda: vexa2.is_lucas_prp(9, 1, 2), False),
    (lambda: vexa2.is_selfridge_prp(5), True),
    (lambda: vexa2.is_selfridge_prp(9), False),
    (lambda: vexa2.is_selfridge_prp(25), False),
    (lambda: vexa2.is_euler_prp(341, 2), False),
    (lambda: vexa2.is_strong_prp(341, 2), False),
    (lambda: vexa2.is_bpsw_prp(2047), False),
])
def test_spot_values(call, expected):
    assert call() is expected
