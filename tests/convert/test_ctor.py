"""The constructors of mpz, xmpz, mpq, mpfr and mpc: argument forms and errors."""
import decimal
import math
import re
from fractions import Fraction

import pytest

from vexa2 import RoundDown, RoundUp, context, mpc, mpfr, mpq, mpz, xmpz


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + "$")


class HasMpz:
    def __init__(self, result):
        self.result = result

    def __mpz__(self):
        if isinstance(self.result, Exception):
            raise self.result
        return self.result


class HasMpfr:
    def __init__(self, result):
        self.result = result

    def __mpfr__(self):
        return self.result


class HasMpc:
    def __init__(self, result):
        self.result = result

    def __mpc__(self):
        return self.result


class Indexable:
    def __index__(self):
        return 42


class Fraction_:  # read by its type name, like fractions.Fraction
    def __init__(self, n, d):
        self.numerator, self.denominator = n, d


Fraction_.__name__ = Fraction_.__qualname__ = "Fraction"


# ---- mpz and xmpz ----

@pytest.mark.parametrize("arg, value", [
    (7, 7), (True, 1), (-2 ** 70, -2 ** 70), (3.9, 3), (-3.9, -3), (2.5, 2), (-2.5, -2),
    (mpq(-7, 2), -3), (mpq(7, 2), 3), (mpfr(3.5), 4), (mpfr(2.5), 2), (mpfr(-2.5), -2),
    (Fraction(-7, 2), -3), (Fraction_(22, 7), 3), ("0x1f", 31), (b" 1_0 ", 10),
    (decimal.Decimal("2.7"), 2), (decimal.Decimal("-2.7"), -2), (Indexable(), 42),
])
@pytest.mark.parametrize("make", [mpz, xmpz])
def test_integer_from_one_argument(make, arg, value):
    r = make(arg)
    assert type(r) is make and int(r) == value


def test_integer_identity_and_copies():
    z, x = mpz(7), xmpz(7)
    assert mpz(z) is z
    assert xmpz(x) is x  # the same mutable object, not a copy
    assert mpz(x) is not x and type(mpz(x)) is mpz and int(mpz(x)) == 7
    assert type(xmpz(z)) is xmpz and int(xmpz(z)) == 7
    assert int(mpz()) == 0 and int(xmpz()) == 0
    assert int(mpz.__new__(mpz, "ff", base=16)) == 255
    assert int(xmpz.__new__(xmpz, 12)) == 12


def test_integer_rounding_follows_the_context():
    with context(round=RoundUp):
        assert int(mpz(mpfr(2.25))) == 3
        assert int(xmpz(mpfr(2.25))) == 3
    with context(round=RoundDown):
        assert int(mpz(mpfr(-2.25))) == -3


@pytest.mark.parametrize("make, name", [(mpz, "mpz"), (xmpz, "xmpz")])
def test_integer_errors(make, name):
    with raises(ValueError, f"base for {name}() must be 0 or in the interval [2, 62]"):
        make("1f", 1)
    with raises(ValueError, f"base for {name}() must be 0 or in the interval [2, 62]"):
        make("1f", base=63)
    with raises(ValueError, f"base for {name}() must be 0 or in the interval [2, 62]"):
        make(5, -1)
    for number in (5, 2.5, mpq(1, 2), mpfr(1), Fraction(1, 2), decimal.Decimal(1)):
        with raises(TypeError, f"{name}() with number argument only takes 1 argument"):
            make(number, 10)
    with raises(TypeError, f"{name}() requires numeric or string (and optional base) arguments"):
        make([], 10)
    with raises(TypeError, f"{name}() requires numeric or string argument"):
        make([])
    with raises(TypeError, f"{name}() requires numeric or string argument"):
        make(decimal.Decimal("nan"))
    with raises(ValueError, f"'{name}' does not support NaN"):
        make(math.nan)
    with raises(ValueError, f"'{name}' does not support NaN"):
        make(mpfr("nan"))
    with raises(OverflowError, f"'{name}' does not support Infinity"):
        make(-math.inf)
    with raises(OverflowError, f"'{name}' does not support Infinity"):
        make(mpfr("inf"))
    # The interpreter's own parser reports what it cannot read as an int.
    with pytest.raises(OverflowError):
        make("1", 10 ** 30)
    with pytest.raises(TypeError):
        make("1", "10")
    with pytest.raises(TypeError):
        make("1", bas=10)
    with pytest.raises(TypeError):
        make("1", 10, 3)


