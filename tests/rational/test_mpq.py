"""mpq methods and the rational module functions, with fractions.Fraction as the reference."""
import decimal
import math
import statistics
from fractions import Fraction

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import (RoundAwayZero, RoundDown, RoundToZero, RoundUp, context, denom, f2q, mpc, mpfr, mpq,
                   mpz, numer, qdiv, xmpz)

rationals = st.builds(Fraction, st.integers(-10**40, 10**40), st.integers(1, 10**30))


@given(rationals, st.integers(1, 10**12))
def test_limit_denominator_like_fraction(f, m):
    assert mpq(f).limit_denominator(m) == f.limit_denominator(m)


@given(rationals, st.integers(-12, 12))
def test_rounding_like_fraction(f, nd):
    q = mpq(f)
    assert round(q) == round(f) and type(round(q)) is mpz
    assert round(q, nd) == round(f, nd) and type(round(q, nd)) is mpq
    assert (math.floor(q), math.ceil(q), math.trunc(q)) == (math.floor(f), math.ceil(f), math.trunc(f))
    assert q.as_integer_ratio() == f.as_integer_ratio()
    assert all(type(p) is mpz for p in q.as_integer_ratio())


@pytest.mark.parametrize("mode, x, nd, expected", [
    (RoundUp, mpq(1, 3), None, 1),
    (RoundDown, mpq(1, 3), None, 0),
    (RoundAwayZero, mpq(-1, 3), None, -1),
    (RoundToZero, mpq(-5, 3), None, -1),
    (RoundUp, mpq(1, 3), 2, mpq(17, 50)),
    (RoundDown, mpq(-1, 3), -1, mpq(-10)),
    (RoundUp, mpq(1, 3), -10**30, None),          # the result 10**(10**30) cannot exist
    (RoundDown, mpq(1, 3), -10**30, 0),
    (RoundUp, mpq(7), 10**30, 7),
])
def test_round_modes(mode, x, nd, expected):
    with context(round=mode):
        if expected is None:
            with pytest.raises(MemoryError):
                round(x, nd)
        else:
            r = round(x) if nd is None else round(x, nd)
            assert r == expected and type(r) is (mpz if nd is None else mpq)


def test_methods_and_attributes():
    q = mpq(7, 2)
    assert q.real is q and q.conjugate() is q and q.imag == 0 and type(q.imag) is mpz
    assert not q.is_integer() and mpq(6, 3).is_integer()
    assert mpq(10**3000, 3).__sizeof__() > mpq(1).__sizeof__() > 0  # beyond any cached value's limbs
    assert mpq(1, 3).limit_denominator() is not None
    same = mpq(1, 3)
    assert same.limit_denominator(1000000) is same
    assert mpq(3141593, 1000000).limit_denominator(max_denominator=100) == mpq(311, 99)
    assert mpq(3141593, 1000000).limit_denominator(mpz(100)) == mpq(311, 99)
    assert mpq.from_float(0.1) == mpq(3602879701896397, 36028797018963968)
    assert mpq.from_decimal(decimal.Decimal("-1.25")) == mpq(-5, 4)
    assert type(mpq.from_float(2.0)) is mpq and q.digits(16) == "0x7/0x2"


