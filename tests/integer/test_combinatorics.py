"""Factorials, primorials, binomial coefficients, Fibonacci and Lucas numbers."""
import math
import re

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import mpz, xmpz

small = st.integers(0, 3000)


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)")


def same(result, expected):
    return type(result) is mpz and result == expected


def product(start, step):
    r = 1
    for k in range(start, 0, -step):
        r *= k
    return r


def sequence(a, b, n):
    """Term n of the sequence with terms 0 and 1 equal to a and b and s(n) = s(n-1) + s(n-2)."""
    for _ in range(n):
        a, b = b, a + b
    return a


@given(small)
def test_factorials(n):
    assert same(vexa2.fac(n), math.factorial(n))
    assert same(vexa2.double_fac(mpz(n)), product(n, 2))
    assert same(vexa2.multi_fac(n, 7), product(n, 7))


@given(st.integers(0, 2000))
def test_primorial(n):
    primes = [p for p in range(2, n + 1) if all(p % d for d in range(2, math.isqrt(p) + 1))]
    assert same(vexa2.primorial(n), math.prod(primes))


@given(st.integers(-(2**80), 2**80) | st.integers(-50, 300), st.integers(0, 60))
def test_binomials(n, k):
    expected = math.comb(n, k) if n >= 0 else (-1) ** k * math.comb(-n + k - 1, k)
    assert same(vexa2.comb(n, k), expected)
    assert same(vexa2.bincoef(xmpz(n), mpz(k)), expected)


@given(small)
def test_fibonacci_and_lucas(n):
    f, l = sequence(0, 1, n), sequence(2, 1, n)
    assert same(vexa2.fib(n), f) and same(vexa2.lucas(n), l)
    if n > 0:
        assert vexa2.fib2(n) == (f, sequence(0, 1, n - 1))
        assert vexa2.lucas2(n) == (l, sequence(2, 1, n - 1))


@pytest.mark.parametrize("call, expected", [
    (lambda: vexa2.multi_fac(10, 3), 280), (lambda: vexa2.multi_fac(5, 0), 5), (lambda: vexa2.primorial(1), 1),
    (lambda: vexa2.bincoef(-5, 2), 15), (lambda: vexa2.bincoef(2**70, 1), 2**70), (lambda: vexa2.comb(3, 5), 0),
    (lambda: vexa2.comb(2**64 - 1, 2**64 - 1), 1), (lambda: vexa2.comb(-1, 2**64 - 1), -1),
    (lambda: vexa2.fib2(0), (0, 1)), (lambda: vexa2.lucas2(0), (2, -1)),
])
def test_cases(call, expected):
    assert call() == expected


@pytest.mark.parametrize("call, exc, msg", [
    (lambda: vexa2.bincoef(5), TypeError, "bincoef() requires two integer arguments"),
    (lambda: vexa2.comb(1, 2, 3), TypeError, "bincoef() requires two integer arguments"),
    (lambda: vexa2.multi_fac(5), TypeError, "multi_fac() requires 2 integer arguments"),
    (lambda: vexa2.bincoef(5.0, 2), TypeError, "cannot convert object to mpz"),
    (lambda: vexa2.fac(1.0), TypeError, "could not convert object to integer"),
    (lambda: vexa2.fac(mpz(-1)), OverflowError, "value could not be converted to C long"),
    (lambda: vexa2.fac(-1), OverflowError, None),
    (lambda: vexa2.bincoef(5, -1), OverflowError, None),
    (lambda: vexa2.fib(2**64), OverflowError, None),
])
def test_errors(call, exc, msg):
    with (raises(exc, msg) if msg else pytest.raises(exc)):
        call()


@pytest.mark.parametrize("call", [
    lambda: vexa2.fac(10**12), lambda: vexa2.fac(2**64 - 1), lambda: vexa2.double_fac(2**60),
    lambda: vexa2.multi_fac(2**60, 3), lambda: vexa2.primorial(2**62), lambda: vexa2.comb(2**62, 2**61),
    lambda: vexa2.comb(-(2**100), 2**40), lambda: vexa2.comb(2**200, 2**40), lambda: vexa2.fib(2**40),
    lambda: vexa2.fib2(2**63), lambda: vexa2.lucas(2**40), lambda: vexa2.lucas2(2**40),
])
def test_results_too_large_to_exist(call):
    with pytest.raises(MemoryError):
        call()