def test_mpz_protocol():
    z = mpz(5)
    assert mpz(HasMpz(z)) is z
    with raises(TypeError, "object of type 'int' can not be interpreted as mpz"):
        mpz(HasMpz(5))
    with raises(KeyError, "'boom'"):
        mpz(HasMpz(KeyError("boom")))
    # xmpz has no protocol step: an object that is not a number is refused.
    with raises(TypeError, "xmpz() requires numeric or string argument"):
        xmpz(HasMpz(z))


# ---- mpq ----

def q_value(q):
    if hasattr(q, "numerator"):
        return Fraction(int(q.numerator), int(q.denominator))
    return (float(q), int(q))


def same(q, expected):
    expected = Fraction(expected)
    return q_value(q) == (expected if hasattr(q, "numerator") else (float(expected), int(expected)))


@pytest.mark.parametrize("args, kwargs, value", [
    ((), {}, 0), ((1, 3), {}, Fraction(1, 3)), ((2, 4), {}, Fraction(1, 2)), ((-2, -4), {}, Fraction(1, 2)),
    ((mpz(3), mpq(1, 2)), {}, 6), ((Fraction(1, 3), 2), {}, Fraction(1, 6)), ((0.5,), {}, Fraction(1, 2)),
    ((0.1,), {}, Fraction(0.1)), ((decimal.Decimal("1.25"),), {}, Fraction(5, 4)), ((mpfr(0.375),), {}, Fraction(3, 8)),
    (("3/6",), {}, Fraction(1, 2)), (("ff",), {"base": 16}, 255), (("11", 2), {}, 3), ((b"1.5",), {}, Fraction(3, 2)),
    ((Fraction_(3, 6),), {}, Fraction(1, 2)), ((xmpz(4),), {}, 4), ((True,), {}, 1),
])
def test_mpq_forms(args, kwargs, value):
    assert same(mpq(*args, **kwargs), value)


def test_mpq_returns_its_argument():
    q = mpq(1, 3)
    assert mpq(q) is q


@pytest.mark.parametrize("args, kwargs, exc, msg", [
    ((1, 2, 3), {}, TypeError, "mpq() takes at most 2 arguments"),
    (("1",), {"base": 10, "x": 1}, TypeError, "mpq() takes at most 2 arguments"),
    ((), {"base": 10}, TypeError, "mpq() requires at least one non-keyword argument"),
    ((1, 0), {}, ZeroDivisionError, "zero denominator in mpq()"),
    ((1, mpq(0)), {}, ZeroDivisionError, "zero denominator in mpq()"),
    ((1.5, 2), {}, TypeError, "mpq() requires numeric or string argument"),
    ((1, 2.5), {}, TypeError, "mpq() requires numeric or string argument"),
    (([],), {}, TypeError, "mpq() requires numeric or string argument"),
    ((1j,), {}, TypeError, "mpq() requires numeric or string argument"),
    (("1/3",), {"base": 1}, ValueError, "base for mpq() must be 0 or in the interval [2, 62]"),
    (("1/3", 63), {}, ValueError, "base for mpq() must be 0 or in the interval [2, 62]"),
    ((1,), {"base": 10}, TypeError, "object is not string or Unicode"),
    ((math.nan,), {}, ValueError, "'mpq' does not support NaN"),
    ((math.inf,), {}, OverflowError, "'mpq' does not support Infinity"),
    ((mpfr("nan"),), {}, ValueError, "can not convert NaN to MPQ"),
    ((Fraction_(1.5, 2),), {}, SystemError, "Object does not appear to be Fraction"),
])
def test_mpq_errors(args, kwargs, exc, msg):
    with raises(exc, msg):
        mpq(*args, **kwargs)


