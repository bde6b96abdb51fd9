"""Checking floating results against the context: exponent range,
subnormalization, sticky flags and the order in which traps are tested."""
import re

import pytest

import vexa2
from vexa2 import (DivisionByZeroError, InexactResultError, InvalidOperationError, OverflowResultError,
                   UnderflowResultError, context, mpc, mpfr, mpz)

FLAGS = ("underflow", "overflow", "inexact", "invalid", "divzero", "erange")


def flags(c):
    return {f for f in FLAGS if getattr(c, f)}


OVERFLOW = lambda: mpfr(2) ** 200                  # noqa: E731  with emax 100
UNDERFLOW = lambda: mpfr(2) ** -200 / 3            # noqa: E731  with emin -100
INEXACT = lambda: mpfr(1) / 3                      # noqa: E731
INVALID = lambda: mpfr("inf") - mpfr("inf")        # noqa: E731
DIVZERO = lambda: mpfr(1) / 0                      # noqa: E731
RANGE = dict(emax=100, emin=-100)


# operation, traps set -> exception (the last matching trap in the order
# underflow, overflow, inexact, invalid, divzero) or None, and the flags
@pytest.mark.parametrize("op, traps, exc, msg, raised", [
    (OVERFLOW, {}, None, None, {"overflow", "inexact"}),
    (OVERFLOW, {"trap_overflow"}, OverflowResultError, "overflow", {"overflow", "inexact"}),
    (OVERFLOW, {"trap_overflow", "trap_inexact"}, InexactResultError, "inexact result", {"overflow", "inexact"}),
    (OVERFLOW, {"trap_underflow", "trap_invalid", "trap_divzero"}, None, None, {"overflow", "inexact"}),
    (UNDERFLOW, {"trap_underflow"}, UnderflowResultError, "underflow", {"underflow", "inexact"}),
    (UNDERFLOW, {"trap_underflow", "trap_inexact"}, InexactResultError, "inexact result",
     {"underflow", "inexact"}),
    (INEXACT, {"trap_inexact", "trap_overflow"}, InexactResultError, "inexact result", {"inexact"}),
    (INVALID, {"trap_invalid", "trap_inexact"}, InvalidOperationError, "invalid operation", {"invalid"}),
    (DIVZERO, {"trap_divzero"}, DivisionByZeroError, "division by zero", {"divzero"}),
    (DIVZERO, {"trap_inexact", "trap_overflow"}, None, None, {"divzero"}),
])
def test_flags_and_trap_order(op, traps, exc, msg, raised):
    with context(**RANGE, **{t: True for t in traps}) as c:
        if exc is None:
            op()
        else:
            with pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)"):
                op()
        assert flags(c) == raised


def test_overflow_and_underflow_results_without_traps():
    with context(**RANGE) as c:
        assert OVERFLOW() == mpfr("inf") and mpfr(-2) ** 201 == mpfr("-inf")
        assert UNDERFLOW() == 0
        assert flags(c) == {"overflow", "underflow", "inexact"}


@pytest.mark.parametrize("rnd, want", [
    (vexa2.RoundToZero, "max"), (vexa2.RoundDown, "max"), (vexa2.RoundUp, "inf"), (vexa2.RoundToNearest, "inf"),
])
def test_overflow_follows_rounding(rnd, want):
    with context(emax=100, round=rnd):
        r = mpfr(2) ** 200
        assert (r == mpfr("inf")) == (want == "inf")
        if want == "max":
            assert r < 2**100 and r.rc < 0


def test_sticky_flags_do_not_make_later_exact_operations_fail():
    with context(trap_inexact=True) as c:
        c.inexact = True
        assert mpfr(1) + 1 == 2 and c.inexact


def test_exact_operation_leaves_flags():
    with context() as c:
        INEXACT()
        c.overflow = False
        assert mpfr(3) * 2 == 6 and flags(c) == {"inexact"}


def test_subnormal_division_matches_ieee_double():
    ieee = dict(subnormalize=True, emin=-1073, emax=1024)
    with context(**ieee) as c:
        r = mpfr(2) ** -1070 / 3
        assert r == 5 * mpfr(2) ** -1074 and flags(c) == {"underflow", "inexact"}
        assert float(r) == 2.0**-1070 / 3
    with context(emin=-1073, emax=1024) as c:
        r = mpfr(2) ** -1070 / 3       # the full 53-bit quotient
        assert r != 5 * mpfr(2) ** -1074 and flags(c) == {"inexact"}
        err = vexa2.mpq(r) * 3 - vexa2.mpq(1, 2**1070)
        assert 0 < err * err < vexa2.mpq(1, 2**2244)   # |err| below 2**-1122


def test_wide_context_range_is_limited_to_mpfr_default():
    # A context range wider than MPFR's default does not let results exceed it.
    big = vexa2.context(emax=2**40, emin=-2**40)
    with big as c:
        assert mpfr(2) ** (2**31) == mpfr("inf") and c.overflow


def test_complex_flags_from_the_result():
    with context(emax=100) as c:
        z = mpc(mpfr(2) ** 99, 1) * 4
        assert z.real == mpfr("inf") and z.imag == 4
        assert flags(c) == {"overflow", "inexact"}
    with context(emin=-100) as c:
        z = mpc(mpfr(2) ** -99, 1) / 2**10
        assert z.real == 0 and flags(c) == {"underflow", "inexact"}


@pytest.mark.parametrize("traps, exc, msg", [
    ({"trap_overflow"}, OverflowResultError, "overflow"),
    ({"trap_overflow", "trap_inexact"}, InexactResultError, "inexact result"),
    ({"trap_divzero"}, None, None),          # complex results never signal division by zero
])
def test_complex_trap_order(traps, exc, msg):
    with context(emax=100, **{t: True for t in traps}):
        if exc is None:
            mpc(mpfr(2) ** 99, 1) * 4
        else:
            with pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)"):
                mpc(mpfr(2) ** 99, 1) * 4


def test_complex_parts_use_their_own_rounding():
    with context(emax=100, real_round=vexa2.RoundToZero, imag_round=vexa2.RoundUp):
        z = mpc(mpfr(2) ** 99, mpfr(2) ** 99) * 4
        assert z.real < 2**100 and z.imag == mpfr("inf")


def test_exception_classes_are_caught_by_base_handlers():
    with context(trap_invalid=True, trap_divzero=True):
        with pytest.raises(ValueError):
            INVALID()
        with pytest.raises(ZeroDivisionError):
            DIVZERO()
        with pytest.raises(ArithmeticError):
            INVALID()
    with context(trap_inexact=True), pytest.raises(ArithmeticError):
        INEXACT()


def test_float_of_integers_uses_private_ieee_context():
    # The conversion to float checks against its own context: the current
    # one's flags and traps are not touched.
    with context(trap_inexact=True, trap_overflow=True, trap_underflow=True) as c:
        assert float(mpz(2**53 + 1)) == 2.0**53
        assert float(vexa2.mpq(1, 3 * 2**1070)) == 2.0**-1070 / 3    # subnormal, rounded once
        assert flags(c) == set()
