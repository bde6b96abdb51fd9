"""The constructors of mpz, xmpz, mpq, mpfr and mpc: argument forms and errors."""
import decimal
import math
import re
from fractions import Fraction

import pytest

import vexa2
from vexa2 import RoundDown, RoundUp, context, mpc, mpfr, mpq, mpz, xmpz

BIG = 2 ** 100 + 1
D = decimal.Decimal


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)")


class Proto:
    """Offers __mpz__, __mpfr__ and __mpc__, each returning `result`."""

    def __init__(self, result):
        self.result = result

    def _give(self):
        if isinstance(self.result, Exception):
            raise self.result
        return self.result

    __mpz__ = __mpfr__ = __mpc__ = _give


class Index:
    def __index__(self):
        return 42


FakeFraction = type("Fraction", (), {"__init__": lambda s, n, d: s.__dict__.update(numerator=n, denominator=d)})


@pytest.mark.parametrize("arg, value", [
    (True, 1), (-2 ** 70, -2 ** 70), (-3.9, -3), (2.5, 2), (mpq(-7, 2), -3), (mpfr(3.5), 4), (mpfr(2.5), 2),
    (Fraction(-7, 2), -3), (FakeFraction(22, 7), 3), ("0x1f", 31), (b" 1_0 ", 10), (D("-2.7"), -2), (Index(), 42),
])
def test_integers_from_one_argument(arg, value):
    for make in (mpz, xmpz):
        r = make(arg)
        assert type(r) is make and r == value


def test_integer_identity_rounding_and_protocol():
    z, x = mpz(7), xmpz(7)
    assert mpz(z) is z and xmpz(x) is x  # xmpz: the same mutable object
    assert type(mpz(x)) is mpz and type(xmpz(z)) is xmpz and mpz() == 0 == xmpz()
    assert mpz.__new__(mpz, "ff", base=16) == 255
    with context(round=RoundUp):
        assert mpz(mpfr(2.25)) == 3 == xmpz(mpfr(2.25))
    with context(round=RoundDown):
        assert mpz(mpfr(-2.25)) == -3
    assert mpz(Proto(z)) is z
    with raises(KeyError, "'boom'"):
        mpz(Proto(KeyError("boom")))
    with pytest.raises(OverflowError):  # the interpreter's own "i" conversion
        mpz("1", 10 ** 30)


def test_float_text_and_precision_forms():
    assert mpq() == 0 and mpq(2, 4) == Fraction(1, 2) and mpq(mpz(3), mpq(1, 2)) == 6
    assert mpq(0.1) == Fraction(0.1) and mpq(D("1.25")) == Fraction(5, 4) and mpq("11", 2) == 3
    q = mpq(1, 3)
    assert mpq(q) is q
    assert mpfr() == 0 and mpfr(BIG) == 2 ** 100 and mpfr(BIG, 1) == BIG and mpfr(mpz(BIG), 1) == BIG
    assert mpfr(BIG, precision=101) == BIG and mpfr(BIG, 0, context(precision=101)) == BIG
    assert mpfr(mpq(BIG), 120) == BIG and mpfr(Fraction(BIG), 120) == BIG
    f = mpfr(BIG, 101)
    assert mpfr(f, precision=1) is f and mpfr(f) == 2 ** 100 and mpfr(Proto(f), 200) is f
    assert (mpc(), mpc(1, 2), mpc(1.5, imag=mpq(1, 4))) == (0, 1 + 2j, 1.5 + 0.25j)
    assert mpc(1, precision=(60, 70)).precision == (60, 70)
    assert mpc(1.5 + 2.5j, precision=1).precision == (53, 53)
    assert mpc(mpz(BIG), precision=1).precision == (53, 53)  # exact part, context's mpc
    assert mpc("1+2j", 80).precision == (80, 80)
    c = mpc(1 + 2j)
    assert mpc(c) is c and mpc(Proto(c), 100) is c


