"""Text of integers and rationals: repr, str, digits, __format__."""
import re
import sys
import threading
from fractions import Fraction

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import digits, mpc, mpfr, mpq, mpz, xmpz

BASE_MSG = "base must be in the interval 2 ... 62"
INVALID = "Invalid conversion specification"
TOO_LONG = "too long format string"

DIGITS62 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + "$")


def to_base(n, base):
    """Reference text of n in base 2..62 (GMP's digit set: lower case up to 36)."""
    alphabet = DIGITS62.lower() if base <= 36 else DIGITS62
    if n == 0:
        return "0"
    sign, n = ("-", -n) if n < 0 else ("", n)
    out = []
    while n:
        n, r = divmod(n, base)
        out.append(alphabet[r])
    return sign + "".join(reversed(out))


big_ints = st.one_of(st.integers(), st.integers(min_value=-(2**300), max_value=2**300))


# --- repr and str ----------------------------------------------------------

@pytest.mark.parametrize("value, r, s", [
    (mpz(-255), "mpz(-255)", "-255"),
    (mpz(0), "mpz(0)", "0"),
    (xmpz(7), "xmpz(7)", "7"),
    (xmpz(-7), "xmpz(-7)", "-7"),
    (mpq(-3, 4), "mpq(-3,4)", "-3/4"),
    (mpq(6, 3), "mpq(2,1)", "2"),
    (mpq(0, 5), "mpq(0,1)", "0"),
])
def test_repr_and_str(value, r, s):
    assert repr(value) == r
    assert str(value) == s


@given(big_ints)
def test_str_matches_int(n):
    assert str(mpz(n)) == str(n)
    assert repr(mpz(n)) == f"mpz({n})"
    assert str(xmpz(n)) == str(n)


@given(big_ints, st.integers(min_value=1, max_value=2**200))
def test_rational_text_matches_fraction(n, d):
    f = Fraction(n, d)
    q = mpq(n, d)
    assert str(q) == str(f)
    assert repr(q) == f"mpq({f.numerator},{f.denominator})"


@pytest.mark.parametrize("bits", [27_000, 80_000])
def test_long_values_beyond_the_stack_buffer(bits):
    old = sys.get_int_max_str_digits()
    sys.set_int_max_str_digits(0)
    try:
        check_long_value(bits)
    finally:
        sys.set_int_max_str_digits(old)


