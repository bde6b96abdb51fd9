"""Numbers read from text: integers, rationals, reals and complex numbers."""
import math
import re
import string
from fractions import Fraction

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from vexa2 import InexactResultError, context, mpc, mpfr, mpq, mpz, xmpz

IEEE_DOUBLE = dict(precision=53, emax=1024, emin=-1073, subnormalize=True)
DIGITS62 = string.digits + string.ascii_uppercase + string.ascii_lowercase


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)")


@pytest.mark.parametrize("text, base, value", [
    ("0x1F", 0, 31), ("0X1f", 0, 31), ("0o17", 0, 15), ("0b101", 0, 5), ("017", 0, 17), ("000", 0, 0),
    ("-0x10", 0, -16), ("+-12", 0, -12), ("1_000 000", 0, 1000000), ("0x1f", 16, 31), ("0B11", 2, 3),
    ("0o17", 8, 15), ("0007", 10, 7), ("zz", 36, 1295), ("Z", 62, 35), ("z", 62, 61), ("\t12", 10, 12),
    (b"-ff", 16, -255),
    # white space before a sign or prefix changes nothing
    ("\t-12", 10, -12), ("\t017", 0, 17), ("-\t017", 0, -17), ("\n0x10", 0, 16), ("0\t", 0, 0), ("0\t", 16, 0),
])
def test_integer_texts(text, base, value):
    assert mpz(text, base) == value and xmpz(text, base) == value


@pytest.mark.parametrize("text, base", [
    ("", 0), ("-", 0), ("0x", 0), ("0b", 0), ("0x", 16), ("0o", 0), ("0x1f", 10), ("2", 2), ("z", 35),
    # one sign only (GMP alone would read "--12" as 12), and a NUL ends nothing
    ("--12", 10), ("- -12", 10), ("-+12", 10), ("0x-5", 0), ("12\x0034", 10), ("\t--12", 10),
    # a prefix without digits is not zero
    ("0x\t", 0), ("-0B", 0),
])
def test_invalid_integer_texts(text, base):
    for make in (mpz, xmpz):
        with raises(ValueError, "invalid digits"):
            make(text, base)


def test_text_kinds():
    class S(str):
        pass

    class B(bytes):
        pass

    assert mpz(S("0x10")) == 16 and mpfr(S("2.5")) == 2.5
    for make in (mpz, xmpz, mpq, mpfr, mpc):
        for text in (b"1\xff2", "\u0661\u0662"):
            with raises(ValueError, "string contains non-ASCII characters"):
                make(text)
        with raises(TypeError, "object is not string or Unicode"):
            make(B(b"12"))


@given(st.integers(), st.integers(min_value=2, max_value=62))
def test_integer_text_round_trip(n, base):
    assert mpz(str(n)) == n and mpz(hex(n)) == n and mpz(oct(n)) == n and mpz(f"{n:#_b}") == n
    digits, m = "", abs(n)
    while True:
        m, d = divmod(m, base)
        digits = DIGITS62[d] + digits
        if not m:
            break
    assert mpz(("-" if n < 0 else "") + digits, base=base) == n


def test_text_length_limit():
    n = 7 ** 300_000
    assert mpz(str(mpz(n))) == n
    assert mpz(" " * 10 ** 8 + "5") == 5  # spaces do not count
    for make in (mpz, mpq):
        with raises(ValueError, "string too long to convert (more than 100000000 digits)"):
            make("1" * (10 ** 8 + 1))


@pytest.mark.parametrize("text, base, value", [
    ("1/3", 10, Fraction(1, 3)), ("2/4", 10, Fraction(1, 2)), ("1/-3", 10, Fraction(-1, 3)),
    ("1.5", 10, Fraction(3, 2)), ("1.5E3", 10, 1500), ("15e-1", 10, Fraction(3, 2)), ("1e5x", 10, 100000),
    ("1e", 10, 1), ("-.5", 10, Fraction(-1, 2)), ("5.", 10, 5), ("a/b", 16, Fraction(10, 11)),
    ("1e/2", 16, 15), ("0x10/0b11", 0, Fraction(16, 3)), ("010/1", 0, 8), (b"-3/6", 10, Fraction(-1, 2)),
    ("1.5\t", 10, Fraction(3, 2)),  # a tab is white space to GMP, not a digit place
    ("3e-1000", 10, Fraction(3, 10 ** 1000)),
])
def test_rational_texts(text, base, value):
    assert mpq(text, base) == value


