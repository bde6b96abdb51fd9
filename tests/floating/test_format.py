"""Text of mpfr and mpc: repr, str, __format__, digits; and their attributes."""
import math
import re
import time
from decimal import Decimal

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import context, digits, mpc, mpfr, mpz

INVALID = "Invalid conversion specification"
TOO_LONG = "too long format string"
MAX_PREC = "The maximum precision for string formatting exceeded. Please use digits() method instead."
ASPRINTF = "Internal error in mpfr_asprintf"
BASE = "base must be in the interval [2,62]"
DIGITS = "digits must be 0 or >= 2"

INF, NAN = float("inf"), float("nan")
floats = st.floats(allow_nan=True, allow_infinity=True)
finite = st.floats(allow_nan=False, allow_infinity=False)


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + "$")


def dot0(text):
    """The '.0' the module appends to integral-looking output."""
    return text + ".0" if set(text) <= set("+- 0123456789") else text


def default_digits(p):
    return int(p * 0.3010299956639812) + 2


# --- str and repr of mpfr ------------------------------------------------------

@given(floats)
def test_str_matches_17_significant_digits(x):
    assert str(mpfr(x)) == dot0("%.17g" % x)


@pytest.mark.parametrize("x, text", [
    (1.0, "1.0"),
    (0.1, "0.10000000000000001"),
    (1e20, "1e+20"),
    (-INF, "-inf"),
    (INF, "inf"),
    (NAN, "nan"),
    (-NAN, "nan"),
    (-0.0, "-0.0"),
    (123456.0, "123456.0"),
    (1e16, "10000000000000000.0"),
    (1e17, "1e+17"),
])
def test_str(x, text):
    assert str(mpfr(x)) == text


@pytest.mark.parametrize("x, prec, text", [
    (1.0, 53, "mpfr('1.0')"),
    (1.0, 100, "mpfr('1.0',100)"),
    (0.0, 100, "mpfr('0.0',100)"),
    (-0.0, 53, "mpfr('-0.0')"),
    (0.5, 2, "mpfr('0.5',2)"),
    (INF, 100, "mpfr('inf')"),
    (-INF, 20, "mpfr('-inf')"),
    (NAN, 100, "mpfr('nan')"),
    (0.1, 100, "mpfr('0.10000000000000000555111512312578',100)"),
])
def test_repr(x, prec, text):
    assert repr(mpfr(x, prec)) == text


@pytest.mark.parametrize("prec, d", [(2, 2), (10, 5), (53, 17), (64, 21), (100, 32), (113, 36), (1000, 303)])
def test_default_digit_count(prec, d):
    assert default_digits(prec) == d
    x = mpfr(2 / 3, prec)
    assert str(x) == format(x, ".%dg" % d)
    if prec <= 113:  # the float 2/3 has 53 significant decimal digits
        assert str(x) != format(x, ".%dg" % (d - 1))


def test_str_ignores_context_rounding():
    with context(round=vexa2.RoundDown):
        assert str(mpfr(0.1)) == "0.10000000000000001"
        assert format(mpfr(2 / 3), ".3f") == "0.666"  # a named type uses the context's


# --- mpfr __format__ -------------------------------------------------------------

types = st.sampled_from(["e", "E", "f", "F", "g", "G", "%"])


@given(floats, st.sampled_from(["", "+", "-", " "]), st.integers(min_value=0, max_value=40), types)
def test_format_matches_float(x, sign, prec, typ):
    spec = "%s.%d%s" % (sign, prec, typ)
    assert format(mpfr(x), spec) == dot0(format(x, spec))


@given(finite, st.sampled_from(["", "<", ">", "^"]), st.integers(min_value=0, max_value=40),
       st.integers(min_value=0, max_value=12), types)
def test_format_alignment_matches_str_format(x, align, width, prec, typ):
    core = format(mpfr(x), ".%d%s" % (prec, typ))
    spec = "%s%d.%d%s" % (align, width, prec, typ) if width else "%s.%d%s" % (align, prec, typ)
    assert format(mpfr(x), spec) == format(core, (align or ">") + (str(width) if width else ""))


