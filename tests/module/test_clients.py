"""vexa2 numbers handed to client libraries: mpmath takes an mpfr exactly
(its _mpf_), in conversions, arithmetic and functions; SymPy's Integer and
Rational take the values of mpz and mpq exactly."""
from fractions import Fraction

import mpmath
import pytest

import vexa2
from vexa2 import mpfr, mpq, mpz

pytestmark = pytest.mark.thread_unsafe(reason="mpmath's working precision is process-wide")

REALS = [mpfr("1.5"), mpfr(1) / 3, mpfr("-2.5e-300"), mpfr("1e300") * 1e300, vexa2.context(precision=200).sqrt(2),
         mpfr(-(2**80) - 1, 100)]


@pytest.mark.parametrize("x", REALS, ids=repr)
def test_mpmath_takes_mpfr_exactly(x):
    with mpmath.workprec(400):
        f = Fraction(*x.as_integer_ratio())
        v = mpmath.mpf(int(f.numerator)) / int(f.denominator)
        assert mpmath.mpf(x) == v and mpmath.mpmathify(x) == v
        assert mpmath.mpf(1) + x == 1 + v and mpmath.fsum([x, x]) == 2 * v
        assert mpmath.sqrt(mpmath.fabs(x)) == mpmath.sqrt(abs(v)) and mpmath.atan(x) == mpmath.atan(v)


@pytest.mark.parametrize("x", [mpz(7), mpz(-(10**40) - 1), vexa2.xmpz(12)], ids=repr)
def test_sympy_integer_takes_mpz(x):
    sympy = pytest.importorskip("sympy", reason="sympy is not installed (scripts/setup.sh installs it)")
    n = sympy.Integer(x)
    assert isinstance(n, sympy.Integer) and n == int(x)


@pytest.mark.parametrize("q", [mpq(1, 3), mpq(-7, 2), mpq(10**30 + 1, 3)], ids=repr)
def test_sympy_rational_takes_mpq_parts(q):
    sympy = pytest.importorskip("sympy", reason="sympy is not installed (scripts/setup.sh installs it)")
    r = sympy.Rational(sympy.Integer(q.numerator), sympy.Integer(q.denominator))
    assert isinstance(r, sympy.Rational) and (r.p, r.q) == (int(q.numerator), int(q.denominator))
