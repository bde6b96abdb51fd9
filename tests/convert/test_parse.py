"""Numbers read from text: integers, rationals, reals and complex numbers."""
import math
import re
import string
import sys
from fractions import Fraction

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from vexa2 import context, mpc, mpfr, mpq, mpz, xmpz

IEEE_DOUBLE = dict(precision=53, emax=1024, emin=-1073, subnormalize=True)


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + "$")


def assert_rational(q, expected):
    """q equals the Fraction `expected` (exactly once mpq exposes its parts)."""
    expected = Fraction(expected)
    if hasattr(q, "numerator"):
        assert Fraction(int(q.numerator), int(q.denominator)) == expected
    try:
        f = float(expected)
    except OverflowError:
        with pytest.raises(OverflowError):
            float(q)
    else:
        assert float(q) == f
    assert int(q) == int(expected)


# ---- integers ----

@pytest.mark.parametrize("text, base, value", [
    ("0x1F", 0, 31), ("0X1f", 0, 31), ("0o17", 0, 15), ("0O17", 0, 15), ("0b101", 0, 5),
    ("017", 0, 17), ("000", 0, 0), ("-0x10", 0, -16), ("+-12", 0, -12), ("+12", 0, 12),
    ("1_000 000", 0, 1000000), ("0x1f", 16, 31), ("1f", 16, 31), ("0B11", 2, 3), ("0o17", 8, 15),
    ("0007", 10, 7), ("-0", 10, 0), ("zz", 36, 35 * 36 + 35), ("ZZ", 36, 35 * 36 + 35),
    ("Z", 62, 35), ("z", 62, 61), ("\t12", 10, 12), (b"12", 0, 12), (b"-ff", 16, -255),
])
def test_integer_texts(text, base, value):
    assert int(mpz(text, base)) == value
    assert int(xmpz(text, base)) == value


@pytest.mark.parametrize("text, base", [
    ("", 0), ("-", 0), ("+", 10), ("0x", 0), ("0x", 16), ("0o", 0), ("0x1f", 10), ("12a", 10),
    ("1.5", 10), ("2", 2), ("z", 35),
    # one sign only, and never after the prefix
    ("--12", 10), ("- -12", 10), ("+-+12", 10), ("-+12", 10), ("0x-5", 0), ("1-2", 10),
    # GMP stops at a NUL; the text after it must not be dropped silently
    ("12\x0034", 10), (b"7\x00", 10),
])
def test_invalid_integer_texts(text, base):
    with raises(ValueError, "invalid digits"):
        mpz(text, base)
    with raises(ValueError, "invalid digits"):
        xmpz(text, base)


@pytest.mark.parametrize("text", [b"1\xff2", "\u0661\u0662", "12\u00e9", b"\x80"])
def test_non_ascii_text(text):
    for make in (mpz, xmpz, mpq, mpfr, mpc):
        with raises(ValueError, "string contains non-ASCII characters"):
            make(text)


def test_text_subclasses():
    class S(str):
        pass

    class B(bytes):
        pass

    assert int(mpz(S("0x10"))) == 16
    assert float(mpfr(S("2.5"))) == 2.5
    for make in (mpz, mpq, mpfr):
        with raises(TypeError, "object is not string or Unicode"):
            make(B(b"12"))


@given(st.integers())
def test_integer_text_round_trip(n):
    assert int(mpz(str(n))) == n
    assert int(mpz(hex(n))) == n and int(mpz(oct(n))) == n and int(mpz(bin(n))) == n
    assert int(mpz(f"{n:_}")) == n
    assert int(mpz(format(n, "x"), 16)) == n


DIGITS62 = string.digits + string.ascii_uppercase + string.ascii_lowercase


@given(st.integers(min_value=0), st.integers(min_value=2, max_value=62))
def test_integer_text_in_any_base(n, base):
    digits = ""
    m = n
    while True:
        m, d = divmod(m, base)
        digits = DIGITS62[d] + digits
        if not m:
            break
    assert int(mpz(digits, base)) == n
    assert int(mpz("-" + digits, base=base)) == -n


