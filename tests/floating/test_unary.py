"""Unary operators, truth value and conversions of mpq, mpfr and mpc."""
import math
from fractions import Fraction

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import context, mpc, mpfr, mpq

finite = st.floats(allow_nan=False, allow_infinity=False)


@given(st.integers(), st.integers(min_value=1))
def test_mpq_unary_against_fraction(n, d):
    q, f = mpq(n, d), Fraction(n, d)
    for got, want in ((-q, -f), (+q, +f), (abs(q), abs(f))):
        assert type(got) is mpq and got == want
    assert bool(q) == bool(f)


def test_mpq_positive_and_absolute_return_self_when_unchanged():
    q = mpq(3, 4)
    assert +q is q and abs(q) is q
    assert abs(mpq(-3, 4)) is not q


@given(finite)
def test_mpfr_unary_against_float(x):
    m = mpfr(x)
    assert float(-m) == -x and math.copysign(1, float(-m)) == math.copysign(1, -x)
    assert float(abs(m)) == abs(x)
    assert float(+m) == x
    assert bool(m) == bool(x)


def test_mpfr_unary_rounds_to_the_context_and_checks():
    x = mpfr("0.1", 200)
    with context(precision=20) as c:
        assert (-x).precision == 20 and abs(x).precision == 20 and (+x).precision == 20
        assert c.inexact
    y = mpfr(2.5)
    assert +y is y  # nothing to round: the object itself
    with context(trap_inexact=True):
        with pytest.raises(vexa2.InexactResultError):
            -x
    assert bool(mpfr("nan")) and bool(mpfr("inf")) and not bool(mpfr("-0"))


@pytest.mark.parametrize("value, rnd, want", [
    ("2.5", vexa2.RoundToNearest, 2),
    ("3.5", vexa2.RoundToNearest, 4),
    ("2.5", vexa2.RoundUp, 3),
    ("-2.5", vexa2.RoundToZero, -2),
    ("-2.5", vexa2.RoundDown, -3),
])
def test_mpfr_int_rounds_with_the_context(value, rnd, want):
    with context(round=rnd):
        assert int(mpfr(value)) == want


@pytest.mark.parametrize("value, exc, msg", [
    ("nan", ValueError, "'mpz' does not support NaN"),
    ("inf", OverflowError, "'mpz' does not support Infinity"),
])
def test_mpfr_int_of_special_values(value, exc, msg):
    with pytest.raises(exc, match=msg):
        int(mpfr(value))


def test_mpfr_float_beyond_double_range_is_infinite():
    assert float(mpfr("1e400")) == math.inf
    assert float(mpfr("-1e400")) == -math.inf


@given(finite, finite)
def test_mpc_unary_against_complex(a, b):
    z, c = mpc(complex(a, b)), complex(a, b)
    assert complex(-z) == -c
    assert complex(+z) == c
    # Python's abs(complex) may be one ulp off, or overflow; MPC's is
    # correctly rounded and becomes infinite past the double range.
    want = math.hypot(a, b)
    assert math.isclose(float(abs(z)), want, rel_tol=2**-51) or math.isinf(want)
    assert bool(z) == bool(c)


def test_mpc_conversions():
    z = mpc(3, 4)
    assert type(abs(z)) is mpfr and abs(z) == 5
    with pytest.raises(TypeError, match="^can't convert 'mpc' to int$"):
        int(z)
    with pytest.raises(TypeError, match="^can't convert 'mpc' to float$"):
        float(z)
    assert complex(mpc("1e400+1j")) == complex(math.inf, 1)
    assert not bool(mpc("-0-0j")) and bool(mpc("0+1j"))
