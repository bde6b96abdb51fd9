"""mpfr.hex() and mpfr.fromhex(): exact hexadecimal texts."""
import math

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import context, mpfr

BAD = "invalid hexadecimal floating-point string"


@given(st.floats(allow_subnormal=False))
def test_hex_matches_float(f):
    assert mpfr(f).hex() == f.hex()


@given(st.floats())
def test_round_trips_through_float(f):
    # Subnormal floats are written normalised (an mpfr has none), still exactly.
    g = float.fromhex(mpfr(f).hex())
    y = mpfr.fromhex(f.hex())
    if math.isnan(f):
        assert math.isnan(g) and y.is_nan()
    else:
        assert g == f and math.copysign(1, g) == math.copysign(1, f)
        assert y == f and y.is_signed() == (math.copysign(1, f) < 0) and y.precision == 53


hex_texts = st.builds("{}0x{}.{}p{}".format, st.sampled_from(["", "-", "+"]), st.text("0123456789abcdefABCDEF", max_size=30),
                      st.text("0123456789abcdef", max_size=30), st.integers(min_value=-900, max_value=900))


@given(hex_texts)
def test_fromhex_rounds_as_float_at_53_bits(text):
    try:
        expected = float.fromhex(text)
    except ValueError:
        with pytest.raises(ValueError, match=BAD):
            mpfr.fromhex(text)
    else:
        assert mpfr.fromhex(text) == expected


@pytest.mark.parametrize("bits", [2, 7, 64, 300, 2000])
@given(st.integers(min_value=1), st.integers(min_value=-5000, max_value=5000))
def test_high_precision_round_trip(bits, n, shift):
    with context(precision=bits):
        x = mpfr(n) * mpfr(2) ** shift
        y = mpfr.fromhex(x.hex())
        assert y == x and y.precision == bits and y.rc == 0 and mpfr.fromhex((-x).hex()) == -x


@pytest.mark.parametrize("x, text", [
    (mpfr(1.5, 100), "0x1.8000000000000000000000000p+0"), (mpfr(1 / 3, 7), "0x1.54p-2"), (mpfr(-0.0, 200), "-0x0.0p+0"),
    (mpfr("-inf", 10), "-inf"), (mpfr("-nan"), "nan"),
])
def test_hex_examples(x, text):
    assert x.hex() == text


def test_fromhex_rounds_with_the_context_and_sets_its_flags():
    with context(precision=10) as ctx:
        y = mpfr.fromhex("0x1.fffp0")
        assert (y, y.precision, ctx.inexact) == (2, 10, True)
    with context(precision=10, round=vexa2.RoundDown):
        assert mpfr.fromhex("0x1.fffp0") == mpfr.fromhex("0x1.ff8p0")
    with context(emax=100) as ctx:
        assert mpfr.fromhex("0x1p200") == math.inf and ctx.overflow
    with context(trap_overflow=True, emax=100), pytest.raises(vexa2.OverflowResultError):
        mpfr.fromhex("0x1p200")
    assert mpfr.fromhex("0x1p-99999999999999999999999") == 0 and mpfr.fromhex("-1p99999999999999999999") == -math.inf
    assert [repr(mpfr.fromhex(t)) for t in (" -0X1.8P+1\n", ".8", "1.", "-Infinity", "nan")] == [
        "mpfr('-3.0')", "mpfr('0.5')", "mpfr('1.0')", "mpfr('-inf')", "mpfr('nan')"]


@pytest.mark.parametrize("text", ["", "0x", "0x.p1", "1p", "x1", "1.2.3", "0x1p1.5", "nanx", "--1", "0x1 p1", "1g5"])
def test_fromhex_refuses(text):
    with pytest.raises(ValueError, match=BAD):
        mpfr.fromhex(text)
    with pytest.raises(ValueError):
        float.fromhex(text)


def test_fromhex_argument():
    with pytest.raises(TypeError):
        mpfr.fromhex(b"0x1p0")
    with pytest.raises(TypeError):
        mpfr.fromhex()
