"""Conversions to mpfr and mpc: requested precision (0 context, 1 exact,
2+ as given) and which result-check steps each source kind runs."""
from fractions import Fraction

import pytest

from vexa2 import (InexactResultError, UnderflowResultError, context, mpc, mpfr, mpq,
                   mpz, xmpz)

FLAGS = ("underflow", "overflow", "inexact", "invalid", "divzero")


def run(ctx, fn):
    """fn() inside a block on ctx; the result and the flags it raised."""
    with ctx as c:
        r = fn()
        return r, {f for f in FLAGS if getattr(c, f)}


BIG = 2**100 + 1


# source, requested precision, context precision -> precision of the result
@pytest.mark.parametrize("src, p, ctx_prec, want", [
    (mpz(BIG), 0, 53, 53), (mpz(BIG), 1, 53, 101), (mpz(BIG), 2, 53, 2), (mpz(BIG), 200, 53, 200),
    (xmpz(BIG), 1, 53, 101),
    (BIG, 1, 53, 101),               # beyond a machine word: through mpz
    (2**63, 1, 53, 64), (-2**63, 1, 53, 64), (5, 1, 53, 64), (5, 0, 70, 70), (5, 90, 53, 90),
    (0.1, 1, 100, 53), (0.1, 0, 100, 100), (0.1, 30, 100, 30),
    (mpq(1, 3), 1, 70, 70),          # a rational is never exact: context precision
    (mpq(1, 3), 0, 70, 70), (mpq(1, 3), 40, 70, 40),
    (Fraction(1, 3), 1, 60, 60),
])
def test_mpfr_precision_by_kind(src, p, ctx_prec, want):
    r, _ = run(context(precision=ctx_prec), lambda: mpfr(src, p))
    assert r.precision == want


def test_exact_conversions_keep_every_bit():
    assert mpq(mpfr(mpz(BIG), 1)) == BIG and mpfr(mpz(BIG), 1).rc == 0
    assert mpq(mpfr(2**63, 1)) == 2**63
    assert mpfr(mpz(BIG)).rc == -1          # rounded to 53 bits


@pytest.mark.parametrize("p, same", [(0, False), (1, True), (80, True), (81, False)])
def test_mpfr_from_mpfr_returns_itself_unless_rounding_is_needed(p, same):
    x = mpfr(mpq(1, 3), 80)
    assert x.precision == 80
    r = mpfr(x, p)
    assert (r is x) == same
    assert r.precision == (80 if same else (p or 53))


@pytest.mark.parametrize("value", ["nan", "inf", "-inf"])
def test_mpfr_from_special_mpfr_is_the_object_itself(value):
    x = mpfr(value)
    assert mpfr(x, 10) is x and mpfr(x, 0) is x


def test_mpfr_from_mpfr_rechecked_when_subnormalizing_or_out_of_range():
    x = mpfr(2**20)
    assert mpfr(x, 53) is x
    r, flags = run(context(subnormalize=True), lambda: mpfr(x, 53))
    assert r is not x and r == x and flags == set()
    r, flags = run(context(emax=10), lambda: mpfr(x, 53))
    assert r == mpfr("inf") and flags == {"overflow", "inexact"}


# Range step: skipped for exact integer and float conversions only.
@pytest.mark.parametrize("src, p, want, flags", [
    (mpz(2**20), 1, 2**20, set()), (mpz(2**20), 0, mpfr("inf"), {"overflow", "inexact"}),
    (2**20, 1, 2**20, set()), (2**20, 0, mpfr("inf"), {"overflow", "inexact"}),
    (2.0**20, 1, 2**20, set()), (2.0**20, 0, mpfr("inf"), {"overflow", "inexact"}),
    (mpq(2**20), 1, mpfr("inf"), {"overflow", "inexact"}),
])
def test_exponent_range_step_by_kind(src, p, want, flags):
    r, got = run(context(emax=10), lambda: mpfr(src, p))
    assert r == want and got == flags


# Subnormalization: floats and rationals, never integers. With emin 5 and
# 20 bits, 4097 (13 bits, exponent 13) keeps only 13 - 5 + 1 = 9 bits.
@pytest.mark.parametrize("src, p, want", [
    (mpz(4097), 0, 4097), (4097, 0, 4097), (mpz(4097), 1, 4097), (4097, 1, 4097),
    (4097.0, 0, 4096), (4097.0, 1, 4096), (mpq(4097), 0, 4096), (mpq(4097), 1, 4096),
])
def test_subnormalization_step_by_kind(src, p, want):
    r, flags = run(context(emin=5, precision=20, subnormalize=True), lambda: mpfr(src, p))
    assert r == want
    assert flags == (set() if want == 4097 else {"underflow", "inexact"})


@pytest.mark.parametrize("make", [lambda: mpfr(mpz(BIG), 0), lambda: mpfr(BIG, 0),
                                  lambda: mpfr(mpq(1, 3), 1), lambda: mpfr(Fraction(1, 3)),
                                  lambda: mpfr(0.1, 10)])
def test_conversions_trap_inexact(make):
    with context(trap_inexact=True) as c:
        with pytest.raises(InexactResultError, match="^inexact result$"):
            make()
        assert c.inexact


def test_exact_conversions_do_not_trap():
    with context(trap_inexact=True, emax=10) as c:
        assert mpfr(mpz(BIG), 1) == BIG and mpfr(2**63, 1) == 2**63 and mpfr(0.1, 1) == 0.1
        assert not c.inexact


def test_float_conversion_traps_underflow_from_subnormalization():
    with context(emin=5, precision=20, subnormalize=True, trap_underflow=True) as c:
        with pytest.raises(UnderflowResultError, match="^underflow$"):
            mpfr(4097.0)
        assert c.underflow and c.inexact


# ---- complex ----

@pytest.mark.parametrize("p, ctx_prec, want", [
    (1, 200, (53, 53)), (0, 200, (200, 200)), ((70, 90), 200, (70, 90)), ((1, 0), 200, (53, 200)),
])
def test_mpc_from_python_complex_precisions(p, ctx_prec, want):
    r, flags = run(context(precision=ctx_prec), lambda: mpc(1.5 + 2.5j, p))
    assert (r.real.precision, r.imag.precision) == want and r == 1.5 + 2.5j and flags == set()


@pytest.mark.parametrize("p, same, want", [
    (1, True, (80, 80)), ((80, 80), True, (80, 80)), (0, False, (53, 53)), ((1, 0), False, (80, 53)),
    ((0, 1), False, (53, 80)),
])
def test_mpc_from_mpc_precisions(p, same, want):
    x = mpc(mpq(1, 3), mpq(2, 3), 80)
    r = mpc(x, p)
    assert (r is x) == same and (r.real.precision, r.imag.precision) == want


def test_mpc_from_mpc_out_of_range_is_rechecked():
    x = mpc(2**20, 1)
    r, flags = run(context(emax=10), lambda: mpc(x, 53))
    assert r is not x and r.real == mpfr("inf") and r.imag == 1 and flags == {"overflow", "inexact"}


def test_mpc_parts_follow_effective_part_precisions():
    r, _ = run(context(precision=40, imag_prec=70), lambda: mpc(mpc(1, 2), 0))
    assert (r.real.precision, r.imag.precision) == (40, 70)
    r, _ = run(context(precision=40, real_prec=60), lambda: mpc(1.5 + 1j, 0))
    assert (r.real.precision, r.imag.precision) == (60, 60)
