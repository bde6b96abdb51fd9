"""ceil, floor and trunc as module functions and context methods."""
import math
from fractions import Fraction

import pytest

import vexa2
from vexa2 import context, mpfr, mpq, mpz

ARGS = [2.5, -2.5, -0.5, 0.5, 7, -7, mpz(3), True, mpfr("1e30"), mpfr("-1.25"), mpq(7, 2), mpq(-7, 2),
        Fraction(10**40 + 1, 10**20), mpq(2**60 - 1), mpfr(2**80 + 1, 200)]


@pytest.mark.parametrize("name", ["ceil", "floor", "trunc"])
@pytest.mark.parametrize("x", ARGS, ids=repr)
def test_exact_integer_as_mpz(name, x):
    expected = getattr(math, name)(Fraction(x) if not isinstance(x, mpfr) else Fraction(*x.as_integer_ratio()))
    for f in (getattr(vexa2, name), getattr(context(precision=20), name)):
        r = f(x)
        assert type(r) is mpz and r == expected


@pytest.mark.parametrize("name", ["ceil", "floor", "trunc"])
def test_failures_and_flags(name):
    f = getattr(vexa2, name)
    with pytest.raises(TypeError, match=f"^{name}\\(\\) argument type not supported$"):
        f("1")
    with pytest.raises(TypeError, match=f"^{name}\\(\\) argument type not supported$"):
        f(1j)
    with pytest.raises(ValueError, match="'mpz' does not support NaN"):
        f(mpfr("nan"))
    with pytest.raises(OverflowError, match="'mpz' does not support Infinity"):
        f(float("-inf"))
    c = context(trap_inexact=True)
    assert getattr(c, name)(mpq(4, 2)) == 2 and getattr(c, name)(3.0) == 3
    for x in (mpq(1, 3), 0.5):
        with pytest.raises(vexa2.InexactResultError):
            getattr(c, name)(x)
    c = context()
    getattr(c, name)(mpq(1, 3))
    assert c.inexact