def test_long_texts():
    n = 7 ** 300_000
    text = str(mpz(n)) if hasattr(mpz, "digits") else None
    if text is None:
        sys.set_int_max_str_digits(0)
        text = str(n)
    assert int(mpz(text)) == n
    with raises(ValueError, "string too long to convert (more than 100000000 digits)"):
        mpz("1" * (10 ** 8 + 1))
    with raises(ValueError, "string too long to convert (more than 100000000 digits)"):
        mpq("1" * (10 ** 8 + 1))
    # spaces do not count
    assert int(mpz(" " * (10 ** 8) + "5")) == 5


# ---- rationals ----

@pytest.mark.parametrize("text, base, value", [
    ("1/3", 10, Fraction(1, 3)), ("2/4", 10, Fraction(1, 2)), ("-2/4", 10, Fraction(-1, 2)),
    ("1/-3", 10, Fraction(-1, 3)), ("1.5", 10, Fraction(3, 2)), ("1.5e3", 10, 1500),
    ("1.5E3", 10, 1500), ("15e-1", 10, Fraction(3, 2)), ("1e5x", 10, 100000), ("1e", 10, 1),
    ("1e+2", 10, 100), ("-.5", 10, Fraction(-1, 2)), (".25", 10, Fraction(1, 4)), ("5.", 10, 5),
    ("0.000_001", 10, Fraction(1, 10 ** 6)), ("a/b", 16, Fraction(10, 11)), ("1e/2", 16, Fraction(30, 2)),
    ("0x10/0b11", 0, Fraction(16, 3)), ("010/1", 0, 8), ("7", 10, 7), (b"-3/6", 10, Fraction(-1, 2)),
    # a tab after the digits is white space for GMP, not a digit place
    ("1.5\t", 10, Fraction(3, 2)),
])
def test_rational_texts(text, base, value):
    assert_rational(mpq(text, base), value)


@pytest.mark.parametrize("text, base, exc, msg", [
    ("1.5/2", 10, ValueError, "illegal string: both . and / found"),
    ("1/2.5", 10, ValueError, "illegal string: both . and / found"),
    ("1.5", 16, ValueError, "illegal string: embedded . requires base=10"),
    ("1.5", 0, ValueError, "illegal string: embedded . requires base=10"),
    ("1/0", 10, ZeroDivisionError, "zero denominator in mpq()"),
    ("0/0", 10, ZeroDivisionError, "zero denominator in mpq()"),
    ("", 10, ValueError, "invalid digits"),
    (".", 10, ValueError, "invalid digits"),
    ("1/", 10, ValueError, "invalid digits"),
    ("/2", 10, ValueError, "invalid digits"),
    ("e5", 10, ValueError, "invalid digits"),
    ("1e5.5", 10, ValueError, "invalid digits"),
    ("1e2/3", 10, ValueError, "invalid digits"),
    ("+1", 10, ValueError, "invalid digits"),
    ("1\x00/2", 10, ValueError, "invalid digits"),
    ("1e10000001", 10, ValueError, "exponent too large in mpq() (more than 10000000)"),
    ("1e-99999999999999999999999", 10, ValueError, "exponent too large in mpq() (more than 10000000)"),
])
def test_invalid_rational_texts(text, base, exc, msg):
    with raises(exc, msg):
        mpq(text, base)


def test_large_exponents_within_the_bound():
    assert_rational(mpq("1e100000"), 10 ** 100_000)
    assert_rational(mpq("3e-1000"), Fraction(3, 10 ** 1000))
    assert int(mpq("1e10000000")).bit_length() == int(10_000_000 * math.log2(10)) + 1
    tiny = mpq("3e-10000000")
    assert int(tiny) == 0 and float(tiny) == 0.0


decimal_texts = st.builds(
    lambda sign, whole, frac, exp: f"{sign}{whole}{'.' + frac if frac is not None else ''}{exp}",
    st.sampled_from(["", "-"]),
    st.from_regex(r"[0-9]{1,25}", fullmatch=True),
    st.none() | st.from_regex(r"[0-9]{0,25}", fullmatch=True),
    st.sampled_from([""]) | st.integers(-60, 60).map(lambda e: f"e{e}"),
)


@given(decimal_texts)
def test_rational_text_against_fraction(text):
    assert_rational(mpq(text), Fraction(text))


