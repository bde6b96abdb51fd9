"""The word-sized fast paths give what the general routines give."""
import math
import operator

import pytest
from hypothesis import example, given, settings, strategies as st

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


# Two mpfr (or two mpc) operands, and an mpfr beside a float or a small int,
# take shortcuts that read no MPFR flags for ordinary results; an operand
# known only by __mpfr__/__mpc__ takes the general path. Values, ternary
# values and flags must agree, near the range ends too.
PAIR_CONTEXTS = [dict(), dict(emax=12, emin=-12), dict(emax=12, emin=-12, subnormalize=True, precision=10),
                 dict(precision=8, round=vexa2.RoundUp, emin=-20, emax=3)]
PAIR_OPS = [operator.add, operator.sub, operator.mul, operator.truediv]
VALUES = st.one_of(st.sampled_from([0.0, -0.0, math.inf, -math.inf, math.nan, 2.0**-12, 2.0**11, 4095.0, 3.0]),
                   st.floats(-5000, 5000, width=16), st.floats(2.0**-14, 2.0**-8, width=32))


class Via:   # reaches the operation only through the conversion protocol
    def __init__(self, v):
        self.v = v

    def __mpfr__(self):
        return self.v


class ViaC(Via):
    __mpc__ = Via.__mpfr__
    __mpfr__ = None


def _result(op, x, y, c):
    c.clear_flags()
    try:
        r = op(x, y)
    except ZeroDivisionError:
        return "ZeroDivisionError", _flags(c)
    rc = getattr(r, "rc", None)   # MPFR's ternary values have a meaningful sign only
    return repr(r), (rc > 0) - (rc < 0) if isinstance(rc, int) else rc, _flags(c)


def _flags(c):
    return tuple(getattr(c, f) for f in ("underflow", "overflow", "inexact", "invalid", "divzero"))


@settings(max_examples=300, deadline=None)
@given(VALUES, VALUES, VALUES, st.sampled_from(PAIR_OPS), st.integers(0, len(PAIR_CONTEXTS) - 1))
@example(0.0, 1025.0, 0.0, operator.add, 2)
def test_shortcuts_match_general_path(x, y, t, op, k):
    a, b, z, w = mpfr(x), mpfr(y), mpc(x, t), mpc(y, x)   # exact, made outside the context
    with context(**PAIR_CONTEXTS[k]) as c:
        want = _result(op, a, Via(b), c)
        assert _result(op, a, b, c) == want and _result(op, Via(b), a, c) == _result(op, b, a, c)
        if not c.subnormalize:   # (a float is subnormalized as a 53-bit value)
            assert _result(op, a, y, c) == want and _result(op, y, a, c) == _result(op, b, a, c)
        if y.is_integer() and y:
            assert _result(op, a, int(y), c) == want and _result(op, int(y), a, c) == _result(op, b, a, c)
        if op is not operator.truediv:
            assert _result(op, z, w, c) == _result(op, z, ViaC(w), c)


@pytest.mark.parametrize("rnd, sign", [(vexa2.RoundToNearest, 1), (vexa2.RoundUp, 1), (vexa2.RoundDown, -1)])
def test_exact_cancellation_with_a_negative_int_is_the_right_zero(rnd, sign):
    with context(round=rnd):
        assert [math.copysign(1, r) for r in (-3 - mpfr(-3), mpfr(-3) - mpfr(-3), -3.0 - mpfr(-3))] == [sign] * 3