@pytest.mark.parametrize("x, spec, text", [
    (1.5, "10.3f", "     1.500"),
    (1.5, "<10.3f", "1.500     "),
    (1.5, "^9.1f", "   1.5   "),
    (2.0, "e", "2.000000e+00"),
    (2.0, "Ue", "2.000000e+00"),
    (2.0, "U", "2.0"),
    (0.1, "U", "0.10000000000000001"),
    (0.1, "D", "0.1"),
    (0.1, "Z", "0.1"),
    (1.5, ".3", "1.5"),
    (1.5, "10.3", "       1.5"),
    (1.5, "+", "+1.5"),
    (1.5, " ", " 1.5"),
    (1.5, "-", "1.5"),
    (1.5, "#.3g", "1.50"),
    (5.0, ".0f", "5.0"),
    (0.25, "%", "25.000000%"),
    (0.25, ".1%", "25.0%"),
    (1.5, "b", "1.1p+0"),
    (1.5, "a", "0x1.8p+0"),
    (1.5, "A", "0X1.8P+0"),
    (1.5, ".3fxyz", "1.500"),  # characters after the type are ignored
    (-NAN, "+", "+nan"),
    (INF, "+", "+inf"),
    (INF, " .3f", " inf"),
    (-INF, "+", "-inf"),
    (-NAN, "e", "nan"),
    (NAN, "E", "NAN"),
    (-INF, "10", "      -inf"),
])
def test_format_examples(x, spec, text):
    assert format(mpfr(x), spec) == text
    assert "{0:%s}" % spec and "{0:{1}}".format(mpfr(x), spec) == text


@pytest.mark.parametrize("letter, pos, neg", [
    ("N", "0.667", "-0.667"),
    ("U", "0.667", "-0.666"),
    ("D", "0.666", "-0.667"),
    ("Z", "0.666", "-0.666"),
    ("Y", "0.667", "-0.667"),
])
def test_rounding_letters(letter, pos, neg):
    assert format(mpfr(2 / 3), ".3%sf" % letter) == pos
    assert format(mpfr(-2 / 3), ".3%sf" % letter) == neg


@pytest.mark.parametrize("round_, text", [
    (vexa2.RoundToNearest, "0.667"), (vexa2.RoundToZero, "0.666"), (vexa2.RoundUp, "0.667"),
    (vexa2.RoundDown, "0.666"), (vexa2.RoundAwayZero, "0.667"),
])
def test_context_rounding_for_named_types(round_, text):
    with context(round=round_):
        assert format(mpfr(2 / 3), ".3f") == text
        assert format(mpfr(2 / 3), ".3Nf") == "0.667"


def test_percent_scales_at_the_value_precision_with_context_rounding():
    x = mpfr(1 / 3, 10)  # 0.33349609375
    assert format(x, ".10%") == "33.3750000000%"  # 33.349609375 rounded to 10 bits
    with context(round=vexa2.RoundDown):
        assert format(x, ".10%") == "33.3125000000%"


@pytest.mark.parametrize("spec", [
    "*<10", "<<", "+<", "5<", "++", "+-", "##", "..", ".5.", "NN", "NU", "N5", "N.", "N#",
    "x", "R", "=5", ",", "_", "n", "c", "d", "s", "Uq", "\u00e9",
])
def test_format_invalid(spec):
    with raises(ValueError, INVALID):
        format(mpfr(1.5), spec)


def test_format_limits():
    # 70 characters may follow the '%' of the MPFR conversion.
    assert format(mpfr(1.5), "." + "0" * 68 + "3f") == "1.500"
    assert format(mpfr(1.5), "+#." + "0" * 66 + "3f") == "+1.500"
    with raises(ValueError, TOO_LONG):
        format(mpfr(1.5), "." + "0" * 69 + "3f")
    # The alignment specification holds 29 characters, the inserted '>' included.
    width = "0" * 27 + "9"
    assert format(mpfr(1.5), width) == format("1.5", ">" + width)
    with raises(ValueError, TOO_LONG):
        format(mpfr(1.5), "0" * 28 + "9")
    with raises(ValueError, TOO_LONG):
        format(mpfr(1.5), "<" + "0" * 28 + "9")


@pytest.mark.parametrize("spec", [
    ".3000000000f", ".2147483648e", ".2147483647b", "." + "9" * 69, ".4294967297g", ".99999999999a",
])
def test_huge_digit_requests_raise_quickly(spec):
    start = time.monotonic()
    with raises(RuntimeError, MAX_PREC):
        format(mpfr(1.5), spec)
    with raises(RuntimeError, MAX_PREC):
        format(mpz(3), spec)
    assert time.monotonic() - start < 5


def test_large_but_reasonable_requests_work():
    assert format(mpfr(1.5), ".100000f") == "1.5" + "0" * 99999
    big = mpfr(2.0**1000)
    assert format(big, ".0f") == dot0(str(2**1000))
    assert format(mpfr(2**-1074), ".1100f") == format(Decimal(2**-1074), ".1100f")


def test_format_argument_must_be_str():
    with pytest.raises(TypeError):
        mpfr(1.5).__format__(None)
    with pytest.raises(TypeError):
        mpfr(1.5).__format__()


# --- mpfr digits ---------------------------------------------------------------

