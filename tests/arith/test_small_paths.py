"""The word-sized and 53-bit fast paths give what the general routines give."""
import random

import pytest
import vexa2
from vexa2 import mpc, mpfr, mpq, mpz


def exact_product(x, y):
    a, b = mpq(x.real), mpq(x.imag)
    c, d = mpq(y.real), mpq(y.imag)
    return a * c - b * d, a * d + b * c


@pytest.mark.parametrize("rnd", [vexa2.RoundToNearest, vexa2.RoundToZero, vexa2.RoundUp, vexa2.RoundDown])
def test_complex_product_rounds_once(rnd):
    rng = random.Random(19)
    with vexa2.context(vexa2.get_context(), round=rnd) as ctx:
        for _ in range(300):
            parts = [rng.choice([1, -1]) * rng.getrandbits(53) * 2.0 ** rng.randint(-80, 80) or 1.0 for _ in range(4)]
            # equal products: the exact difference is zero, whose sign follows the rounding
            if rng.random() < 0.1:
                parts[2:] = [parts[1], parts[0]]
            x, y = mpc(parts[0], parts[1]), mpc(parts[2], parts[3])
            ctx.inexact = False
            z = x * y
            re, im = exact_product(x, y)
            assert z.real == mpfr(re) and z.imag == mpfr(im)
            if re == 0:
                assert str(z.real) == ("-0.0" if rnd == vexa2.RoundDown else "0.0")
            assert ctx.inexact == (mpq(z.real) != re or mpq(z.imag) != im)


@pytest.mark.parametrize("n", [0, 1, 7, -7, 2**63 + 5, -(2**63) - 5, 2**64 - 1, -(2**64) + 1, 2**64])
@pytest.mark.parametrize("d", [1, -1, 2, -2, 3, -3, 2**64 - 1, -(2**64) + 1, 2**63])
def test_floor_division_in_words(n, d):
    assert (mpz(n) // mpz(d), mpz(n) % mpz(d), divmod(mpz(n), mpz(d))) == (n // d, n % d, divmod(n, d))


def test_shared_inexact_flag_is_kept():
    ctx = vexa2.get_context()
    ctx.inexact = False
    mpfr(1) / 3
    assert ctx.inexact
    mpfr(1) / 7  # already set: stays set
    assert ctx.inexact
    ctx.trap_inexact = True
    try:
        with pytest.raises(vexa2.InexactResultError):
            mpfr(1) / 3
    finally:
        ctx.trap_inexact = False
