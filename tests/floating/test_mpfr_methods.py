"""mpfr rounding protocol, exact decompositions, parts, exponent and sign."""
import math
import sys
from fractions import Fraction

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import context, copy_sign, get_exp, mpc, mpfr, mpq, mpz, set_exp, set_sign

finite = st.floats(allow_nan=False, allow_infinity=False)


@given(finite)
def test_integer_rounding_agrees_with_float(x):
    m = mpfr(x)
    for f in (math.trunc, math.floor, math.ceil, round):
        got = f(m)
        assert type(got) is mpz and got == f(x)
    assert m.as_integer_ratio() == x.as_integer_ratio()
    assert all(type(v) is mpz for v in m.as_integer_ratio())


@given(finite, st.integers(-330, 330))
def test_round_ndigits_agrees_with_float(x, n):
    try:
        want = round(x, n)
    except OverflowError:
        return  # beyond the double range; mpfr has room for it
    got = round(mpfr(x), n)
    assert type(got) is mpfr and got.precision == 53
    assert float(got) == want and math.copysign(1, float(got)) == math.copysign(1, want)


@pytest.mark.parametrize("x, n, rnd, want", [
    ("2.5", 0, vexa2.RoundToNearest, "2"),
    ("3.5", 0, vexa2.RoundToNearest, "4"),
    ("2.25", 1, vexa2.RoundUp, "2.3"),
    ("-2.25", 1, vexa2.RoundUp, "-2.2"),
    ("-2.25", 1, vexa2.RoundDown, "-2.3"),
    ("2.25", 1, vexa2.RoundToZero, "2.2"),
    ("-2.25", 1, vexa2.RoundAwayZero, "-2.3"),
    ("0.001", 2, vexa2.RoundUp, "0.01"),       # |x * 10**n| < 1/2
    ("-0.001", 2, vexa2.RoundDown, "-0.01"),
    ("-0.001", 2, vexa2.RoundToNearest, "-0"),
    ("1234", -2, vexa2.RoundUp, "1300"),
    ("1234", -5, vexa2.RoundUp, "100000"),
    ("1234", -5, vexa2.RoundToZero, "0"),
])
def test_round_ndigits_follows_the_context_rounding(x, n, rnd, want):
    with context(round=rnd):  # the final rounding to 53 bits goes the same way
        got, want = round(mpfr(x), n), mpfr(want)
    assert got == want and got.is_signed() == want.is_signed()


def test_round_special_cases():
    assert round(mpfr(2.5)) == 2
    with context(round=vexa2.RoundUp):
        assert round(mpfr(2.5)) == 3
    inf = mpfr("inf")
    assert round(inf, 2) is inf
    x = mpfr("1.23456789", 200)
    assert round(x, 3).precision == 200 and round(x, 3) == mpfr("1.235", 200)
    assert round(mpfr(1.5), 10**18) == 1.5 and round(mpfr(1.5), -10**18) == 0
    big = mpfr("1e300") * mpfr("1e300")   # needs huge intermediate integers
    assert round(big, -10**6) == 0
    huge = mpfr(2) ** (2**25) + 2 ** (2**25 - 60)  # past the exact method's size limit
    assert round(huge, -1) == huge


@pytest.mark.parametrize("call, exc, msg", [
    (lambda: int(mpfr("nan")), ValueError, "'mpz' does not support NaN"),
    (lambda: math.floor(mpfr("-inf")), OverflowError, "'mpz' does not support Infinity"),
    (lambda: round(mpfr(1.5), "a"), TypeError, "__round__() requires 'int' argument"),
    (lambda: mpfr("inf").as_integer_ratio(), OverflowError, "Cannot pass Infinity to mpfr.as_integer_ratio."),
    (lambda: mpfr("nan").as_integer_ratio(), ValueError, "Cannot pass NaN to mpfr.as_integer_ratio."),
    (lambda: mpfr("-inf").as_mantissa_exp(), OverflowError, "Cannot pass Infinity to mpfr.as_mantissa_exp."),
    (lambda: mpfr("nan").as_mantissa_exp(), ValueError, "Cannot pass NaN to mpfr.as_mantissa_exp."),
    (lambda: mpfr("inf").as_simple_fraction(), OverflowError, "Cannot convert Infinity to a number."),
    (lambda: mpfr("nan").as_simple_fraction(), ValueError, "Cannot convert NaN to a number."),
    (lambda: mpfr(1.5).as_simple_fraction(precision=1), ValueError, "Requested precision out-of-bounds."),
    (lambda: mpfr(1.5).as_simple_fraction(54), ValueError, "Requested precision out-of-bounds."),
    (lambda: get_exp(1.0), TypeError, "get_exp() requires 'mpfr' argument"),
    (lambda: set_exp(mpfr(1), 1.0), TypeError, "set_exp() requires 'mpfr', 'integer' arguments"),
    (lambda: set_exp(mpfr(1), 10**30), ValueError, "exponent too large"),
    (lambda: set_sign(mpfr(1), 1.0), TypeError, "set_sign() requires 'mpfr', 'boolean' arguments"),
    (lambda: copy_sign(mpfr(1), 1.0), TypeError, "copy_sign() requires 'mpfr', 'mpfr' arguments"),
])
def test_errors(call, exc, msg):
    with pytest.raises(exc) as e:
        call()
    assert str(e.value) == msg


