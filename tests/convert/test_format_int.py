"""Text of integers and rationals: repr, str, digits, __format__."""
import re
from decimal import Decimal
from fractions import Fraction

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import digits, mpfr, mpq, mpz, xmpz

BASE_MSG = "base must be in the interval 2 ... 62"
INVALID = "Invalid conversion specification"
TOO_LONG = "too long format string"
ints = st.one_of(st.integers(), st.integers(min_value=-(2**300), max_value=2**300))


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)")


def to_base(n, base):
    """Reference text in base 2..62 (GMP's digits: lower case up to base 36)."""
    alphabet = "0123456789abcdefghijklmnopqrstuvwxyz" if base <= 36 else \
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
    sign, n, out = "-" if n < 0 else "", abs(n), []
    while True:
        n, r = divmod(n, base)
        out.append(alphabet[r])
        if not n:
            return sign + "".join(reversed(out))


@given(ints, st.integers(min_value=1, max_value=2**200))
def test_text_matches_int_and_fraction(n, d):
    assert (str(mpz(n)), repr(mpz(n)), repr(xmpz(n))) == (str(n), f"mpz({n})", f"xmpz({n})")
    f, q = Fraction(n, d), mpq(n, d)
    assert str(q) == str(f) and repr(q) == f"mpq({f.numerator},{f.denominator})"
    assert (int(q.numerator), int(q.denominator)) == (f.numerator, f.denominator)
    assert type(q.numerator) is mpz and type(q.denominator) is mpz


