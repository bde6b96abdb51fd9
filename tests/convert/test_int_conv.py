"""Python int and float <-> mpz/xmpz/mpq conversions."""
import math
import re
import sys
from fractions import Fraction

import pytest
from hypothesis import given
from hypothesis import strategies as st

from vexa2 import mpq, mpz, xmpz


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)")


BOUNDARIES = [
    0, 1, -1, 2 ** 30 - 1, 2 ** 30, 2 ** 60 - 1, 2 ** 60, -2 ** 60, 2 ** 62, 2 ** 63 - 1, -2 ** 63,
    2 ** 63, -2 ** 63 - 1, 2 ** 64 - 1, 2 ** 64, -2 ** 64, 2 ** 90, -(2 ** 120) + 1,
    10 ** 999, -(10 ** 999) - 7, 2 ** 3000 - 1,
]


@pytest.mark.parametrize("n", BOUNDARIES)
@pytest.mark.parametrize("make", [mpz, xmpz])
def test_int_round_trip_at_boundaries(make, n):
    back = int(make(n))
    assert type(back) is int and back == n
    assert make(n).__index__() == n
    assert bool(make(n)) == bool(n)


def test_int_of_small_values_and_subclasses():
    assert int(mpz(0)) is 0  # noqa: F632  (the interpreter's own cached zero)
    assert int(mpq(-7, 2)) == -3 and int(mpq(2 ** 100 + 1, 2)) == 2 ** 99
    assert int(mpz(type("IntSub", (int,), {})(-2 ** 70))) == -2 ** 70


@given(st.integers())
def test_int_round_trip(n):
    assert int(mpz(n)) == n and int(xmpz(n)) == n and int(mpq(n)) == n


@given(st.integers(min_value=-(2 ** 5000), max_value=2 ** 5000))
def test_float_of_mpz_matches_int(n):
    try:
        expected = float(n)
    except OverflowError:
        with raises(OverflowError, "'mpz' too large to convert to float"):
            float(mpz(n))
    else:
        assert float(mpz(n)) == expected and float(xmpz(n)) == expected


@pytest.mark.parametrize("n, value", [
    (2 ** 53 + 1, 2.0 ** 53), (2 ** 53 + 3, 2.0 ** 53 + 4), (-(2 ** 53) - 1, -(2.0 ** 53)),
    (2 ** 1024 - 2 ** 971, sys.float_info.max), (2 ** 1024 - 2 ** 970 - 1, sys.float_info.max),
    (-(2 ** 1024 - 2 ** 971), -sys.float_info.max),
])
def test_float_of_mpz_rounds_to_nearest_even(n, value):
    assert float(mpz(n)) == value


@pytest.mark.parametrize("n", [2 ** 1024, 2 ** 1024 - 2 ** 970, -(2 ** 1024), 10 ** 400])
def test_float_of_mpz_overflow(n):
    with raises(OverflowError, "'mpz' too large to convert to float"):
        float(mpz(n))


@given(st.integers(), st.integers(min_value=1))
def test_float_and_int_of_mpq_match_fraction(n, d):
    f = Fraction(n, d)
    q = mpq(n, d)
    assert int(q) == int(f)
    try:
        expected = n / d  # correctly rounded, subnormals included
    except OverflowError:
        with raises(OverflowError, "'mpq' too large to convert to float"):
            float(q)
    else:
        assert float(q) == expected


@pytest.mark.parametrize("q, value", [
    (mpq(1, 3), 1 / 3), (mpq(1, 10 ** 320), 1e-320), (mpq(1, 2 ** 1075), 0.0), (mpq(3, 2 ** 1075), 1e-323), (mpq(5, 2 ** 1076), 5e-324),
    (mpq(-1, 10 ** 400), -0.0),
])
def test_float_of_mpq_rounds_once(q, value):
    assert float(q) == value and math.copysign(1, float(q)) == math.copysign(1, value)


def test_float_of_mpq_overflow():
    with raises(OverflowError, "'mpq' too large to convert to float"):
        float(mpq(10 ** 400, 3))


@given(st.floats(allow_nan=False, allow_infinity=False))
def test_integer_from_float_truncates(x):
    assert int(mpz(x)) == int(x) and int(xmpz(x)) == int(x)
    assert float(mpq(x)) == x


class HasMpz:
    def __init__(self, value):
        self.value = value

    def __mpz__(self):
        if isinstance(self.value, Exception):
            raise self.value
        return self.value


# The machine-integer readers, reached through arguments that take a count
# (is_prime's repetitions: unsigned long) or a bit index (unsigned long long).
@pytest.mark.parametrize("call, exc, msg", [
    (lambda a: mpz(7).is_prime(a), OverflowError, "value could not be converted to C long"),
    (lambda a: mpz(5).bit_test(a), OverflowError, "can't convert negative int to unsigned"),
])
@pytest.mark.parametrize("arg", [mpz(-1), xmpz(-2), HasMpz(mpz(-3))])
def test_unsigned_readers_refuse_negative_values(call, exc, msg, arg):
    with raises(exc, msg):
        call(arg)


@pytest.mark.parametrize("arg, exc, msg", [
    (mpz(2**64), OverflowError, "value could not be converted to C long"),
    (2.0, TypeError, "could not convert object to integer"),
    (mpq(3), TypeError, "could not convert object to integer"),
    (HasMpz(3), TypeError, "could not convert object to integer"),
    (HasMpz(KeyError("own")), KeyError, "'own'"),
])
def test_unsigned_long_reader_errors(arg, exc, msg):
    with raises(exc, msg):
        mpz(7).is_prime(arg)


def test_readers_accept_protocol_and_own_integers():
    assert mpz(7).is_prime(HasMpz(mpz(3))) and mpz(7).is_prime(xmpz(2))
    assert mpz(5).bit_test(HasMpz(mpz(2))) and not mpz(5).bit_test(xmpz(1))
    with raises(OverflowError, "value could not be converted to C long long"):
        mpz(5).bit_test(mpz(2**64))
