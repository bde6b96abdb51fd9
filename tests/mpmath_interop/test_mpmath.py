import random
from fractions import Fraction

import pytest

from vexa2 import _mpmath_create, _mpmath_normalize, context, mpfr, mpz, xmpz

# mpmath, the oracle, keeps its working precision in one process-wide
# setting: threads running these tests at once would change it under each other.
pytestmark = pytest.mark.thread_unsafe(reason="mpmath's working precision is process-wide")


ROUNDINGS = "nfcdu"


@pytest.mark.parametrize(
    "args, expected",
    [
        ((0, mpz(12), 0, 4, 53, "n"), (0, 3, 2, 2)),
        ((0, mpz(7), 0, 3, 2, "n"), (0, 1, 3, 1)),  # 3.5 * 2 rounds to the even 4
        ((0, mpz(5), 0, 3, 2, "n"), (0, 1, 2, 1)),  # 2.5 * 2 rounds to the even 2
        ((1, mpz(5), 0, 3, 2, "f"), (1, 3, 1, 2)),  # floor of a negative value
        ((0, mpz(0), 7, 0, 53, "n"), (0, 0, 0, 0)),
        ((0, 12, 0, 4, 53, "n"), (0, 3, 2, 2)),  # an int mantissa is converted
        ((mpz(-3), xmpz(12), 0, 4, 53, "n"), (-3, 3, 2, 2)),  # a negative mpz sign, passed through
        ((0, mpz(5), 0, 3, 0, "d"), (0, 0, 0, 0)),  # rounded to nothing
        ((0, mpz(6), Fraction(1, 2), 3, 53, "n"), (0, 3, Fraction(3, 2), 2)),  # any exp that adds
    ],
)
def test_normalize(args, expected):
    got = _mpmath_normalize(*args)
    assert got == expected and type(got[1]) is mpz


def test_normalize_returns_its_arguments_when_nothing_changes():
    man, exp = mpz(2**80 + 1), 10**30
    got = _mpmath_normalize(1, man, exp, 81, 100, "n")
    assert got == (1, man, exp, 81) and got[1] is man and got[2] is exp


@pytest.mark.parametrize(
    "args, expected",
    [
        ((mpz(-12), 0), (1, 3, 2, 2)),
        ((5, 0, 2), (0, 1, 2, 1)),  # toward -inf by default
        ((-5, 0, 2), (1, 3, 1, 2)),
        ((5, 0, 2, "u"), (0, 3, 1, 2)),
        ((0, 9), (0, 0, 0, 0)),
        ((255, -3, -5), (0, 255, -3, 8)),  # a negative precision rounds nothing
        ((mpz(2**70 - 1), 0, 70, "n"), (0, 2**70 - 1, 0, 70)),
        ((mpz(2**70 - 1), 0, 69, "n"), (0, 1, 70, 1)),
    ],
)
def test_create(args, expected):
    got = _mpmath_create(*args)
    assert got == expected and type(got[1]) is mpz


@pytest.mark.parametrize(
    "call, exc, msg",
    [
        (lambda: _mpmath_normalize(0, mpz(1), 0, 1, 53), TypeError, "6 arguments required"),
        (lambda: _mpmath_normalize(0, mpz(1), 0, 1, 53, 1), ValueError, "invalid rounding mode specified"),
        (lambda: _mpmath_normalize(-1, mpz(1), 0, 1, 53, "n"), TypeError,
         "arguments long, MPZ_Object*, PyObject*, long, long, char needed"),
        (lambda: _mpmath_normalize(0.0, mpz(1), 0, 1, 53, "n"), TypeError,
         "arguments long, MPZ_Object*, PyObject*, long, long, char needed"),
        (lambda: _mpmath_normalize(0, mpz(1), 0, -1, 53, "n"), TypeError,
         "arguments long, MPZ_Object*, PyObject*, long, long, char needed"),
        (lambda: _mpmath_normalize(0, mpz(1), 0, 1, "53", "n"), TypeError,
         "arguments long, MPZ_Object*, PyObject*, long, long, char needed"),
        (lambda: _mpmath_normalize(0, 1.0, 0, 1, 53, "n"), TypeError, "argument is not an mpz"),
        (lambda: _mpmath_create(1), TypeError, "mpmath_create() expects 'mpz','int'[,'int','str'] arguments"),
        (lambda: _mpmath_create(1, 0, 53, "n", 0), TypeError,
         "mpmath_create() expects 'mpz','int'[,'int','str'] arguments"),
        (lambda: _mpmath_create(1.5, 0), TypeError, "mpmath_create() expects 'mpz','int'[,'int','str'] arguments"),
        (lambda: _mpmath_create(1, 0, -1), ValueError, "could not convert prec to positive int"),
        (lambda: _mpmath_create(1, 0, "x"), ValueError, "could not convert prec to positive int"),
        (lambda: _mpmath_create(1, 0, 53, 3), ValueError, "invalid rounding mode specified"),
        (lambda: _mpmath_create(3, None, 1), TypeError, None),  # exp must add
    ],
)
def test_errors(call, exc, msg):
    with pytest.raises(exc) as e:
        call()
    if msg is not None:
        assert str(e.value) == msg