@pytest.mark.parametrize("x, args, result", [
    (mpfr(1.0), (), ("10000000000000000", 1, 53)),
    (mpfr(0.0), (2,), ("0", 0, 53)),
    (mpfr(-0.0), (), ("-0", 0, 53)),
    (mpfr(0.0, 100), (), ("0", 0, 100)),
    (mpfr(INF), (), ("inf", 0, 0)),
    (mpfr(-INF, 100), (16,), ("-inf", 0, 0)),
    (mpfr(NAN), (), ("nan", 0, 0)),
    (mpfr(-NAN), (), ("nan", 0, 0)),
    (mpfr(0.5), (2, 3), ("100", 0, 53)),
    (mpfr(-255.0), (16, 4), ("-ff00", 2, 53)),
    (mpfr(61.0), (62, 2), ("z0", 1, 53)),
    (mpfr(1.5, 10), (10, 5), ("15000", 1, 10)),
])
def test_digits(x, args, result):
    assert x.digits(*args) == result


@given(st.floats(allow_nan=False, allow_infinity=False).filter(bool), st.integers(min_value=2, max_value=40))
def test_digits_are_correctly_rounded(x, n):
    s, e, p = mpfr(x).digits(10, n)
    mant, exp = format(Decimal(x), ".%de" % (n - 1)).split("e")  # exact value, ties to even
    assert p == 53
    assert s == mant.replace(".", "")
    assert e == int(exp) + 1


@given(finite.filter(bool))
def test_default_digits_read_back(x):
    s, e, _ = mpfr(x).digits()
    assert len(s.lstrip("-")) == 17
    assert float(Decimal(s) * Decimal(10) ** (e - len(s.lstrip("-")))) == x


def test_digits_use_context_rounding():
    with context(round=vexa2.RoundDown):
        assert mpfr(2 / 3).digits(10, 3) == ("666", 0, 53)
    with context(round=vexa2.RoundUp):
        assert mpfr(2 / 3).digits(10, 3) == ("667", 0, 53)


@pytest.mark.parametrize("args, exc, msg", [
    ((63,), ValueError, BASE),
    ((1,), ValueError, BASE),
    ((-10,), ValueError, BASE),
    ((1, 1), ValueError, BASE),  # the base is checked first
    ((10, 1), ValueError, DIGITS),
    ((10, -1), ValueError, DIGITS),
])
def test_digits_errors(args, exc, msg):
    with raises(exc, msg):
        mpfr(1.0).digits(*args)
    with raises(exc, msg):
        mpc(1j).digits(*args)
    with raises(exc, msg):
        digits(1.0, *args)


def test_digits_argument_types():
    with pytest.raises(TypeError):
        mpfr(1.0).digits("10")
    with pytest.raises(TypeError):
        mpfr(1.0).digits(10, 2, 3)
    with pytest.raises(OverflowError):
        mpfr(1.0).digits(10, 2**40)


# --- mpc text ------------------------------------------------------------------

@given(floats, floats)
def test_complex_str_matches_parts(a, b):
    re_ = dot0("%.17g" % a)
    im = dot0("%+.17g" % b)
    assert str(mpc(complex(a, b))) == re_ + im + "j"


@pytest.mark.parametrize("z, spec, text", [
    (1 + 2j, "", "1.0+2.0j"),
    (1 - 2j, "", "1.0-2.0j"),
    (complex(0.1, 0.2), "", "0.10000000000000001+0.20000000000000001j"),
    (1 + 2j, "M", "(1.0 2.0)"),
    (1 - 2j, "M", "(1.0 -2.0)"),
    (1 + 2j, "P", "1.0+2.0j"),
    (complex(0.1, 0.2), "M", "(0.1 0.2)"),
    (1 + 2j, ".2.5f", "1.00+2.00000j"),
    (1 + 2j, ".2f", "1.00+2.00j"),
    (1 + 2j, ".2Mf", "(1.00 2.00)"),
    (1 + 2j, ".2.f", "1.00+2.0j"),
    (1 + 2j, "e", "1.000000e+00+2.000000e+00j"),
    (1 + 2j, "Ue", "1.000000e+00+2.000000e+00j"),
    (1 + 2j, "+", "+1.0+2.0j"),
    (1 + 2j, " ", " 1.0+2.0j"),
    (1 + 2j, ">12", "    1.0+2.0j"),
    (1 + 2j, "12", "    1.0+2.0j"),
    (1 + 2j, "<12", "1.0+2.0j    "),
    (1 + 2j, "^12", "  1.0+2.0j  "),
    (1 + 2j, ".3", "1.0+2.0j"),
    (complex(1, NAN), "", "1.0+nanj"),
    (complex(0, INF), "", "0.0+infj"),
    (complex(0, INF), "M", "(0.0 inf)"),
    (complex(-NAN, -INF), "", "nan-infj"),
    (complex(2 / 3, -2 / 3), ".3Df", "0.666-0.667j"),
    (complex(2 / 3, 2 / 3), "D", "0.66666666666666662+0.66666666666666662j"),
    (1 + 2j, ".1fxyz", "1.0+2.0j"),
])
def test_complex_format(z, spec, text):
    assert format(mpc(z), spec) == text