def check_long_value(bits):
    # 27000 bits are about 8100 decimal digits (close to the stack buffer),
    # 80000 bits need a heap buffer.
    n = -(3**bits // 7)
    n = n >> (n.bit_length() - bits)
    assert str(mpz(n)) == str(n)
    assert repr(xmpz(n)) == f"xmpz({n})"
    assert mpz(n).digits(2) == to_base(n, 2)
    assert xmpz(n).digits(16) == "-0x" + format(-n, "x")


def test_formatting_never_changes_the_value():
    z = mpz(-12345)
    for _ in range(3):
        assert str(z) == "-12345" and z.digits(16) == "-3039"
    assert int(z) == -12345


# --- digits ------------------------------------------------------------------

@pytest.mark.parametrize("value, base, text", [
    (mpz(255), 16, "ff"),
    (mpz(255), -16, "FF"),
    (mpz(5), 2, "101"),
    (mpz(-8), 8, "-10"),
    (mpz(61), 62, "z"),
    (mpz(35), -36, "Z"),
    (mpz(123), 10, "123"),
    (xmpz(255), 16, "0xff"),
    (xmpz(-255), 16, "-0xff"),
    (xmpz(255), -16, "0XFF"),
    (xmpz(5), 2, "0b101"),
    (xmpz(8), 8, "0o10"),
    (xmpz(255), 10, "255"),
    (xmpz(255), 36, "73"),
    (mpq(3, 4), 16, "0x3/0x4"),
    (mpq(5, 1), 2, "0b101"),
    (mpq(-7, 3), 10, "-7/3"),
    (mpq(-7, 3), 3, "-21/10"),
])
def test_digits_methods(value, base, text):
    assert value.digits(base) == text


def test_digits_default_base_is_ten():
    assert mpz(-42).digits() == "-42"
    assert xmpz(42).digits() == "42"
    assert mpq(1, 3).digits() == "1/3"


@given(big_ints, st.integers(min_value=2, max_value=62))
def test_digits_in_every_base(n, base):
    assert mpz(n).digits(base) == to_base(n, base)
    if base <= 36:
        assert mpz(n).digits(-base) == to_base(n, base).upper()


@pytest.mark.parametrize("value", [mpz(1), xmpz(1), mpq(1, 2)])
@pytest.mark.parametrize("base", [63, 1, 0, -1, -37, 2**31 - 1])
def test_digits_bad_base(value, base):
    with raises(ValueError, BASE_MSG):
        value.digits(base)


@pytest.mark.parametrize("value", [mpz(1), xmpz(1), mpq(1, 2)])
def test_digits_base_must_be_int(value):
    with pytest.raises(TypeError):
        value.digits("10")
    with pytest.raises(TypeError):
        value.digits(10, 0)
    with pytest.raises(OverflowError):
        value.digits(2**40)


@pytest.mark.parametrize("args, text", [
    ((255, 16), "ff"),
    ((mpz(255), 2), "11111111"),
    ((xmpz(255), 16), "ff"),  # the module function writes no prefix for integers
    ((-255,), "-255"),
    ((True,), "1"),
    ((Fraction(3, 4), 16), "0x3/0x4"),
    ((mpq(-1, 8), 8), "-0o1/0o10"),
    ((Fraction(6, 3),), "2"),
])
def test_module_digits_of_integers_and_rationals(args, text):
    assert digits(*args) == text


def test_module_digits_of_reals_and_complex_numbers():
    assert digits(2.5) == ("25000000000000000", 1, 53)
    assert digits(mpfr(0.5), 2) == ("10000000000000000000000000000000000000000000000000000", 0, 53)
    assert digits(1.5, 10, 5) == ("15000", 1, 53)
    assert digits(complex(1, -2)) == (("10000000000000000", 1, 53), ("-20000000000000000", 1, 53))


@pytest.mark.parametrize("args, exc, msg", [
    ((), TypeError, "digits() requires at least one argument"),
    ((1, 2, 3, 4), TypeError, "digits() accepts at most three arguments"),
    (("1",), TypeError, "digits() argument type not supported"),
    ((None, 10), TypeError, "digits() argument type not supported"),
    ((5, 63), ValueError, BASE_MSG),
    ((mpq(1, 2), 1), ValueError, BASE_MSG),
])
def test_module_digits_errors(args, exc, msg):
    with raises(exc, msg):
        digits(*args)


@pytest.mark.parametrize("x", [5, mpq(1, 2)])
def test_module_digits_refuses_a_third_argument_for_exact_kinds(x):
    with pytest.raises(TypeError):
        digits(x, 10, 5)


# --- __format__ ----------------------------------------------------------------

@pytest.mark.parametrize("value, spec, text", [
    (255, "", "255"),
    (-255, "", "-255"),
    (255, "#x", "0xff"),
    (255, "#X", "0XFF"),
    (255, "x", "ff"),
    (255, "X", "FF"),
    (255, "#o", "0o377"),
    (5, "#b", "0b101"),
    (5, "b", "101"),
    (-5, "+d", "-5"),
    (5, "+d", "+5"),
    (5, " d", " 5"),
    (5, "-d", "5"),
    (5, "5", "    5"),
    (5, "<5d", "5    "),
    (5, "^5", "  5  "),
    (5, "+#x", "+0x5"),
    (-5, "#x", "-0x5"),
    (255, "#10x", "      0xff"),
    (5, "xyz", "5"),       # characters after the type letter are ignored
    (10, "x+-#", "a"),
    (5, "d", "5"),
])
def test_format_integer_grammar(value, spec, text):
    assert format(mpz(value), spec) == text
    assert format(xmpz(value), spec) == text
    assert "{0:{1}}".format(mpz(value), spec) == text


@pytest.mark.parametrize("spec", ["#+x", "5<", "++", "5+", "<<", "#<", "+<", "##", "5#", " +"])
def test_format_invalid_order(spec):
    with raises(ValueError, INVALID):
        format(mpz(5), spec)


def test_format_width_limit():
    # 29 width digits plus the inserted '>' fill the 30 characters allowed.
    assert format(mpz(5), "0" * 26 + "123") == format("5", ">" + "0" * 26 + "123")
    assert format(mpz(5), "<" + "0" * 26 + "12") == format("5", "<" + "0" * 26 + "12")
    with raises(ValueError, TOO_LONG):
        format(mpz(5), "1" * 30)
    with raises(ValueError, TOO_LONG):
        format(mpz(5), "<" + "0" * 29 + "1")


@pytest.mark.parametrize("spec", [".2f", "e", "*>5", "=5", ",", "_", "n", "10.3g", "%"])
def test_format_hands_other_specs_to_real_formatting(spec):
    # The integer becomes an mpfr at the context's precision first.
    z = mpz(5)
    try:
        expected = format(mpfr(5), spec)
    except ValueError as e:
        with raises(ValueError, str(e)):
            format(z, spec)
    else:
        assert format(z, spec) == expected


def test_format_of_large_integer_uses_context_precision():
    z = mpz(2**80 + 1)
    assert format(z, ".0f") == "1208925819614629174706176.0"  # 2**80 at 53 bits
    with vexa2.context(precision=100):
        assert format(z, ".0f") == "1208925819614629174706177.0"


def test_format_argument_must_be_str():
    with pytest.raises(TypeError):
        mpz(5).__format__(5)
    with pytest.raises(ValueError):
        mpz(5).__format__("x\0")


specs = st.builds(
    lambda align, sign, alt, width, typ: align + sign + alt + width + typ,
    st.sampled_from(["", "<", ">", "^"]),
    st.sampled_from(["", "+", "-", " "]),
    st.sampled_from(["", "#"]),
    st.one_of(st.just(""), st.integers(min_value=1, max_value=60).map(str)),
    st.sampled_from(["", "b", "d", "o", "x", "X"]),
)


@given(big_ints, specs)
def test_format_matches_int(n, spec):
    assert format(mpz(n), spec) == format(n, spec)


def test_concurrent_formatting_of_one_value():
    z = mpz(-(7**500))
    expected = str(-(7**500))
    bad = []

    def work():
        for _ in range(200):
            if str(z) != expected or z.digits(7) != "-1" + "0" * 500:
                bad.append(1)

    threads = [threading.Thread(target=work) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not bad


# --- mpq attributes -----------------------------------------------------------

@given(big_ints, st.integers(min_value=1, max_value=2**100))
def test_numerator_and_denominator(n, d):
    q, f = mpq(n, d), Fraction(n, d)
    assert type(q.numerator) is mpz and type(q.denominator) is mpz
    assert int(q.numerator) == f.numerator
    assert int(q.denominator) == f.denominator


def test_rational_attributes_are_read_only():
    q = mpq(1, 2)
    with pytest.raises(AttributeError):
        q.numerator = mpz(3)
    assert type(q).numerator.__doc__ == "the numerator of a rational number in lowest terms"
    assert type(q).denominator.__doc__ == "the denominator of a rational number in lowest terms"


def test_complex_not_touched_by_integer_digits():
    # Complex numbers take the complex digits of the module function.
    assert digits(mpc(complex(0, 1)))[1] == ("10000000000000000", 1, 53)
