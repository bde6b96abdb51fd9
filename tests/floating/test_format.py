"""Text of mpfr and mpc: repr, str, __format__, digits; and their attributes."""
import math
import re
import time
from decimal import Decimal

import pytest
from hypothesis import assume, given, strategies as st

import vexa2
from vexa2 import context, digits, mpc, mpfr, mpz

INVALID = "Invalid conversion specification"
TOO_LONG = "too long format string"
MAX_PREC = "The maximum precision for string formatting exceeded. Please use digits() method instead."
INF, NAN = float("inf"), float("nan")
floats = st.floats()


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|\Z)")  # notes may follow


def dot0(text):
    """The '.0' appended to integral-looking output."""
    return text + ".0" if set(text) <= set("+- 0123456789") else text


@given(floats, floats)
def test_str_matches_17_significant_digits(a, b):
    assert str(mpfr(a)) == dot0("%.17g" % a)
    assert str(mpc(complex(a, b))) == dot0("%.17g" % a) + dot0("%+.17g" % b) + "j"


@given(floats, st.sampled_from(["", "+", "-", " "]), st.integers(min_value=0, max_value=40),
       st.sampled_from(["e", "E", "f", "F", "g", "G", "%"]))
def test_format_matches_float(x, sign, prec, typ):
    # Python's float overflows when '%' scales by 100; an mpfr does not.
    assume(typ != "%" or abs(x) < 1e306)
    form = "%s.%d%s" % (sign, prec, typ)
    expected = format(x, form)
    # No digits asked after the point: no ".0" either.
    assert format(mpfr(x), form) == (expected if prec == 0 and typ in "fF" else dot0(expected))


@pytest.mark.parametrize("x, prec, text", [
    (1.0, 53, "mpfr('1.0')"), (1.0, 100, "mpfr('1.0',100)"), (0.0, 100, "mpfr('0.0',100)"),
    (-0.0, 53, "mpfr('-0.0')"), (INF, 100, "mpfr('inf')"), (-NAN, 100, "mpfr('nan')"),
    (1e20, 53, "mpfr('1e+20')"), (1e16, 53, "mpfr('10000000000000000.0')"),
    (0.1, 100, "mpfr('0.10000000000000000555111512312578',100)"),
])
def test_repr(x, prec, text):
    assert repr(mpfr(x, prec)) == text


@pytest.mark.parametrize("prec, d", [(2, 2), (10, 5), (53, 17), (64, 21), (100, 32), (113, 36)])
def test_default_digit_count(prec, d):
    x = mpfr(2 / 3, prec)
    assert str(x) == format(x, ".%dg" % d) != format(x, ".%dg" % (d - 1))


@pytest.mark.parametrize("x, form, text", [
    (1.5, "10.3f", "     1.500"), (1.5, "<10.3f", "1.500     "), (1.5, "^9.1f", "   1.5   "),
    (2.0, "e", "2.000000e+00"), (2.0, "Ue", "2.000000e+00"), (2.0, "U", "2.0"),
    (0.1, "U", "0.10000000000000001"), (0.1, "D", "0.1"), (1.5, ".3", "1.5"),
    (1.5, "10.3", "       1.5"), (1.5, "-", "1.5"), (1.5, "#.3g", "1.50"), (5.0, ".0g", "5.0"),
    (0.25, "%", "25.000000%"), (1.5, "b", "1.1p+0"), (1.5, "A", "0X1.8P+0"),
    (1.5, ".3fxyz", "1.500"),  # characters after the type are ignored
    (-NAN, "+", "+nan"), (-NAN, "e", "nan"), (INF, "+", "+inf"), (INF, " .3f", " inf"), (-INF, "10", "      -inf"),
])
def test_format_examples(x, form, text):
    assert format(mpfr(x), form) == "{0:{1}}".format(mpfr(x), form) == text


@pytest.mark.parametrize("x, fmt, text", [
    (mpfr(-1.5), "08", "-00001.5"), (mpfr(-1.5), "<07.2f", "-1.5000"), (mpfr("-inf"), "06", "-00inf"),
    (mpfr(1.5), "0", "1.5"), (mpfr(-5), "08.2f", "-0005.00"), (mpfr(1234.5), ",.2f", "1,234.50"),
    (mpfr(-1234.5), "015,.2f", "-000,001,234.50"), (mpfr(1234567.25), "_.3f", "1_234_567.250"),
    (mpfr(12345.678), "012.2e", "00001.23e+04"),
])
def test_zero_padding_and_grouping_as_float(x, fmt, text):
    assert format(x, fmt) == format(float(x), fmt) == text


