"""mpq.__format__: Fraction's presentation types, rounded exactly."""
import re
import sys
from fractions import Fraction

import pytest
from hypothesis import given, strategies as st

from vexa2 import mpq

INVALID = "Invalid conversion specification"


@pytest.mark.parametrize("q, form, text", [
    (mpq(1, 3), "", "1/3"), (mpq(6, 3), "", "2"), (mpq(1, 3), ".3f", "0.333"), (mpq(1, 3), ">10", "       1/3"),
    (mpq(5, 2), ".0f", "2"), (mpq(7, 2), ".0f", "4"), (mpq(-5, 2), ".0f", "-2"), (mpq(1, 8), ".2f", "0.12"),
    (mpq(3, 8), ".2e", "3.75e-01"), (mpq(1, 1000), "z.1f", "0.0"), (mpq(-1, 1000), "z.1f", "0.0"),
    (mpq(-1, 1000), ".1f", "-0.0"), (mpq(2, 3), "%", "66.666667%"), (mpq(123456789, 10), ",.1f", "12,345,678.9"),
    (mpq(-1234, 1), "012,.1f", "-0,001,234.0"), (mpq(1, 3), "*^+12.4g", "**+0.3333***"), (mpq(-1, 3), "=+9.2F", "-    0.33"),
    (mpq(10**20, 3), "g", "3.33333e+19"), (mpq(1, 3 * 10**5), ".3G", "3.33E-06"), (mpq(1, 2), "#.0f", "0."),
    (mpq(5, 1), "#", "5/1"), (mpq(-1234567, 1000), "_", "-1_234_567/1_000"), (mpq(1, 3), "\u2605<8", "1/3\u2605\u2605\u2605\u2605\u2605"),
    (mpq(0), ".3e", "0.000e+00"), (mpq(0), "g", "0"), (mpq(999999, 10**6), ".3g", "1"), (mpq(1, 7), ".40f",
                                                                                 "0.1428571428571428571428571428571428571429"),
])
def test_examples(q, form, text):
    assert format(q, form) == f"{q:{form}}" == text


@pytest.mark.parametrize("form", [".3d", "n", "x", ".f", "05", "z", ".2", "<05.2f", ".2fx", ".2Nf", "M", ".2.3f", "=5z"])
def test_invalid(form):
    with pytest.raises(ValueError, match="^" + re.escape(INVALID) + "$"):
        format(mpq(1, 3), form)


def test_huge_precision_is_refused():
    with pytest.raises(MemoryError):
        format(mpq(1, 3), ".99999999999999999f")


# Specs in the grammar Fraction reads: [[fill]align][sign][z][#][0][width][,|_][.prec][type].
fraction_specs = st.tuples(
    st.sampled_from(["", "<", ">", "^", "=", "*<", "0>", "\u00e9^", "x="]), st.sampled_from(["", "+", "-", " "]),
    st.sampled_from(["", "z"]), st.sampled_from(["", "#"]), st.sampled_from(["", "0"]),
    st.one_of(st.just(""), st.integers(min_value=0, max_value=40).map(str)), st.sampled_from(["", ",", "_"]),
    st.one_of(st.just(""), st.integers(min_value=0, max_value=30).map(".{}".format)),
    st.sampled_from(["", "e", "E", "f", "F", "g", "G", "%"])).map("".join)
fractions = st.builds(Fraction, st.integers(min_value=-(10**30), max_value=10**30),
                      st.integers(min_value=1, max_value=10**25))


@pytest.mark.skipif(sys.version_info < (3, 12), reason="Fraction formats from 3.12 on")
@given(fractions, fraction_specs)
def test_matches_fraction(f, form):
    if form[-1:] not in set("eEfFgG%") and sys.version_info < (3, 13):
        return  # a form without a type: Fraction reads it from 3.13 on
    try:
        expected = format(f, form)
    except ValueError:
        with pytest.raises(ValueError):
            format(mpq(f), form)
    else:
        assert format(mpq(f), form) == expected