@pytest.mark.parametrize("bits", [27_000, 80_000])  # texts of thousands of digits
def test_long_values(bits):
    n = -(3**bits // 7) >> (3**bits // 7).bit_length() - bits
    # Decimal's text of an int is not held to the interpreter's digit limit
    # (which is process-wide: these tests also run in several threads at once).
    text = str(Decimal(n))
    assert str(mpz(n)) == text and repr(xmpz(n)) == f"xmpz({text})"
    assert xmpz(n).digits(16) == "-0x" + format(-n, "x")
    assert mpz(n).digits(2) == format(n, "b")


# One limb and past it; around the 1,024-character stack text; GMP's digit
# count exact (2**3390, 2**12000) or one too many (2**3398, 2**3401, 2**12002).
@pytest.mark.parametrize("k, d", [(64, -1), (64, 0), (3390, 0), (3398, 0), (3401, -1), (3401, 0), (12000, 0), (12002, 0)])
def test_text_lengths(k, d):
    for v in (2**k + d, -(2**k + d)):
        assert (str(mpz(v)), repr(mpz(v)), repr(xmpz(v))) == (str(v), f"mpz({v})", f"xmpz({v})")
        assert mpz(v).digits(-16) == format(v, "X") and xmpz(v).digits(8) == format(v, "#o")


@pytest.mark.parametrize("value, args, text", [
    (mpz(255), (16,), "ff"), (mpz(255), (-16,), "FF"), (mpz(5), (2,), "101"),
    (mpz(-8), (8,), "-10"), (mpz(61), (62,), "z"), (mpz(-42), (), "-42"),
    (xmpz(255), (16,), "0xff"), (xmpz(-255), (-16,), "-0XFF"), (xmpz(5), (2,), "0b101"),
    (xmpz(8), (8,), "0o10"), (xmpz(255), (36,), "73"), (xmpz(42), (), "42"),
    (mpq(3, 4), (16,), "0x3/0x4"), (mpq(5, 1), (2,), "0b101"), (mpq(-7, 3), (3,), "-21/10"),
    (mpq(1, 3), (), "1/3"), (mpq(6, 3), (), "2"),
])
def test_digits_methods(value, args, text):
    assert value.digits(*args) == text


@given(ints, st.integers(min_value=2, max_value=62))
def test_digits_in_every_base(n, base):
    assert mpz(n).digits(base) == to_base(n, base)
    if base <= 36:
        assert mpz(n).digits(-base) == to_base(n, base).upper()


@pytest.mark.parametrize("value", [mpz(1), xmpz(1), mpq(1, 2)])
@pytest.mark.parametrize("base", [63, 1, 0, -1, -37, 2**31 - 1])
def test_digits_bad_base(value, base):
    with raises(ValueError, BASE_MSG):
        value.digits(base)


@pytest.mark.parametrize("args, text", [
    ((255, 16), "ff"), ((xmpz(255), 16), "ff"), ((-255,), "-255"), ((True,), "1"),
    ((Fraction(3, 4), 16), "0x3/0x4"), ((mpq(-1, 8), 8), "-0o1/0o10"),
    ((2.5,), ("25000000000000000", 1, 53)), ((1.5, 10, 5), ("15000", 1, 53)),
    ((complex(1, -2),), (("10000000000000000", 1, 53), ("-20000000000000000", 1, 53))),
])
def test_module_digits(args, text):
    assert digits(*args) == text


@pytest.mark.parametrize("args, exc, msg", [
    ((), TypeError, "digits() requires at least one argument"),
    ((1, 2, 3, 4), TypeError, "digits() accepts at most three arguments"),
    (("1",), TypeError, "digits() argument type not supported"),
    ((None, 10), TypeError, "digits() argument type not supported"),
    ((5, 63), ValueError, BASE_MSG),
    ((mpq(1, 2), 1), ValueError, BASE_MSG),
    ((5, 10, 5), TypeError, None),  # exact kinds take a base only
    ((mpq(1, 2), 10, 5), TypeError, None),
])
def test_module_digits_errors(args, exc, msg):
    with (raises(exc, msg) if msg else pytest.raises(exc)):
        digits(*args)


@pytest.mark.parametrize("value, spec, text", [
    (-255, "", "-255"), (255, "#x", "0xff"), (255, "#X", "0XFF"), (255, "X", "FF"),
    (255, "#o", "0o377"), (5, "#b", "0b101"), (-5, "+d", "-5"), (5, "+d", "+5"),
    (5, " d", " 5"), (5, "-d", "5"), (5, "5", "    5"), (5, "<5d", "5    "), (5, "^5", "  5  "),
    (5, "+#x", "+0x5"), (-5, "#x", "-0x5"), (255, "#10x", "      0xff"),
    (5, "xyz", "5"), (10, "x+-#", "a"),  # characters after the type are ignored
])
def test_format_examples(value, spec, text):
    assert format(mpz(value), spec) == format(xmpz(value), spec) == text


@pytest.mark.parametrize("value, fmt, text", [
    (-5, "05", "-0005"), (-5, "<05", "-5000"), (255, "#08x", "0x0000ff"), (-5, "^007", "00-5000"),
    (5, "0", "5"), (5, "00", "5"), (-5, "08.1f", "-00005.0"), (255, "08x", "000000ff"), (255, "+05d", "+0255"),
    (1234567, ",", "1,234,567"), (1234567, "_", "1_234_567"), (255, "_x", "ff"), (2 ** 20, "_x", "10_0000"),
    (123, "09,", "0,000,123"), (-1234, "+012_", "-000_001_234"),
])
def test_format_zero_padding_and_grouping_as_int(value, fmt, text):
    assert format(mpz(value), fmt) == format(xmpz(value), fmt) == text
    if "." not in fmt:
        assert format(value, fmt) == text


def test_format_grouping_errors():
    with raises(ValueError, "Cannot specify ',' with 'x'."):
        format(mpz(5), ",x")
    with raises(ValueError, INVALID):
        format(mpz(5), ",_d")


@pytest.mark.parametrize("spec", ["#+x", "5<", "++", "5+", "<<", "#<", "+<", "##", "5#", " +"])
def test_format_invalid_order(spec):
    with raises(ValueError, INVALID):
        format(mpz(5), spec)


def test_format_width_limit():
    # 29 width digits plus the inserted '>' fill the 30 characters allowed.
    assert format(mpz(5), "0" * 26 + "123") == "0" * 122 + "5"
    for spec in ["1" * 30, "<" + "0" * 29 + "1"]:
        with raises(ValueError, TOO_LONG):
            format(mpz(5), spec)


@pytest.mark.parametrize("spec", [".2f", "e", "*>5", "=5", "10.3g", "%", ",.2f"])
def test_format_hands_other_specs_to_real_formatting(spec):
    try:
        expected = format(mpfr(5), spec)
    except ValueError as e:
        with raises(ValueError, str(e)):
            format(mpz(5), spec)
    else:
        assert format(mpz(5), spec) == expected


def test_real_formatting_of_integers_uses_context_precision():
    z = mpz(2**80 + 1)
    assert format(z, ".0f") == "1208925819614629174706176.0"  # rounded to 53 bits
    with vexa2.context(precision=100):
        assert format(z, ".0f") == "1208925819614629174706177.0"


specs = st.builds("".join, st.tuples(
    st.sampled_from(["", "<", ">", "^"]), st.sampled_from(["", "+", "-", " "]), st.sampled_from(["", "#"]),
    st.sampled_from(["", "0"]), st.one_of(st.just(""), st.integers(min_value=1, max_value=60).map(str)),
    st.sampled_from(["", "_"]), st.sampled_from(["", "b", "d", "o", "x", "X"])))


@given(ints, specs)
def test_format_matches_int(n, spec):
    assert format(mpz(n), spec) == format(n, spec)