@pytest.mark.parametrize("text, base, exc, msg", [
    ("1.5/2", 10, ValueError, "illegal string: both . and / found"),
    ("1.5", 16, ValueError, "illegal string: embedded . requires base=10"),
    ("1/0", 10, ZeroDivisionError, "zero denominator in mpq()"),
    ("1/", 10, ValueError, "invalid digits"),
    (".", 10, ValueError, "invalid digits"),
    ("1e5.5", 10, ValueError, "invalid digits"),
    ("+1", 10, ValueError, "invalid digits"),
    ("0x", 0, ValueError, "invalid digits"),
    ("-0b/1", 0, ValueError, "invalid digits"),
    ("1/0x", 0, ValueError, "invalid digits"),
    ("1e10000001", 10, ValueError, "exponent too large in mpq() (more than 10000000)"),
    ("1e-99999999999999999999", 10, ValueError, "exponent too large in mpq() (more than 10000000)"),
])
def test_invalid_rational_texts(text, base, exc, msg):
    with raises(exc, msg):
        mpq(text, base)


def test_exponent_at_the_bound():
    assert int(mpq("1e10000000")).bit_length() == int(10_000_000 * math.log2(10)) + 1


@given(st.from_regex(r"-?[0-9]{1,25}(\.[0-9]{0,25})?(e-?[0-9]{1,2})?", fullmatch=True))
def test_rational_text_against_fraction(text):
    assert mpq(text) == Fraction(text)


@pytest.mark.parametrize("args, value", [
    (("1 . 5",), 1.5), (("1.8p1", 0, 16), 3.0), (("0xff",), 255.0), (("+2.5",), 2.5), (("1@2", 0, 10), 100.0),
    ((b"-inf",), -math.inf), (("1e999999999999999999999",), math.inf),
])
def test_real_texts(args, value):
    assert mpfr(*args) == value


@pytest.mark.parametrize("text", ["", "1.5\t", "1..5", "--1", "1\x002", "1.5j", "0x"])
def test_invalid_real_texts(text):
    with raises(ValueError, "invalid digits"):
        mpfr(text)


def test_real_text_precision_and_context():
    n = 2 ** 100 + 1
    assert mpfr(str(n)) == 2 ** 100 and mpfr(str(n), 101) == n
    assert mpfr(str(n), 0, 10, context(precision=101)) == n
    ctx = context()
    mpfr("0.1", 0, 10, ctx)
    assert ctx.inexact
    with pytest.raises(ArithmeticError):
        mpfr("0.1", context=context(trap_inexact=True))


@settings(max_examples=500)
@given(st.from_regex(r"[-+]?[0-9]{1,20}\.[0-9]{0,20}e-?[0-9]{1,3}", fullmatch=True)
       | st.floats(allow_nan=False).map(repr)
       | st.sampled_from(["2.4703282292062328e-324", "2.4703282292062327e-324", "1.7976931348623159e308"]))
def test_real_text_matches_python_float(text):
    # In this context subnormals, underflow and overflow behave as in IEEE doubles.
    with context(**IEEE_DOUBLE):
        assert float(mpfr(text)) == float(text)


@pytest.mark.parametrize("text, value", [
    ("1+2j", 1 + 2j), ("(1+2j)", 1 + 2j), ("2j", 2j), ("1.5", 1.5), ("(1.5)", 1.5), ("(1 2)", 1 + 2j),
    ("1e3-4e-1j", 1000 - 0.4j), (b"3 - 1j", 3 - 1j),
])
def test_complex_texts(text, value):
    assert mpc(text) == value


@pytest.mark.parametrize("text", ["1+2J", "1+2", "(1+2j", "2j+1", "", "()", "j", "1+j", "1+2jj", "1+2j\x00"])
def test_invalid_complex_texts(text):
    with raises(ValueError, "invalid string in mpc()"):
        mpc(text)


@pytest.mark.parametrize("text", ["(0.1 2)", "0.1+2j"])
def test_both_complex_spellings_answer_to_the_context(text):
    # MPC's own "(re im)" form and the Python form raise the same trap.
    with pytest.raises(InexactResultError):
        mpc(text, context=context(trap_inexact=True))
    c = context()
    mpc(text, 53, 10, c)
    assert c.inexact