@pytest.mark.parametrize("form", [",+d", ",+.2f", "0D6", " 0#g", "N0", "2D,e", ",<", "_^"])
def test_elements_out_of_order_are_invalid(form):
    # Python's order: [align][sign][#][0][width][grouping][.prec][rounding][type].
    for x in (mpfr(1.5), mpz(15)):
        with raises(ValueError, INVALID):
            format(x, form)


@pytest.mark.parametrize("form", [".2f,", "e_", "%<-_", "g0", "b,"])
def test_characters_after_the_type_are_ignored(form):
    # Not even a grouping or zero flag is taken from them.
    cut = form[:[c in "befg%" for c in form].index(True) + 1]
    for x in (mpfr(12345.678), mpz(12345)):
        assert format(x, form) == format(x, cut)


@pytest.mark.parametrize("x, form", [(-1.5, "0>8"), (-1.5, "0<8.2f"), (1234.5, "0^+12,.1f"), (float("nan"), "0> #7")])
def test_zero_before_alignment_is_a_zero_fill_as_for_float(x, form):
    assert format(mpfr(x), form) == format(x, form)


@pytest.mark.parametrize("x, form, text", [
    (mpc(-1 - 2j), "012", "   -1.0-2.0j"), (mpc(-1 - 2j), "^013M", " (-1.0 -2.0) "),
])
def test_complex_width_zeros_do_not_pad(x, form, text):
    # The fill of complex texts is always a blank: a leading '0' is part of the width.
    assert format(x, form) == text


@pytest.mark.parametrize("letter, round_, pos, neg", [
    ("N", vexa2.RoundToNearest, "0.667", "-0.667"), ("U", vexa2.RoundUp, "0.667", "-0.666"),
    ("D", vexa2.RoundDown, "0.666", "-0.667"), ("Z", vexa2.RoundToZero, "0.666", "-0.666"),
    ("Y", vexa2.RoundAwayZero, "0.667", "-0.667"),
])
def test_rounding(letter, round_, pos, neg):
    assert (format(mpfr(2 / 3), ".3%sf" % letter), format(mpfr(-2 / 3), ".3%sf" % letter)) == (pos, neg)
    with context(round=round_):
        assert format(mpfr(2 / 3), ".3f") == pos  # a type without a letter takes the context's
        assert format(mpfr(2 / 3), ".3Nf") == "0.667"
        assert str(mpfr(0.1)) == "0.10000000000000001"  # the default text rounds to nearest
        assert mpfr(2 / 3).digits(10, 3)[0] == pos[2:]


def test_percent_scales_at_the_value_precision():
    x = mpfr(1 / 3, 10)  # 0.33349609375; times 100 rounded to 10 bits
    assert format(x, ".10%") == "33.3750000000%"
    with context(round=vexa2.RoundDown):
        assert format(x, ".10%") == "33.3125000000%"


@pytest.mark.parametrize("form", [".3#f", ".#f", "5.#", ".3#"])
def test_hash_after_point_is_invalid(form):
    # MPFR would print the conversion string itself instead of the number.
    for x in (mpfr(1.5), mpc(1.5 + 2j), mpz(1)):
        with raises(ValueError, INVALID):
            format(x, form)
    assert format(mpfr(1.5), "#.3g") == "1.50" and format(mpc(1.5 + 2j), "#.3g") == "1.50+2.00j"


@pytest.mark.parametrize("form", ["*<10", "<<", "+<", "5<", "++", "+-", "##", "..", ".5.", "NN", "N5", "N.",
                                  "x", "R", "=5", ",,", "n", "d", "Uq", "6#6", "6#.3f",
                                  "88888_88888", "5,5", "3_,", "5 5", "3+3f"])
def test_format_invalid(form):
    with raises(ValueError, INVALID):
        format(mpfr(1.5), form)