def test_the_given_context_is_used():
    ctx = context(trap_inexact=True)
    assert mpfr(1, 10, ctx) == 1
    with pytest.raises(ArithmeticError):
        mpfr(mpq(1, 3), 0, ctx)


@pytest.mark.parametrize("make, args, kwargs, exc, msg", [
    (mpz, ("1f", 1), {}, ValueError, "base for mpz() must be 0 or in the interval [2, 62]"),
    (xmpz, ("1f",), {"base": 63}, ValueError, "base for xmpz() must be 0 or in the interval [2, 62]"),
    (mpz, (5, 10), {}, TypeError, "mpz() with number argument only takes 1 argument"),
    (xmpz, (D(1), 10), {}, TypeError, "xmpz() with number argument only takes 1 argument"),
    (mpz, ([], 10), {}, TypeError, "mpz() requires numeric or string (and optional base) arguments"),
    (xmpz, ([], 10), {}, TypeError, "xmpz() requires numeric or string (and optional base) arguments"),
    (mpz, ([],), {}, TypeError, "mpz() requires numeric or string argument"),
    (xmpz, (D("nan"),), {}, TypeError, "xmpz() requires numeric or string argument"),
    (xmpz, (Proto(mpz(1)),), {}, TypeError, "xmpz() requires numeric or string argument"),
    (mpz, (Proto(5),), {}, TypeError, "object of type 'int' can not be interpreted as mpz"),
    (mpz, (math.nan,), {}, ValueError, "'mpz' does not support NaN"),
    (xmpz, (mpfr("nan"),), {}, ValueError, "'xmpz' does not support NaN"),
    (mpz, (mpfr("-inf"),), {}, OverflowError, "'mpz' does not support Infinity"),
    (xmpz, (math.inf,), {}, OverflowError, "'xmpz' does not support Infinity"),
    (mpq, (1, 2, 3), {}, TypeError, "mpq() takes at most 2 arguments"),
    (mpq, (), {"base": 10}, TypeError, "mpq() requires at least one non-keyword argument"),
    (mpq, (1, 0), {}, ZeroDivisionError, "zero denominator in mpq()"),
    (mpq, (1.5, 2), {}, TypeError, "mpq() requires numeric or string argument"),
    (mpq, (1j,), {}, TypeError, "mpq() requires numeric or string argument"),
    (mpq, ("1/3",), {"base": 1}, ValueError, "base for mpq() must be 0 or in the interval [2, 62]"),
    (mpq, (1,), {"base": 10}, TypeError, "object is not string or Unicode"),
    (mpq, (FakeFraction(1.5, 2),), {}, SystemError, "Object does not appear to be Fraction"),
    (mpfr, (1, 2, 3, 4, 5), {}, TypeError, "mpfr() takes at most 4 arguments"),
    (mpfr, (), {"precision": 10}, TypeError, "mpfr() requires at least one non-keyword argument"),
    (mpfr, (1, -1), {}, ValueError, "precision for mpfr() must be >= 0"),
    (mpfr, ("1", -1), {}, ValueError, "precision for mpfr() must be >= 0"),
    (mpfr, (1, 100, 5), {}, TypeError, "context argument is not a valid context"),
    (mpfr, ("1", 100, 10, None), {}, TypeError, "context argument is not a valid context"),
    (mpfr, ("1.5", 0, 1), {}, ValueError, "base for mpfr() must be 0 or in the interval [2, 62]"),
    (mpfr, (D("1.5"),), {}, TypeError, "object could not be converted to 'mpfr'"),
    (mpfr, (mpc(1),), {}, TypeError, "mpfr() requires numeric or string argument"),
    (mpfr, (Proto(1.5),), {}, TypeError, "object of type 'float' can not be interpreted as mpfr"),
    (mpc, (1, 2, 3, 4, 5), {}, TypeError, "mpc() takes at most 4 arguments"),
    (mpc, (), {"precision": 10}, TypeError, "mpc() requires at least one non-keyword argument"),
    (mpc, (1, "x"), {}, TypeError, "invalid type for imaginary component in mpc()"),
    (mpc, (1,), {"precision": [60, 70]}, TypeError, "precision for mpc() must be integer or tuple"),
    (mpc, (1j,), {"precision": 1.5}, TypeError, "precision for mpc() must be integer or tuple"),
    (mpc, ("1",), {"precision": (1, 2, 3)}, TypeError, "precision for mpc() must be integer or tuple"),
    (mpc, ("1",), {"precision": (10, -1)}, ValueError, "precision for mpc() must be >= 0"),
    (mpc, (1,), {"precision": (60, "x")}, ValueError, "invalid value for precision in mpc()"),
    (mpc, (1,), {"precision": 2 ** 80}, ValueError, "invalid value for precision in mpc()"),
    (mpc, ("1+2j",), {"base": 0}, ValueError, "base for mpc() must be in the interval [2,36]"),
    (mpc, ("1", 0, 10, 5), {}, TypeError, "context argument is not a valid context"),
    (mpc, (1j, 0, 5), {}, TypeError, "context argument is not a valid context"),
    (mpc, ([],), {}, TypeError, "mpc() requires numeric or string argument"),
    (mpc, (Proto(1j),), {}, TypeError, "object of type 'complex' can not be interpreted as mpc"),
    (mpc, (D("1.5"),), {}, TypeError, "mpc() requires string or numeric argument."),
])
def test_constructor_errors(make, args, kwargs, exc, msg):
    with raises(exc, msg):
        make(*args, **kwargs)


