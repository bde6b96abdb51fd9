"""The word-sized fast paths give what the general routines give."""
import pytest
import vexa2
from vexa2 import mpfr, mpz


@pytest.mark.parametrize("n", [0, 1, 7, -7, 2**63 + 5, -(2**63) - 5, 2**64 - 1, -(2**64) + 1, 2**64])
@pytest.mark.parametrize("d", [1, -1, 2, -2, 3, -3, 2**64 - 1, -(2**64) + 1, 2**63])
def test_floor_division_in_words(n, d):
    assert (mpz(n) // mpz(d), mpz(n) % mpz(d), divmod(mpz(n), mpz(d))) == (n // d, n % d, divmod(n, d))


W = [0, 1, -1, 7, -7, 2**32, -(2**32), 2**63, -(2**63), 2**64 - 1, -(2**64) + 1, 2**64, -(2**64)]


@pytest.mark.parametrize("x", W)
@pytest.mark.parametrize("y", W)
def test_word_sums_and_products(x, y):
    a, b = mpz(x), mpz(y)
    assert (a + b, a - b, a * b) == (x + y, x - y, x * y)
    r = a - a  # a zero result is a proper zero
    assert r == 0 and not r and r.bit_length() == 0


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