def test_mpf_tuple():
    # mpmath's normalised form: an odd mantissa and its bit count
    assert mpfr(0.75)._mpf_ == (0, 3, -2, 2)
    assert mpfr(-0.75, 10)._mpf_ == (1, 3, -2, 2)
    assert mpfr(1, 200)._mpf_ == (0, 1, 0, 1)
    assert mpfr(1 / 3)._mpf_ == (0, 6004799503160661, -54, 53)
    # mpmath's zero (it has no signed zero), NaN and infinities
    assert mpfr(-0.0)._mpf_ == mpfr(0)._mpf_ == (0, 0, 0, 0)
    assert mpfr("nan")._mpf_ == (0, 0, -123, -1)
    assert mpfr("inf")._mpf_ == (0, 0, -456, -2)
    assert mpfr("-inf")._mpf_ == (1, 0, -789, -3)


def test_agrees_with_mpmath_on_random_tuples():
    mpmath = pytest.importorskip("mpmath")
    libmp = mpmath.libmp
    r = random.Random(16)
    for _ in range(10_000):
        man = r.getrandbits(r.choice((3, 20, 64, 65, 300)))
        if r.random() < 0.3:
            man <<= r.randrange(1, 40)  # trailing zeros
        man |= 1 if man == 0 else 0
        bc, exp, sign = man.bit_length(), r.randrange(-10**6, 10**6), r.getrandbits(1)
        prec = r.randrange(1, bc + 8)
        rnd = r.choice(ROUNDINGS)
        want = libmp.normalize(sign, libmp.MPZ(man), exp, bc, prec, rnd)
        assert _mpmath_normalize(sign, mpz(man), exp, bc, prec, rnd) == want
        signed = -man if sign else man
        cprec = r.choice((0, prec))
        assert _mpmath_create(mpz(signed), exp, cprec, rnd) == libmp.from_man_exp(signed, exp, cprec, rnd)


VALUES = [0.0, -0.0, 0.1, -2.5, 1 / 3, 1e300, -5e-324, 3**200, -(2**64 + 1), Fraction(1, 3), Fraction(-22, 7)]


@pytest.mark.thread_unsafe(reason="mpmath's working precision is shared by all threads")
@pytest.mark.parametrize("prec", [2, 24, 53, 113, 300])
def test_mpmath_mpf_of_mpfr_is_exact(prec):
    mpmath = pytest.importorskip("mpmath")
    with mpmath.workprec(prec), context(precision=prec):
        for x in VALUES:
            ref = mpmath.mpf(x.numerator) / x.denominator if isinstance(x, Fraction) else mpmath.mpf(x)
            assert mpmath.mpf(mpfr(x))._mpf_ == ref._mpf_, x
        assert mpmath.isnan(mpmath.mpf(mpfr("nan")))
        assert mpmath.mpf(mpfr("-inf")) == mpmath.mpf("-inf")


@pytest.mark.parametrize("prec", [2, 53, 300])
def test_mpfr_and_mpc_of_mpmath_numbers(prec):
    """mpmath's numbers convert exactly (_mpf_, _mpc_), then round as any mpfr or mpc."""
    mpmath = pytest.importorskip("mpmath")
    from vexa2 import mpc
    with mpmath.workprec(prec):
        for x in VALUES + [mpmath.pi, mpmath.e, mpmath.mpf(2) ** -10**6, mpmath.inf, -mpmath.inf]:
            # (mpmath before 1.4 takes no Fraction)
            m = mpmath.mpf(x.numerator) / x.denominator if isinstance(x, Fraction) else mpmath.mpf(x)
            exact = mpfr(m, 1)
            assert mpmath.mpf(exact)._mpf_ == m._mpf_
            with context(precision=prec):
                assert mpfr(m) == mpfr(exact) and mpfr(m).precision == prec
            z = mpmath.mpc(m, -m / 3)
            assert mpmath.mpc(mpc(z, 1)) == z and mpc(mpmath.mpc(mpc(z, 1)), 1) == mpc(z, 1)
        assert mpfr(mpmath.nan).is_nan() and mpfr(mpmath.mpf(0)) == 0
    with pytest.raises(TypeError, match="requires numeric or string argument"):
        mpfr(mpmath.mpc(1, 2))


def test_mpmath_integrates_a_vexa2_integrand():
    mpmath = pytest.importorskip("mpmath")
    from vexa2 import exp
    got = mpmath.quad(lambda t: exp(mpfr(-t * t)), [0, 1])
    assert abs(got - mpmath.quad(lambda t: mpmath.exp(-t * t), [0, 1])) < mpmath.mpf(2) ** -50
