"""Predicates of real and complex numbers in their three forms, and the NaN-aware comparisons."""
import math
from fractions import Fraction

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import context, get_context, is_lessgreater, is_unordered, mpc, mpfr, mpz

# The predicates by their rows: a bool-valued method of mpfr that is also a context method.
ROWS = vexa2._rows()[0]
PREDICATES = sorted({r[0] for r in ROWS if r[1] & 32 and r[4] == "bool"} & {r[0] for r in ROWS if r[1] & 2 and r[4] == "bool"})

FLOAT_ORACLE = {
    "is_finite": math.isfinite,
    "is_infinite": math.isinf,
    "is_nan": math.isnan,
    "is_zero": lambda x: x == 0,
    "is_integer": float.is_integer,
    "is_regular": lambda x: math.isfinite(x) and x != 0,
    "is_signed": lambda x: math.copysign(1, x) < 0,
}


def test_every_predicate_has_an_oracle():
    assert set(PREDICATES) == set(FLOAT_ORACLE)


def forms(name):
    """The method, the module function and the context method of one predicate."""
    return [lambda x: getattr(x, name)(), getattr(vexa2, name), getattr(get_context(), name)]


@given(st.floats())
def test_predicates_agree_with_float(x):
    m = mpfr(x)
    for name, oracle in FLOAT_ORACLE.items():
        if name == "is_signed" and math.isnan(x):
            continue  # a NaN's sign is not kept by the conversion
        want = oracle(x)
        for f in forms(name):
            assert f(m) is want
        assert getattr(vexa2, name)(x) is want  # a float converted first


def test_predicates_of_other_real_kinds():
    for f, arg, want in ((vexa2.is_integer, mpz(3), True), (vexa2.is_integer, Fraction(1, 3), False),
                         (get_context().is_regular, 0, False), (vexa2.is_signed, -5, True)):
        assert f(arg) is want


@pytest.mark.parametrize("z, finite, infinite, nan, zero", [
    (mpc(0, 0), True, False, False, True),
    (mpc(1, -0.0), True, False, False, False),
    (mpc("inf+nanj"), False, True, False, False),  # an infinite part makes it infinite
    (mpc("nan+1j"), False, False, True, False),
    (mpc("1+infj"), False, True, False, False),
    (complex(0, 0), True, False, False, True),
])
def test_complex_predicates(z, finite, infinite, nan, zero):
    for name, want in (("is_finite", finite), ("is_infinite", infinite), ("is_nan", nan), ("is_zero", zero)):
        for f in forms(name) if type(z) is mpc else forms(name)[1:]:
            assert f(z) is want


@pytest.mark.parametrize("name", PREDICATES)
def test_unsupported_arguments(name):
    real_only = name in ("is_integer", "is_regular", "is_signed")
    for arg in ["a", None] + ([mpc(1), 1j] if real_only else []):
        for f in forms(name)[1:]:
            with pytest.raises(TypeError) as e:
                f(arg)
            assert str(e.value) == f"{name}() argument type not supported"
    assert hasattr(mpc(1), name) is not real_only


def test_lessgreater_and_unordered():
    nan = mpfr("nan")
    assert is_lessgreater(1, 2) and is_lessgreater(mpfr(2), 1.5) and not is_lessgreater(1, 1.0)
    assert not is_lessgreater(1, nan) and is_unordered(1, nan) and is_unordered(nan, nan)
    assert not is_unordered(Fraction(1, 3), mpz(2))


@pytest.mark.parametrize("call, msg", [
    (lambda: is_lessgreater(1), "is_lessgreater() requires 2 arguments"),
    (lambda: is_unordered(1, 2, 3), "is_unordered() requires 2 arguments"),
    (lambda: is_lessgreater(1, "a"), "is_lessgreater() argument type not supported"),
    (lambda: is_unordered(1, 1j), "is_unordered() argument type not supported"),
])
def test_comparison_errors(call, msg):
    with pytest.raises(TypeError) as e:
        call()
    assert str(e.value) == msg
