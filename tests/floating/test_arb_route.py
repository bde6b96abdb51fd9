"""The Arb route of the real math functions against the MPFR route: the same
value, ternary value and MPFR flags, and the same result after the result
check of a narrow context (exponent range, subnormalization), on random
arguments in all five roundings, on hard-to-round cases, and through the
public functions with traps; the complex functions likewise against MPC.
The comparison loops run in C (`_math_route_compare`,
`_math_route_compare_complex`); VEXA2_DIFF_RUNS scales the random runs."""
import os

import pytest

import vexa2
from vexa2 import context, mpc, mpfr

pytestmark = pytest.mark.skipif(vexa2._math_route() != "arb", reason="the math functions use MPFR alone")

SCALE = int(os.environ.get("VEXA2_DIFF_RUNS", "34000"))
ELEMENTARY = ("sin cos tan sec csc cot sinh cosh tanh sech csch coth asin acos atan asinh acosh atanh "
              "exp expm1 exp2 exp10 log log1p log2 log10 atan2").split()
# (name, runs, highest precision): MPFR's special functions take seconds
# near 20,000 bits (zeta already near 1,000), and MPFR 4.2.0's erf and erfc
# abort from 2,000 bits, so these stop lower.
CASES = [(f, SCALE, 20000) for f in ELEMENTARY] + [
    ("erf", SCALE * 5 // 8, 1999), ("erfc", SCALE * 5 // 8, 1999), ("gamma", SCALE * 5 // 8, 1999),
    ("lngamma", SCALE * 5 // 8, 1999), ("digamma", SCALE * 5 // 16, 1999), ("zeta", SCALE // 6, 300)]


def compare(name, what, seed, prec):
    runs, settled, found = vexa2._math_route_compare(name, what, seed, prec)
    assert found == []
    return runs, settled


@pytest.mark.thread_unsafe(reason="a long run; one thread is enough")
@pytest.mark.parametrize("name,runs,prec", CASES)
def test_random_arguments(name, runs, prec):
    done, settled = compare(name, runs, 20261210 + runs, prec)
    assert done == runs
    assert settled > runs // 4  # Arb took part, not only MPFR


def bits(v, p):
    return mpfr(v, p)


# Double-precision cases from the literature whose exact results lie within
# 2**-100 or so of a number of 53 bits or of a midpoint (a run of 60 to 90
# equal bits after the 53rd), and arguments built to be as hard at any
# precision: f(x) just beside a representable number.
LITERATURE = {
    "log": ["0x1.ea71d85cee020p-509"],
    "sin": ["0x1.e0000000001c2p-20", "0x1.8000000000009p-23"],
    "cos": ["0x1.8000000000009p-23", "0x1.e0000000001c2p-20"],
}


@pytest.mark.parametrize("name", sorted(LITERATURE))
def test_published_hard_cases(name):
    values = [mpfr(float.fromhex(h)) for h in LITERATURE[name]]
    values += [-v for v in values]
    compare(name, values, 0, 53)


def near_representable(name, p):
    """Arguments whose results lie within a few ulps * 2**-k of a p-bit number."""
    w = p + 80
    out = []
    for k in range(p - 8, p + 70, 3):
        eps = mpfr(2, w) ** -k
        with context(precision=w):
            if name == "log":
                out.append(1 + eps)
                out.append(1 - eps)
            elif name in ("log2", "exp2"):
                m = mpfr(2) ** 7 if name == "log2" else mpfr(37)
                out.append(m * (1 + eps) if name == "log2" else m + eps)
            elif name == "gamma":
                out.append(mpfr(5) + eps)
            elif name == "zeta":
                out.append(mpfr(min(p + 10, p + k // 8)))
            elif name in ("exp", "cos", "sin", "atan", "tan"):
                # the smallest arguments Arb still takes: f(x) = x + O(x**3) or 1 + x + O(x**2)
                x = mpfr(2, w) ** -(p // 2 + 7) * (1 + eps)
                out.append(x)
    return out


@pytest.mark.parametrize("name", ["log", "log2", "exp2", "gamma", "zeta", "exp", "cos", "sin", "atan", "tan"])
@pytest.mark.parametrize("p", [2, 24, 53, 113, 500])
def test_constructed_hard_cases(name, p):
    compare(name, near_representable(name, p), 0, p)


@pytest.mark.thread_unsafe(reason="switches the route of every thread")
@pytest.mark.parametrize("fn", ["sin", "exp", "log", "atan", "lngamma"])
def test_public_results_flags_and_traps_agree(fn):
    f = getattr(vexa2, fn)
    args = [mpfr("0.3"), mpfr("1.7"), mpfr("5e-200"), mpfr("3.25")]
    settings = [dict(), dict(round=vexa2.RoundUp), dict(emax=1, emin=-3, subnormalize=True, precision=20),
                dict(emin=-1100, emax=1024, subnormalize=True, precision=53, round=vexa2.RoundAwayZero)]
    seen = {}
    try:
        for route in ("mpfr", "arb"):
            vexa2._math_route(route)
            for a in args:
                for s in settings:
                    for trap in (False, True):
                        with context(**s, trap_inexact=trap) as c:
                            try:
                                r = f(a)
                                out = (str(r), r.rc, r.precision)
                            except vexa2.InexactResultError as e:
                                out = (type(e).__name__, str(e))
                            flags = (c.inexact, c.underflow, c.overflow, c.invalid)
                        seen.setdefault((str(a), str(s), trap), []).append((out, flags))
    finally:
        vexa2._math_route("arb")
    assert all(a == b for a, b in seen.values())


@pytest.mark.thread_unsafe(reason="switches the route of every thread")
def test_route_switch():
    assert vexa2._math_route("mpfr") == "mpfr"
    assert vexa2._math_route("arb") == "arb"
    with pytest.raises(ValueError):
        vexa2._math_route("mpmath")


# (name, runs): MPC's inverse functions are slow from a few hundred bits.
COMPLEX_CASES = [(f, SCALE * 3 // 17) for f in "exp log log10 sin cos sinh cosh atan atanh".split()] + [
    (f, SCALE // 17) for f in "tan tanh asin".split()] + [(f, SCALE // 34) for f in "acos asinh acosh".split()]


@pytest.mark.thread_unsafe(reason="a long run; one thread is enough")
@pytest.mark.parametrize("name,runs", COMPLEX_CASES)
def test_complex_random_arguments(name, runs):
    done, settled, found = vexa2._math_route_compare_complex(name, runs, 20261211 + runs, 2000)
    assert (done, found) == (runs, [])
    assert settled > runs // 2


@pytest.mark.parametrize("name", ["exp", "log", "sin", "tan", "atan", "acosh"])
def test_complex_given_arguments_all_roundings(name):
    values = [mpc("0.75+0.5j"), mpc("-1.25-3.5j"), mpc("3e-5+2j"), mpc("1+1e-9j"), mpc("-0.5+7j")]
    runs, _, found = vexa2._math_route_compare_complex(name, values, 0, 113)
    assert (runs, found) == (80, [])