def test_format_limits():
    # 70 characters may follow the '%' of the MPFR conversion.
    assert format(mpfr(1.5), "+#." + "0" * 66 + "3f") == "+1.500"
    width = "0" * 27 + "9"  # with the inserted '>' the 29 characters allowed
    assert format(mpfr(1.5), width) == "0" * 6 + "1.5"
    for form in ["." + "0" * 69 + "3f", "." + "0" * 71, "0" * 28 + "9", "<" + "0" * 28 + "9"]:
        with raises(ValueError, TOO_LONG):
            format(mpfr(1.5), form)


@pytest.mark.parametrize("form", [".3000000000f", ".2147483648e", ".2147483647b", "." + "9" * 69])
def test_huge_digit_requests_raise_quickly(form):
    start = time.monotonic()
    with raises(RuntimeError, MAX_PREC):
        format(mpfr(1.5), form)
    with raises(RuntimeError, MAX_PREC):
        format(mpz(3), form)
    with raises(SystemError, "Internal error in mpfr_asprintf"):
        format(mpc(1j), form[:60].replace("b", "e"))  # no binary type for mpc
    assert time.monotonic() - start < 5


def test_large_but_reasonable_requests_work():
    assert format(mpfr(1.5), ".100000f") == "1.5" + "0" * 99999
    assert format(mpfr(2.0**1000), ".0f") == str(2**1000)
    assert format(mpfr(2**-1074), ".1100f") == format(Decimal(2**-1074), ".1100f")


@pytest.mark.parametrize("x, args, result", [
    (mpfr(1.0), (), ("10000000000000000", 1, 53)), (mpfr(0.0), (2,), ("0", 0, 53)),
    (mpfr(-0.0, 100), (), ("-0", 0, 100)), (mpfr(-INF, 100), (16,), ("-inf", 0, 0)),
    (mpfr(-NAN), (), ("nan", 0, 0)), (mpfr(0.5), (2, 3), ("100", 0, 53)),
    (mpfr(-255.0), (16, 4), ("-ff00", 2, 53)), (mpfr(61.0), (62, 2), ("z0", 1, 53)),
])
def test_digits(x, args, result):
    assert x.digits(*args) == result


@given(st.floats(allow_nan=False, allow_infinity=False).filter(bool), st.integers(min_value=2, max_value=40))
def test_digits_are_correctly_rounded(x, n):
    s, e, p = mpfr(x).digits(10, n)
    mant, exp = format(Decimal(x), ".%de" % (n - 1)).split("e")  # exact value, ties to even
    assert (s, e, p) == (mant.replace(".", ""), int(exp) + 1, 53)


@pytest.mark.parametrize("args, msg", [
    ((63,), "base must be in the interval [2,62]"), ((1, 1), "base must be in the interval [2,62]"),
    ((10, 1), "digits must be 0 or >= 2"), ((10, -1), "digits must be 0 or >= 2"),
])
def test_digits_errors(args, msg):
    for f in (mpfr(1.0).digits, mpc(1j).digits, lambda *a: digits(1.0, *a)):
        with raises(ValueError, msg):
            f(*args)


@pytest.mark.parametrize("z, form, text", [
    (1 - 2j, "", "1.0-2.0j"), (1 + 2j, "M", "(1.0 2.0)"), (1 - 2j, "M", "(1.0 -2.0)"),
    (complex(0.1, 0.2), "M", "(0.1 0.2)"), (1 + 2j, "P", "1.0+2.0j"), (1 + 2j, ".2.5f", "1.00+2.00000j"),
    (1 + 2j, ".2Mf", "(1.00 2.00)"), (1 + 2j, ".2.1f", "1.00+2.0j"), (1 + 2j, "Ue", "1.000000e+00+2.000000e+00j"),
    (1 + 2j, " ", " 1.0+2.0j"), (1 + 2j, "12", "    1.0+2.0j"), (1 + 2j, "<12", "1.0+2.0j    "),
    (complex(1, NAN), "", "1.0+nanj"), (complex(0, INF), "", "0.0+infj"), (complex(-NAN, -INF), "M", "(nan -inf)"),
    (complex(2 / 3, -2 / 3), ".3Df", "0.666-0.667j"), (complex(2 / 3, 2 / 3), "D", "0.66666666666666662+0.66666666666666662j"),
])
def test_complex_format(z, form, text):
    assert format(mpc(z), form) == text


@pytest.mark.parametrize("form", ["%", "b", "<<", "+<", "5+", "#+", "...", "MN", "MM", "PM", "M.", "N5", "*<5",
                                  "6#6", "66366#66663"])