def test_floor_of_a_wide_value_is_exact():
    x = mpfr(f"{2**100 + 2**60}.5", 200)
    assert math.floor(x) == 2**100 + 2**60 and math.ceil(x) == 2**100 + 2**60 + 1
    with context(trap_inexact=True):
        with pytest.raises(vexa2.InexactResultError):
            math.trunc(mpfr(2.5))


@given(st.integers(10, 10_000), st.integers(), st.integers(1, 2**64), st.integers(-20000, 20000))
def test_as_integer_ratio_is_exact(prec, a, b, e):
    x = mpfr(Fraction(a, b) * Fraction(2) ** e, prec)
    n, d = x.as_integer_ratio()
    m, ex = x.as_mantissa_exp()
    exact = Fraction(int(m)) * Fraction(2) ** int(ex) if m else Fraction(0)
    assert Fraction(int(n), int(d)) == exact == Fraction(mpq(x))
    assert d > 0 and math.gcd(int(n), int(d)) == 1
    assert m == 0 or int(abs(m)).bit_length() == prec


def test_decompositions():
    assert mpfr(0.75).as_integer_ratio() == (3, 4)
    assert mpfr(0).as_integer_ratio() == (0, 1) and mpfr(-6).as_integer_ratio() == (-6, 1)
    assert mpfr(0.75).as_mantissa_exp() == (3 * 2**51, -53) and mpfr(0).as_mantissa_exp() == (0, 1)
    assert mpfr(0).as_simple_fraction() == 0 and type(mpfr(0).as_simple_fraction()) is mpq
    assert mpfr(0.1).as_simple_fraction() == mpq(1, 10)
    assert mpfr(-3.14159).as_simple_fraction(precision=20) == mpq(-9918, 3157)
    assert mpfr(4).as_simple_fraction() == 4 and type(mpfr(4).as_simple_fraction()) is mpq


def test_parts_and_size():
    x = mpfr(1.5, 100)
    assert x.real is x and x.conjugate() is x
    assert x.imag == 0 and not x.imag.is_signed() and x.imag.precision == 53
    assert sys.getsizeof(mpfr(1, 200)) - sys.getsizeof(mpfr(1, 64)) == 24


def test_exponent_and_sign():
    assert get_exp(mpfr(1)) == 1 and get_exp(mpfr(0)) == 0 and get_exp(mpfr(0.1)) == math.frexp(0.1)[1]
    with context() as c:
        assert get_exp(mpfr("inf")) == 0 and c.erange
    with context(trap_erange=True):
        with pytest.raises(vexa2.RangeError, match="Can not get exponent from NaN or Infinity."):
            get_exp(mpfr("nan"))
    assert set_exp(mpfr(1), 10) == 512 and set_exp(mpfr(1, 100), 3).precision == 100
    with context(emax=100) as c:
        y = set_exp(mpfr(3), 101)
        assert y == 3 and y.rc != 0 and c.erange
    with context(emax=100, trap_erange=True):
        with pytest.raises(vexa2.RangeError, match="new exponent is out-of-bounds"):
            set_exp(mpfr(3), 101)
    assert set_sign(mpfr(2), 1) == -2 and set_sign(mpfr(-2), False) == 2 and set_sign(mpfr(2), True) == -2
    assert copy_sign(mpfr(2), mpfr("-0")) == -2 and copy_sign(mpfr(-2), mpfr(1)) == 2
    assert set_sign(mpfr("nan"), 1).is_signed()


@pytest.mark.parametrize("convert", [
    math.floor, int, round, lambda x: x.as_integer_ratio(), lambda x: x.as_simple_fraction(),
])
@pytest.mark.parametrize("exponent", [2**61, -2**61])
def test_impossible_integers_raise_memory_error(convert, exponent):
    with context(emax=vexa2.get_emax_max(), emin=vexa2.get_emin_min()):
        x = set_exp(mpfr(1.5), exponent)
        if exponent < 0 and convert in (math.floor, int, round):
            assert convert(x) == 0
            return
        with pytest.raises(MemoryError):
            convert(x)


ROUNDINGS = {vexa2.RoundToNearest: round, vexa2.RoundToZero: math.trunc, vexa2.RoundUp: math.ceil,
             vexa2.RoundDown: math.floor, vexa2.RoundAwayZero: lambda q: math.ceil(q) if q > 0 else math.floor(q)}


@given(st.integers(2, 300), st.integers(-2**70, 2**70), st.integers(-80, 10), st.sampled_from(list(ROUNDINGS)))
def test_integer_rounding_at_any_precision(prec, m, e, rnd):
    q = Fraction(m) * Fraction(2) ** e
    x = mpfr(q, prec)
    q = Fraction(mpq(x))
    for f in (math.trunc, math.floor, math.ceil):
        assert f(x) == f(q)
    with context(round=rnd):
        assert round(x) == int(ROUNDINGS[rnd](q))