# ---- mpfr ----

BIG = 2 ** 100 + 1


@pytest.mark.parametrize("args, kwargs, value", [
    ((), {}, 0), ((BIG,), {}, 2 ** 100), ((BIG, 1), {}, BIG), ((BIG, 101), {}, BIG),
    ((BIG,), {"precision": 101}, BIG), ((BIG, 0, context(precision=101)), {}, BIG),
    ((mpz(BIG), 1), {}, BIG), ((xmpz(BIG), 1), {}, BIG), ((mpq(BIG, 1), 120), {}, BIG),
    ((Fraction(BIG), 120), {}, BIG), ((mpfr(BIG, 101),), {"precision": 1}, BIG),
    ((mpfr(BIG, 101),), {}, 2 ** 100), ((str(BIG), 101), {}, BIG), ((7,), {}, 7), ((2.5,), {}, 2),
])
def test_mpfr_forms(args, kwargs, value):
    r = mpfr(*args, **kwargs)
    assert type(r) is mpfr and int(mpz(r)) == value


def test_mpfr_protocol_and_identity():
    f = mpfr(1.5)
    assert mpfr(f) is f
    assert mpfr(HasMpfr(f), 200) is f  # nothing else is looked at
    with raises(TypeError, "object of type 'float' can not be interpreted as mpfr"):
        mpfr(HasMpfr(1.5))
    assert math.isnan(float(mpfr(math.nan))) and float(mpfr(-math.inf)) == -math.inf


@pytest.mark.parametrize("args, kwargs, exc, msg", [
    ((1, 2, 3, 4, 5), {}, TypeError, "mpfr() takes at most 4 arguments"),
    (("1", 2, 10), {"context": context(), "x": 1}, TypeError, "mpfr() takes at most 4 arguments"),
    ((), {"precision": 10}, TypeError, "mpfr() requires at least one non-keyword argument"),
    ((1, -1), {}, ValueError, "precision for mpfr() must be >= 0"),
    (("1", -1), {}, ValueError, "precision for mpfr() must be >= 0"),
    ((1, 100, 5), {}, TypeError, "context argument is not a valid context"),
    (("1", 100, 10, 5), {}, TypeError, "context argument is not a valid context"),
    ((1,), {"context": None}, TypeError, "context argument is not a valid context"),
    (("1.5", 0, 1), {}, ValueError, "base for mpfr() must be 0 or in the interval [2, 62]"),
    (("1.5",), {"base": 63}, ValueError, "base for mpfr() must be 0 or in the interval [2, 62]"),
    ((decimal.Decimal("1.5"),), {}, TypeError, "object could not be converted to 'mpfr'"),
    (([],), {}, TypeError, "mpfr() requires numeric or string argument"),
    ((1j,), {}, TypeError, "mpfr() requires numeric or string argument"),
    ((mpc(1),), {}, TypeError, "mpfr() requires numeric or string argument"),
])
def test_mpfr_errors(args, kwargs, exc, msg):
    with raises(exc, msg):
        mpfr(*args, **kwargs)


@pytest.mark.parametrize("make", [
    lambda: mpfr(1, 2 ** 50), lambda: mpfr("1", 2 ** 50), lambda: mpc("1", (2 ** 50, 53)),
    lambda: mpc(1j, 2 ** 50), lambda: mpfr(1, 0, context(precision=2 ** 50)),
])
def test_impossible_precisions_raise(make):
    with pytest.raises(MemoryError):
        make()