@given(st.integers(), st.integers().filter(bool))
def test_rational_fraction_text(n, d):
    assert_rational(mpq(f"{n}/{d}"), Fraction(n, d))


# ---- reals ----

@pytest.mark.parametrize("args, value", [
    (("1.5",), 1.5), (("1 . 5",), 1.5), (("1_000.25",), 1000.25), (("1.8p1", 0, 16), 3.0),
    (("ff", 0, 16), 255.0), (("0xff",), 255.0), (("0b101",), 5.0), (("-1e-3",), -1e-3),
    (("+2.5",), 2.5), (("1@2", 0, 10), 100.0), (("z", 0, 62), 61.0), ((b"0.5",), 0.5),
    (("inf",), math.inf), (("-inf",), -math.inf), (("1e999999999999999999999",), math.inf),
])
def test_real_texts(args, value):
    assert float(mpfr(*args)) == value


def test_real_nan_text():
    assert math.isnan(float(mpfr("nan")))


@pytest.mark.parametrize("text", ["", "1.5\t", "1.5x", "1..5", "1e", "--1", "1\x002", "1.5j", "0x"])
def test_invalid_real_texts(text):
    with raises(ValueError, "invalid digits"):
        mpfr(text)


def test_real_text_precision_and_context():
    n = 2 ** 100 + 1
    assert int(mpz(mpfr(str(n)))) == 2 ** 100
    assert int(mpz(mpfr(str(n), 101))) == n
    assert int(mpz(mpfr(str(n), 0, 10, context(precision=101)))) == n
    ctx = context()
    mpfr("0.1", 0, 10, ctx)
    assert ctx.inexact
    trapping = context(trap_inexact=True)
    with pytest.raises(Exception) as info:
        mpfr("0.1", context=trapping)
    assert type(info.value).__name__ == "InexactResultError"
    assert float(mpfr("0.5", context=trapping)) == 0.5


float_texts = st.builds(
    lambda sign, whole, frac, exp: f"{sign}{whole}.{frac}e{exp}",
    st.sampled_from(["", "-", "+"]),
    st.from_regex(r"[0-9]{1,20}", fullmatch=True),
    st.from_regex(r"[0-9]{0,20}", fullmatch=True),
    st.integers(-340, 320),
)


@settings(max_examples=500)
@given(float_texts | st.floats(allow_nan=False).map(repr))
def test_real_text_matches_python_float(text):
    # Subnormals and overflow behave as IEEE doubles in this context.
    with context(**IEEE_DOUBLE):
        assert float(mpfr(text)) == float(text)


@pytest.mark.parametrize("text", [
    "4.9406564584124654e-324", "2.4703282292062328e-324", "2.4703282292062327e-324",
    "7.4109846876186982e-324", "2.2250738585072011e-308", "2.2250738585072014e-308",
    "1.7976931348623158e308", "1.7976931348623159e308", "1e-320", "-3.3e-315",
])
def test_subnormal_and_limit_texts(text):
    with context(**IEEE_DOUBLE):
        assert float(mpfr(text)) == float(text)


# ---- complex ----

needs_parts = pytest.mark.skipif(not hasattr(mpc(), "real"), reason="mpc parts not readable yet")


@needs_parts
@pytest.mark.parametrize("text, value", [
    ("1+2j", 1 + 2j), ("(1+2j)", 1 + 2j), ("2j", 2j), ("-2.5j", -2.5j), ("1.5", 1.5 + 0j),
    ("(1.5)", 1.5 + 0j), ("(1 2)", 1 + 2j), ("1e3-4e-1j", 1000 - 0.4j), (b"3-1j", 3 - 1j),
    ("1 + 2 j", 1 + 2j),
])
def test_complex_texts(text, value):
    c = mpc(text)
    assert complex(float(c.real), float(c.imag)) == value


@pytest.mark.parametrize("text", [
    "1+2J", "1+2", "(1+2j", "1+2j)", "2j+1", "", "()", "j", "1+j", "1+2jj", "(1+2j)j", "x", "1+2j\x00",
])
def test_invalid_complex_texts(text):
    with raises(ValueError, "invalid string in mpc()"):
        mpc(text)
