"""Constants, special values, MPFR's limits, can_round and ieee contexts."""
import math
import struct

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import can_round, const_pi, context, get_context, ieee, inf, mpfr, nan, zero

# mpmath, the oracle, keeps its working precision in one process-wide
# setting: threads running these tests at once would change it under each other.
pytestmark = pytest.mark.thread_unsafe(reason="mpmath's working precision is process-wide")


mpmath = pytest.importorskip("mpmath")

CONSTANTS = [("const_pi", "pi"), ("const_euler", "euler"), ("const_log2", "ln2"), ("const_catalan", "catalan")]


def exact(x):
    n, d = x.as_integer_ratio()
    return mpmath.mpf(int(n)) / int(d)


@pytest.mark.parametrize("name, ref", CONSTANTS)
@pytest.mark.parametrize("rnd", [vexa2.RoundToNearest, vexa2.RoundToZero, vexa2.RoundUp, vexa2.RoundDown])
@pytest.mark.parametrize("prec", [2, 53, 300])
def test_constants_are_correctly_rounded(name, ref, rnd, prec):
    with mpmath.workprec(prec + 200):
        value = getattr(mpmath, ref) * 1
        with context(precision=prec, round=rnd) as c:
            got = getattr(vexa2, name)()
            assert got.precision == prec and c.inexact
            assert getattr(c, name)() == got  # the context form takes no argument
        with context(round=rnd):
            assert getattr(vexa2, name)(prec) == got
        ulp = mpmath.ldexp(1, int(vexa2.get_exp(got)) - prec)
        err = exact(got) - value
        if rnd == vexa2.RoundToNearest:
            assert abs(err) <= ulp / 2
        elif rnd in (vexa2.RoundUp,):
            assert 0 < err < ulp
        else:
            assert -ulp < err < 0


def test_constant_precision_rules():
    assert const_pi().precision == 53 and const_pi(precision=0).precision == 53 and const_pi(1).precision == 53
    with context(precision=70):
        assert const_pi().precision == 70 and const_pi(100).precision == 100
    with pytest.raises(ValueError, match="invalid value for precision"):
        const_pi(2**63 - 1)
    with pytest.raises(MemoryError):
        const_pi(2**62)  # refused before MPFR is asked
    with context(trap_inexact=True):
        with pytest.raises(vexa2.InexactResultError):
            const_pi()


def test_const_pi_at_a_million_bits():
    got = const_pi(10**6)
    assert got.precision == 10**6
    with mpmath.workprec(20000):
        want = mpmath.nstr(+mpmath.pi, 6000, strip_zeros=False)
    assert str(got)[:5990] == want[:5990]


def test_special_values():
    assert inf(-5) == mpfr("-inf") and inf() == mpfr("inf") and inf(1, 2) == mpfr("inf") and inf(0) > 0
    assert zero(-1).is_zero() and zero(-1).is_signed() and not zero().is_signed() and not zero(3, -4).is_signed()
    assert nan().is_nan()
    with context(precision=80, trap_invalid=True, trap_overflow=True):
        assert nan().precision == inf().precision == zero().precision == 80  # no check, no trap
    with pytest.raises(TypeError):
        inf(1.5)
    assert vexa2.get_emax_max() == 2**62 - 1 and vexa2.get_emin_min() == 1 - 2**62
    assert vexa2.get_max_precision() == 2**63 - 257


def test_can_round():
    b = mpfr(1) + mpfr(2) ** -40
    assert can_round(b, 60, 0, 0, 30) and not can_round(b, 20, 0, 0, 30)
    assert not can_round(mpfr(0), 60, 0, 0, 30) and not can_round(mpfr("nan"), 60, 0, 0, 30)
    assert not can_round(b, -2**63, 4, 4, 2**63 - 257)  # extremes stay safe
    with pytest.raises(TypeError):
        can_round(1.0, 60, 0, 0, 30)
    for args, msg in (((0, 5), "invalid value for rounding mode"), ((-1, 0), "invalid value for rounding mode")):
        with pytest.raises(ValueError, match=msg):
            can_round(b, 10, *args, 20)
    with pytest.raises(ValueError, match="invalid value for precision"):
        can_round(b, 10, 0, 0, 0)


@pytest.mark.parametrize("size, prec, emax, emin", [
    (16, 11, 16, -23), (32, 24, 128, -148), (64, 53, 1024, -1073), (128, 113, 16384, -16493),
    (160, 144, 32768, -32908), (256, 237, 262144, -262377),
])
def test_ieee_parameters(size, prec, emax, emin):
    c = ieee(size)
    assert (c.precision, c.emax, c.emin, c.subnormalize, c.round) == (prec, emax, emin, True, vexa2.RoundToNearest)
    assert ieee(size, subnormalize=False).subnormalize is False
    assert c is not get_context()


@pytest.mark.parametrize("args, kwargs, exc, msg", [
    ((48,), {}, ValueError, "bitwidth must be 16, 32, 64, 128; or must be greater than 128 and divisible by 32."),
    ((132,), {}, ValueError, "bitwidth must be 16, 32, 64, 128; or must be greater than 128 and divisible by 32."),
    ((0,), {}, ValueError, "ieee() requires positive value for size"),
    (("a",), {}, TypeError, "ieee() requires 'int' argument"),
    ((64, 1), {}, TypeError, "ieee() requires 'int' argument"),
    ((), {}, TypeError, "ieee() requires 'int' argument"),
    ((64,), {"subnormal": 1}, ValueError, "invalid keyword arguments for ieee()"),
    ((2**20,), {}, ValueError, "invalid value for emax"),  # beyond MPFR's exponent range
    ((2**62,), {}, ValueError, "invalid value for emax"),
])
def test_ieee_errors(args, kwargs, exc, msg):
    with pytest.raises(exc) as e:
        ieee(*args, **kwargs)
    assert str(e.value) == msg


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


@given(st.floats(allow_nan=False, width=32), st.floats(allow_nan=False, width=32))
def test_ieee32_reproduces_single_precision(x, y):
    with ieee(32):
        for got, want in ((mpfr(x) * mpfr(y), x * y), (mpfr(x) + mpfr(y), x + y)):
            try:
                want = f32(want)
            except OverflowError:
                want = math.copysign(math.inf, want)
            assert float(got) == want or (math.isnan(float(got)) and math.isnan(want))


@given(st.floats(allow_nan=False), st.floats(allow_nan=False))
def test_ieee64_reproduces_double_precision(x, y):
    with ieee(64):
        for got, want in ((mpfr(x) * mpfr(y), x * y), (mpfr(x) + mpfr(y), x + y)):
            assert float(got) == want or (math.isnan(float(got)) and math.isnan(want))
        if y:
            assert float(mpfr(x) / mpfr(y)) == x / y or math.isnan(x / y)


@pytest.mark.parametrize("x, y", [
    (2.0**-1074, 1.5), (2.0**-1074, 2.5), (2.0**-1060, 0.1), (2.0**-1022, 0.5 + 2.0**-53), (1e308, 10.0),
])
def test_ieee64_subnormal_products(x, y):
    with ieee(64) as c:
        got = float(mpfr(x) * mpfr(y))
    assert got == x * y and (c.underflow or c.overflow or x * y >= 2.0**-1022)