def test_complex_format_invalid(form):
    with raises(ValueError, INVALID):
        format(mpc(1 + 2j), form)


def test_complex_format_limits():
    assert format(mpc(1 + 2j), "." + "0" * 67 + "1f") == "1.0+2.0j"  # "%-." and 68 digits
    for form in ["." + "0" * 68 + "1f", "0" * 28 + "9"]:
        with raises(ValueError, TOO_LONG):
            format(mpc(1 + 2j), form)


def test_complex_dot0_only_for_short_parts():
    real, imag = format(mpc(complex(2.0**170, 1)), ".60g")[:-1].split("+")
    assert (real, imag) == (str(2**170), "1.0")


@pytest.mark.parametrize("x, form, text", [
    (mpfr("1.4142"), ".0f", "1"), (mpfr(1.5), ".0F", "2"), (mpfr(-2.5), "+.0Uf", "-2"), (mpfr(1.5), "#.0f", "2."),
    (mpfr(12345), "08,.0f", "0,012,345"), (mpz(5), ".0f", "5"), (mpc(1.5 + 2.5j), ".0f", "2+2j"),
    (mpc(1 + 2j), ".2.0f", "1.00+2j"), (mpc(1 + 2j), ".2.f", "1.00+2j"), (mpc(1.5 + 2.5j), ".0Mf", "(2 2)"),
    (mpfr(5), ".0g", "5.0"), (mpfr(5), ".0e", "5e+00"), (mpc(1 + 2j), ".0g", "1.0+2.0j"),  # '.0' kept elsewhere
])
def test_no_point_when_no_fraction_digits_asked(x, form, text):
    assert format(x, form) == text


def test_complex_repr_and_digits():
    assert repr(mpc(complex(-INF, NAN))) == "mpc('-inf+nanj')"
    with context(real_prec=60, imag_prec=70):
        z = mpc(0.5 + 2j)
    assert repr(z) == "mpc('0.5+2.0j',(60,70))"
    assert z.digits(2, 2) == (("10", 0, 60), ("10", 2, 70))
    with context(real_round=vexa2.RoundUp, imag_round=vexa2.RoundDown):
        assert mpc(complex(2 / 3, 2 / 3)).digits(10, 3) == (("667", 0, 53), ("666", 0, 53))


def test_real_attributes():
    assert (mpfr(1.0).precision, mpfr(1.0, 200).precision, mpfr(1.0).rc) == (53, 200, 0)
    x = mpfr(0.1, 10)
    assert x.rc != 0 and (float(x) > 0.1) == (x.rc > 0)
    assert (type(x).precision.__doc__, type(x).rc.__doc__) == ("precision in bits", "return code")
    with pytest.raises(AttributeError):
        x.precision = 3


def test_complex_attributes():
    with context(real_prec=60, imag_prec=70):
        z = mpc(complex(3, 4))
    with context(real_prec=10, imag_prec=12):
        w = mpc(complex(0.1, 0.3))
    assert z.precision == (60, 70) and z.rc == (0, 0)
    assert w.rc == (mpfr(0.1, 10).rc, mpfr(0.3, 12).rc) and 0 not in w.rc
    with context(precision=20):  # the parts keep their own precision
        assert (z.real.precision, z.imag.precision, float(z.real), float(z.imag)) == (60, 70, 3.0, 4.0)
    assert math.copysign(1, float(mpc(complex(-0.0, 1)).real)) == -1
    big = mpc(complex(1e300, 1))
    with context(emax=100, trap_overflow=True):
        with pytest.raises(vexa2.OverflowResultError):
            big.real
    with context(emax=100) as ctx:
        assert math.isinf(float(big.real)) and ctx.overflow


@pytest.mark.parametrize("x, form", [
    (mpfr(1) / 3, ".400f"), (mpfr(1) / 3, ".400e"), (mpfr(2) ** -200, ".400E"), (mpfr(2.5), ".300%"),
    (mpfr(-2) ** 100, ".300f"), (mpfr(-2) ** 100, ".300e"),
])
def test_digits_past_the_exact_expansion_are_zeros(x, form):
    assert format(x, form) == format(float(x), form)


def test_huge_fixed_digit_requests_are_fast():
    start = time.monotonic()
    text = format(mpfr(1), ".50000000f")
    assert text == "1." + "0" * 50000000 and time.monotonic() - start < 5