@pytest.mark.parametrize("make", [
    lambda: mpfr(1, 2 ** 50), lambda: mpfr("1", 2 ** 50), lambda: mpc("1", (2 ** 50, 53)),
    lambda: mpc(1j, 2 ** 50), lambda: mpfr(1, 0, context(precision=2 ** 50)), lambda: mpc(1, precision=2 ** 50),
])
def test_impossible_precisions_raise_instead_of_aborting(make):
    with pytest.raises(MemoryError):
        make()


def test_mpc_from_parts_keeps_a_trapped_error():
    with vexa2.context(precision=10, trap_inexact=True):
        with pytest.raises(vexa2.InexactResultError):
            mpc(mpq(1, 3), 1)


@pytest.mark.parametrize("make, args, kwargs", [
    (mpz, (), {}), (mpz, ("ff",), {"base": 16}), (mpz, ("ff", 16), {}), (mpz, (5,), {"base": 10}),
    (mpz, ("1",), {"bas": 10}), (mpz, ("1",), {"": 10}), (mpz, (), {"base": 10}), (xmpz, ("1", 2, 3), {}),
    (mpq, ("1/3",), {"base": 16}), (mpq, (1,), {"base": 10}), (mpq, (1, 3), {}), (mpq, (), {"base": 10}),
    (mpfr, ("1.5",), {"precision": 20, "base": 10}), (mpfr, (1,), {"base": 10}), (mpfr, (1,), {"context": 5}),
    (mpfr, ("1",), {"precision": -1}), (mpc, (1,), {"imag": 2, "precision": (20, 30)}), (mpc, (1j,), {"imag": 2}),
    (mpc, ("1+2j",), {"base": 0}), (mpc, (1,), {"precision": (1, 2, 3)}), (mpc, ("(1 2)",), {"precision": 30}),
])
def test_call_and_new_agree(make, args, kwargs):
    # make(...) goes through vectorcall, make.__new__(make, ...) through tp_new.
    def outcome(call):
        try:
            r = call()
        except Exception as e:  # noqa: BLE001
            return type(e), str(e)
        return type(r), repr(r)

    assert outcome(lambda: make(*args, **kwargs)) == outcome(lambda: make.__new__(make, *args, **kwargs))
