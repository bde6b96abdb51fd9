"""erf and erfc where MPFR's series would abort the process: correctly
rounded all the same (checked against mpmath with many guard bits)."""
import math
from fractions import Fraction

import mpmath
import pytest

import vexa2
from vexa2 import RoundDown, RoundToNearest, RoundUp, context, mpfr, mpq

pytestmark = pytest.mark.thread_unsafe(reason="mpmath's working precision is process-wide")


def reference(name, x, prec, mode):
    mpmath.mp.prec = prec + 200
    n, d = x.as_integer_ratio()
    s, m, e, _ = getattr(mpmath, name)(mpmath.mpf(int(n)) / int(d))._mpf_
    q = Fraction(m) * Fraction(2) ** e * (-1 if s else 1)
    with context(precision=prec, round=mode):
        return mpfr(mpq(q.numerator, q.denominator))


@pytest.mark.parametrize("prec", [10, 30, 1100, 2000])
@pytest.mark.parametrize("name", ["erf", "erfc"])
@pytest.mark.parametrize("arg", ["float", "root", "-root", "near"])
@pytest.mark.parametrize("mode", [RoundToNearest, RoundUp, RoundDown])
def test_near_a_vanishing_partial_sum(prec, name, arg, mode):
    with context(precision=prec):
        x = {"float": math.sqrt(3), "root": vexa2.sqrt(3), "-root": -vexa2.sqrt(3),
             "near": mpfr("1.7320508")}[arg]
    c = context(precision=prec, round=mode)
    r = getattr(c, name)(x)
    assert r == reference(name, x, prec, mode)
    assert c.inexact and (r.rc != 0)