@pytest.mark.parametrize("call, exc, msg", [
    (lambda: mpq(1, 3).__round__(3, 4), TypeError, "Too many arguments for __round__()"),
    (lambda: round(mpq(1, 3), "a"), TypeError, "__round__() requires 'int' argument"),
    (lambda: mpq.from_float(), TypeError, "missing 1 required positional argument"),
    (lambda: mpq.from_float(float("inf")), OverflowError, None),
    (lambda: mpq(1, 3).limit_denominator(0), ValueError, "max_denominator should be at least 1"),
    (lambda: mpq(1, 3).limit_denominator(max_denominator=10.0), TypeError,
     "limit_denominator() takes an integer argument 'max_denominator'"),
    (lambda: mpq(1, 3).limit_denominator(1, 2), TypeError, "limit_denominator() takes at most 1 positional arguments"),
    (lambda: mpq(1, 3).limit_denominator(a=1, b=2), TypeError, "limit_denominator() takes at most 1 keyword arguments"),
    (lambda: mpq(1, 3).limit_denominator(m=1), TypeError, "got an invalid keyword argument for limit_denominator()"),
    (lambda: mpq(1, 3).limit_denominator(5, max_denominator=1), TypeError,
     "argument for limit_denominator() given by name ('max_denominator') and position (1)"),
    (lambda: qdiv(1, 0), ZeroDivisionError, "qdiv() division by zero"),
    (lambda: qdiv(1.5), TypeError, "qdiv() requires 1 or 2 integer or rational arguments"),
    (lambda: qdiv(1, 2, 3), TypeError, "qdiv() requires 1 or 2 integer or rational arguments"),
    (lambda: qdiv(1, mpfr(2)), TypeError, "qdiv() requires 1 or 2 integer or rational arguments"),
    (lambda: f2q(), TypeError, "f2q() requires 1 or 2 arguments"),
    (lambda: f2q(1j), TypeError, "f2q() argument types not supported"),
    (lambda: f2q(0.5, mpc(1)), TypeError, "f2q() argument types not supported"),
    (lambda: f2q(mpfr("inf")), OverflowError, "Cannot convert Infinity to a number."),
    (lambda: f2q(mpfr("nan")), ValueError, "Cannot convert NaN to a number."),
    (lambda: f2q(mpfr(0.1), -100), ValueError, "Requested precision out-of-bounds."),
    (lambda: numer(1.5), TypeError, "cannot convert object to mpq"),
])
def test_errors(call, exc, msg):
    with pytest.raises(exc) as info:
        call()
    if msg:
        assert str(info.value) == msg


@pytest.mark.parametrize("call, expected", [
    (lambda: qdiv(6, 3), mpz(2)),
    (lambda: qdiv(6, 4), mpq(3, 2)),
    (lambda: qdiv(mpq(4, 2)), mpz(2)),
    (lambda: qdiv(xmpz(5)), mpz(5)),
    (lambda: qdiv(Fraction(1, 2), mpz(3)), mpq(1, 6)),
    (lambda: numer(Fraction(6, 4)), mpz(3)),
    (lambda: denom(Fraction(6, 4)), mpz(2)),
    (lambda: numer(5), mpz(5)),
    (lambda: denom(5), mpz(1)),
    (lambda: f2q(0.5), mpq(1, 2)),
    (lambda: f2q(2.0), mpz(2)),
    (lambda: f2q(mpz(0)), mpz(0)),
    (lambda: f2q(mpz(1)), mpz(1)),
    (lambda: f2q(mpz(-3)), mpz(-3)),
    (lambda: f2q(mpq(1, 3)), mpq(1, 3)),
    (lambda: f2q(mpfr("3.14159265358979"), 0.001), mpq(22, 7)),
    (lambda: f2q(-0.1, -20), mpq(-1, 10)),
    (lambda: f2q(decimal.Decimal("0.75")), mpq(3, 4)),
    (lambda: context().f2q(0.25), mpq(1, 4)),
])
def test_functions(call, expected):
    got = call()
    assert got == expected and type(got) is type(expected)


def test_qdiv_returns_mpz_argument_itself():
    z = mpz(7)
    assert qdiv(z) is z


def test_fraction_with_mpz_parts_and_statistics():
    f = Fraction(mpz(6), mpz(4))       # Fraction keeps Integral parts as given
    assert mpq(f) == mpq(3, 2) and mpq(1) + f == mpq(5, 2) and numer(f) == 3
    assert statistics.mean([mpq(1, 3), mpq(1, 6)]) == mpq(1, 4)
    assert statistics.median([mpq(1, 3), mpq(1, 6), mpq(1)]) == mpq(1, 3)
    assert statistics.fmean([mpq(1, 3), mpq(1, 6)]) == 0.25
    assert statistics.stdev([mpq(1), mpq(3)]) == pytest.approx(math.sqrt(2))
    assert statistics.mean([mpz(1), mpz(3)]) == 2
    assert statistics.stdev([mpz(1), mpz(3), mpz(5)]) == 2
    assert statistics.median([mpfr(1), mpfr(3)]) == 2 and statistics.fmean([mpfr(1), mpfr(2)]) == 1.5


@pytest.mark.skipif(not hasattr(mpfr, "as_integer_ratio"), reason="needs mpfr.as_integer_ratio")
def test_statistics_on_reals():
    assert statistics.mean([mpfr(1), mpfr(2)]) == 1.5
    assert statistics.stdev([mpfr(1), mpfr(3)]) == pytest.approx(math.sqrt(2))