@pytest.mark.parametrize("spec", [
    "%", "b", "<<", "+<", "++", "+-", "5+", "#+", "...", ".1.2.", "MN", "MM", "PM", "M.", "N.",
    "N5", "M5", "*<5", "x", "=",
])
def test_complex_format_invalid(spec):
    with raises(ValueError, INVALID):
        format(mpc(1 + 2j), spec)


def test_complex_format_limits():
    # The real conversion carries the inserted '-' flag: "%-." and 68 digits.
    assert format(mpc(1 + 2j), "." + "0" * 67 + "1f") == "1.0+2.0j"
    with raises(ValueError, TOO_LONG):
        format(mpc(1 + 2j), "." + "0" * 68 + "1f")
    with raises(ValueError, TOO_LONG):
        format(mpc(1 + 2j), "0" * 28 + "9")
    assert format(mpc(1 + 2j), "0" * 27 + "9") == format("1.0+2.0j", ">" + "0" * 27 + "9")


@pytest.mark.parametrize("spec", [".3000000000f", ".1.3000000000e", "." + "9" * 67])
def test_complex_huge_digit_requests_raise(spec):
    with raises(SystemError, ASPRINTF):
        format(mpc(1 + 2j), spec)


def test_complex_dot0_only_for_short_parts():
    z = mpc(complex(2.0**170, 1))
    text = format(z, ".0f")
    real, imag = text[:-1].split("+")
    assert real == str(2**170) and len(real) > 49  # no '.0' for a long part
    assert imag == "1.0"


@pytest.mark.parametrize("make, text", [
    (lambda: mpc(1 + 2j), "mpc('1.0+2.0j')"),
    (lambda: mpc(complex(-INF, NAN)), "mpc('-inf+nanj')"),
])
def test_complex_repr(make, text):
    assert repr(make()) == text


def test_complex_repr_shows_precisions():
    with context(precision=100):
        z = mpc(1 + 2j)
    assert repr(z) == "mpc('1.0+2.0j',(100,100))"
    with context(real_prec=60, imag_prec=70):
        z = mpc(0.5 + 2j)
    assert repr(z) == "mpc('0.5+2.0j',(60,70))"


def test_complex_digits():
    assert mpc(1 - 2j).digits() == (("10000000000000000", 1, 53), ("-20000000000000000", 1, 53))
    assert mpc(complex(INF, 0)).digits(2) == (("inf", 0, 0), ("0", 0, 53))
    with context(real_round=vexa2.RoundUp, imag_round=vexa2.RoundDown):
        assert mpc(complex(2 / 3, 2 / 3)).digits(10, 3) == (("667", 0, 53), ("666", 0, 53))


# --- attributes ------------------------------------------------------------------

def test_real_attributes():
    assert mpfr(1.0).precision == 53
    assert mpfr(1.0, 200).precision == 200
    assert mpfr(1.0).rc == 0
    x = mpfr(0.1, 10)
    assert x.rc in (-1, 1)
    assert (float(x) > 0.1) == (x.rc > 0)
    assert type(x).precision.__doc__ == "precision in bits"
    assert type(x).rc.__doc__ == "return code"
    with pytest.raises(AttributeError):
        x.precision = 3


def test_complex_attributes():
    z = mpc(1 + 2j)
    assert z.precision == (53, 53) and z.rc == (0, 0)
    with context(precision=10):
        w = mpc(complex(0.1, 0.3))
    assert w.rc == (mpfr(0.1, 10).rc, mpfr(0.3, 10).rc)
    assert w.rc[0] != 0 and w.rc[1] != 0
    assert type(z).real.__doc__ == "real component"
    assert type(z).imag.__doc__ == "imaginary component"


def test_complex_parts_keep_their_precision():
    with context(real_prec=60, imag_prec=70):
        z = mpc(complex(3, 4))
    with context(precision=20):
        re_, im = z.real, z.imag
    assert type(re_) is mpfr and (re_.precision, im.precision) == (60, 70)
    assert (float(re_), float(im)) == (3.0, 4.0)
    assert re_.rc == 0 and im.rc == 0
    z = mpc(complex(-0.0, NAN))
    assert math.copysign(1, float(z.real)) == -1 and math.isnan(float(z.imag))


def test_complex_parts_are_checked_against_the_context():
    z = mpc(complex(1e300, 1))
    with context(emax=100, trap_overflow=True):
        with pytest.raises(vexa2.OverflowResultError):
            z.real
        assert float(z.imag) == 1.0
    with context(emax=100) as ctx:
        assert math.isinf(float(z.real))
        assert ctx.overflow
