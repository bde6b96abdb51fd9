"""The word-sized fast paths give what the general routines give."""
import math
import operator

import pytest
from hypothesis import assume, given, settings, strategies as st

import vexa2
from vexa2 import context, mpc, mpfr, mpz


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


# Two mpfr (or two mpc) operands take a shortcut that reads no MPFR flags
# for ordinary results; a Python float or complex operand takes the general
# path. Values, ternary values and flags must agree, near the range ends too.
PAIR_CONTEXTS = [dict(), dict(emax=12, emin=-12), dict(emax=12, emin=-12, subnormalize=True, precision=10),
                 dict(precision=8, round=vexa2.RoundUp, emin=-20, emax=3)]
PAIR_OPS = [operator.add, operator.sub, operator.mul, operator.truediv]
VALUES = st.one_of(st.sampled_from([0.0, -0.0, math.inf, -math.inf, math.nan, 2.0**-12, 2.0**11, 4095.0]),
                   st.floats(-5000, 5000, width=16), st.floats(2.0**-14, 2.0**-8, width=32))


def _flags(c):
    return tuple(getattr(c, f) for f in ("underflow", "overflow", "inexact", "invalid", "divzero"))


def _result(op, x, y, c):
    c.clear_flags()
    try:
        r = op(x, y)
    except ZeroDivisionError:
        return "ZeroDivisionError", _flags(c)
    return repr(r), getattr(r, "rc", None), _flags(c)


def _fits(v, ctx):   # an operand the context would take unchanged
    return not math.isfinite(v) or v == 0 or ctx.get("emin", -10**9) <= math.frexp(v)[1] <= ctx.get("emax", 10**9)


@settings(max_examples=300, deadline=None)
@given(VALUES, VALUES, VALUES, st.sampled_from(PAIR_OPS), st.integers(0, len(PAIR_CONTEXTS) - 1))
def test_pair_shortcut_matches_general_path(x, y, t, op, k):
    ctx = PAIR_CONTEXTS[k]
    assume(_fits(x, ctx) and _fits(y, ctx) and _fits(t, ctx))
    sub = ctx.get("subnormalize", False)
    if sub and math.isfinite(y) and y:
        y = int(y) or 1   # a float operand is subnormalized as a 53-bit value; an integer is not
    a, b, z, w = mpfr(x), mpfr(y), mpc(x, t), mpc(y, x)   # exact, made outside the context
    with context(**ctx) as c:
        assert _result(op, a, b, c) == _result(op, a, mpz(y) if isinstance(y, int) else y, c)
        # (a Python complex holding a NaN raises "invalid" when converted)
        if op is not operator.truediv and not sub and not math.isnan(x + y):
            assert _result(op, z, w, c) == _result(op, z, complex(y, x), c)