def test_mpfr_uses_the_given_context():
    ctx = context(trap_inexact=True)
    mpfr(1, 10, ctx)  # exact
    with pytest.raises(ArithmeticError):
        mpfr(mpq(1, 3), 0, ctx)
    assert not context().inexact


# ---- mpc ----

needs_parts = pytest.mark.skipif(not hasattr(mpc(), "real"), reason="mpc parts not readable yet")


@needs_parts
@pytest.mark.parametrize("args, kwargs, value, precs", [
    ((), {}, 0j, (53, 53)), ((1, 2), {}, 1 + 2j, (53, 53)), ((1,), {"precision": (60, 70)}, 1 + 0j, (60, 70)),
    ((1.5 + 2.5j,), {"precision": 1}, 1.5 + 2.5j, (53, 53)), ((mpz(BIG),), {"precision": 1}, 2.0 ** 100, (53, 53)),
    ((1.5,), {"imag": mpq(1, 4)}, 1.5 + 0.25j, (53, 53)), (("1+2j", 80), {}, 1 + 2j, (80, 80)),
])
def test_mpc_forms(args, kwargs, value, precs):
    c = mpc(*args, **kwargs)
    assert complex(float(c.real), float(c.imag)) == value
    assert (c.real.precision, c.imag.precision) == precs


def test_mpc_protocol_and_identity():
    c = mpc(1 + 2j)
    assert mpc(c) is c
    assert mpc(HasMpc(c), 100) is c
    with raises(TypeError, "object of type 'complex' can not be interpreted as mpc"):
        mpc(HasMpc(1j))


@pytest.mark.parametrize("args, kwargs, exc, msg", [
    ((1, 2, 3, 4, 5), {}, TypeError, "mpc() takes at most 4 arguments"),
    ((), {"precision": 10}, TypeError, "mpc() requires at least one non-keyword argument"),
    ((1, "x"), {}, TypeError, "invalid type for imaginary component in mpc()"),
    ((1, 1j), {}, TypeError, "invalid type for imaginary component in mpc()"),
    ((1,), {"precision": [60, 70]}, TypeError, "precision for mpc() must be integer or tuple"),
    ((1,), {"precision": (60, 70, 80)}, TypeError, "precision for mpc() must be integer or tuple"),
    ((1j,), {"precision": 1.5}, TypeError, "precision for mpc() must be integer or tuple"),
    ((1,), {"precision": -1}, ValueError, "precision for mpc() must be >= 0"),
    (("1",), {"precision": (10, -1)}, ValueError, "precision for mpc() must be >= 0"),
    ((1,), {"precision": (60, "x")}, ValueError, "invalid value for precision in mpc()"),
    ((1,), {"precision": 2 ** 80}, ValueError, "invalid value for precision in mpc()"),
    (("1+2j",), {"base": 0}, ValueError, "base for mpc() must be in the interval [2,36]"),
    (("1+2j",), {"base": 37}, ValueError, "base for mpc() must be in the interval [2,36]"),
    (("1", 0, 10, 5), {}, TypeError, "context argument is not a valid context"),
    ((1, 2, 0, 5), {}, TypeError, "context argument is not a valid context"),
    ((1j, 0, 5), {}, TypeError, "context argument is not a valid context"),
    (([],), {}, TypeError, "mpc() requires numeric or string argument"),
    ((decimal.Decimal("1.5"),), {}, TypeError, "mpc() requires string or numeric argument."),
    ((Fraction_(1.5, 2),), {}, TypeError, "mpc() requires string or numeric argument."),
    ((1,), {"precision": 2 ** 50}, TypeError, "mpc() requires string or numeric argument."),
])
def test_mpc_errors(args, kwargs, exc, msg):
    with raises(exc, msg):
        mpc(*args, **kwargs)


def test_constructors_are_not_subclassable():
    for t in (mpz, xmpz, mpq, mpfr, mpc):
        with pytest.raises(TypeError):
            type("Sub", (t,), {})
