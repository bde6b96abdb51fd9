"""Operators on reals and complex numbers: correct rounding against Python's
floats, Python's sign conventions for % and divmod, flags and traps."""
import math
import operator
import re
from fractions import Fraction

import pytest
from hypothesis import assume, given
from hypothesis import strategies as st

import vexa2
from vexa2 import context, get_context, mpc, mpfr, mpq, mpz, set_context

INF, NAN = float("inf"), float("nan")
NAN_R = mpfr(NAN)  # made here: building it under trap_invalid would raise


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|\Z)")  # notes may follow


def flags(c=None):
    c = c or get_context()
    return {f for f in ("underflow", "overflow", "inexact", "invalid", "divzero") if getattr(c, f)}


def same_float(a, b):
    """Equal as floats, including the sign of zero and NaN."""
    a, b = float(a), float(b)
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return a == b and math.copysign(1, a) == math.copysign(1, b)


def complex_equals(z, expected):
    """z is an mpc equal to the Python complex `expected`."""
    return type(z) is mpc and float(context().abs(z - expected)) == 0.0


# Doubles whose sums, products and quotients stay normal.
normal = st.floats(min_value=-1e100, max_value=1e100, allow_nan=False).filter(lambda v: v == 0 or abs(v) > 1e-100)
nonzero = normal.filter(bool)
FLOAT_OPS = [operator.add, operator.sub, operator.mul, operator.truediv]


@given(normal, nonzero, st.sampled_from(FLOAT_OPS), st.sampled_from(["ff", "fd", "df"]))
def test_real_ops_round_like_float(x, y, op, form):
    a = x if form == "df" else mpfr(x)
    b = y if form == "fd" else mpfr(y)
    r = op(a, b)
    assert type(r) is mpfr and same_float(r, op(x, y))


@given(normal, st.integers(-(2**70), 2**70), st.sampled_from(FLOAT_OPS), st.booleans())
def test_real_with_int_rounds_once(x, n, op, int_left):
    assume(n != 0 or op is not operator.truediv or int_left)
    assume(x != 0 or op is not operator.truediv or not int_left)
    a, b = (n, mpfr(x)) if int_left else (mpfr(x), n)
    exact = op(Fraction(a if int_left else x), Fraction(x if int_left else b))
    assert float(op(a, b)) == float(exact)  # float(Fraction) is correctly rounded


@given(normal, nonzero, st.booleans())
def test_real_mod_and_divmod_follow_python(x, y, plain_y):
    b = y if plain_y else mpfr(y)
    assert same_float(mpfr(x) % b, x % y)
    q, r = divmod(mpfr(x), b)
    eq, er = divmod(x, y)
    assert same_float(r, er)
    if x != 0:
        # Python rounds a quotient (x - r) / y that lands on a half to the
        # smaller integer; divmod of mpfr rounds that tie away from zero.
        t = (x - math.fmod(x, y)) / y
        tie_up = t > 0 and t - math.floor(t) == 0.5
        assert same_float(q, eq + 1.0 if tie_up and eq == math.floor(t) else eq)
    else:
        assert float(q) == 0.0


@given(normal, nonzero)
def test_real_floor_division_floors_the_rounded_quotient(x, y):
    r = mpfr(x) // y
    assert type(r) is mpfr and float(r) == math.floor(x / y)


# ---- % and divmod: the special cases ----

@pytest.mark.parametrize("x,y,expected,flagged", [
    (-7, 2, 1.0, set()), (7, -2, -1.0, set()), (6, -3, -0.0, set()), (-6, 3, 0.0, set()),
    (5, INF, 5.0, {"invalid"}), (5, -INF, -INF, {"invalid"}), (INF, 2, NAN, {"invalid"}),
    (NAN, 2, NAN, {"invalid"}), (2, NAN, NAN, {"invalid"}), (1, 0, NAN, {"divzero", "invalid"}),
])
def test_real_mod_cases(x, y, expected, flagged):
    r = mpfr(x) % y
    assert same_float(r, expected)
    assert flags() == flagged


@pytest.mark.parametrize("x,y,q,r,flagged", [
    (7, 2, 3.0, 1.0, set()), (-7, 2, -4.0, 1.0, set()), (0, -5, -0.0, -0.0, set()), (0, 5, -0.0, 0.0, set()),
    (1, INF, 0.0, 1.0, {"invalid"}), (-1, INF, -1.0, INF, {"invalid"}), (0, -INF, -0.0, -0.0, {"invalid"}),
    (INF, 3, NAN, NAN, {"invalid"}), (3, NAN, NAN, NAN, {"invalid"}), (1, 0, NAN, NAN, {"divzero"}),
])
def test_real_divmod_cases(x, y, q, r, flagged):
    got = divmod(mpfr(x), y)
    assert same_float(got[0], q) and same_float(got[1], r)
    assert flags() == flagged


@pytest.mark.parametrize("expr,trap,exc,msg", [
    ("mpfr(1) / 0", "trap_divzero", "DivisionByZeroError", "division by zero"),
    ("mpfr(1) // 0", "trap_divzero", "DivisionByZeroError", "division by zero"),
    ("mpfr(1) % 0", "trap_divzero", "DivisionByZeroError", "mod() modulo by zero"),
    ("divmod(mpfr(1), 0)", "trap_divzero", "DivisionByZeroError", "divmod() division by zero"),
    ("mpfr(5) % INF", "trap_invalid", "InvalidOperationError", "mod() invalid operation"),
    ("mpfr(INF) % 5", "trap_invalid", "InvalidOperationError", "mod() invalid operation"),
    ("divmod(mpfr(5), INF)", "trap_invalid", "InvalidOperationError", "divmod() invalid operation"),
    ("divmod(NAN_R, 1)", "trap_invalid", "InvalidOperationError", "divmod() invalid operation"),
    # the operation's own text, not the NaN float operand's conversion
    ("mpfr(1) % NAN", "trap_invalid", "InvalidOperationError", "mod() invalid operation"),
    ("NAN % mpfr(1)", "trap_invalid", "InvalidOperationError", "mod() invalid operation"),
    ("vexa2.mod(mpz(1), NAN)", "trap_invalid", "InvalidOperationError", "mod() invalid operation"),
    ("divmod(mpfr(1), NAN)", "trap_invalid", "InvalidOperationError", "divmod() invalid operation"),
    ("get_context().divmod(NAN, mpq(1, 2))", "trap_invalid", "InvalidOperationError", "divmod() invalid operation"),
    ("mpc(1 + 1j) / 0", "trap_divzero", "DivisionByZeroError", "'mpc' division by zero"),
    ("mpfr(-8) ** mpfr(1 / 3)", "trap_invalid", "InvalidOperationError", "invalid operation"),
    ("mpfr(1) + mpfr(2.0**-60)", "trap_inexact", "InexactResultError", "inexact result"),
    ("mpfr(-1e-30) % 1", "trap_inexact", "InexactResultError", "inexact result"),
])
def test_traps(expr, trap, exc, msg):
    set_context(context(**{trap: True}))
    with raises(getattr(vexa2, exc), msg):
        eval(expr)


def test_divmod_never_raises_inexact():
    set_context(context(trap_inexact=True))
    q, r = divmod(mpfr(1), mpfr(0.1))
    assert float(q) == 9.0 and float(r) == 1 % 0.1
    assert get_context().inexact is False


@pytest.mark.parametrize("expr,expected,flagged", [
    ("mpz(1) + 0.5", 1.5, set()), ("mpq(1, 2) + 1.0", 1.5, set()), ("mpq(1, 3) * mpfr(3)", 1.0, {"inexact"}),
    ("mpz(1) + 1j", 1 + 1j, set()), ("mpfr(1) - mpc(1j)", 1 - 1j, set()), ("2.5 * mpc(1 + 1j)", 2.5 + 2.5j, set()),
    ("mpc(1 + 1j) - mpq(1, 2)", 0.5 + 1j, set()), ("1 / mpc(1j)", -1j, set()), ("mpfr(2) / mpc(1 + 1j)", 1 - 1j, set()),
    ("vexa2.div(mpz(3), 1j)", -3j, set()),
    ("mpfr(-0.0) ** 7", -0.0, set()), ("mpfr(-0.0) ** 2", 0.0, set()), ("mpfr(-0.0) ** 0", 1.0, set()),
    ("mpfr(2) ** 10", 1024.0, set()), ("mpfr(2.5) ** 2", 6.25, set()), ("mpfr(2) ** mpz(-2)", 0.25, set()),
    ("mpfr(2) ** 0.5", math.sqrt(2), {"inexact"}), ("mpq(1, 4) ** mpq(1, 2)", 0.5, set()),
    ("mpfr(-8) ** mpfr(1 / 3)", NAN, {"invalid"}),
    ("mpc(1j) ** 2", -1, set()), ("mpc(1j) ** mpz(-1)", -1j, set()), ("2 ** mpc(2 + 0j)", 4, set()),
    ("mpc(2 + 0j) ** 0.5", math.sqrt(2), {"inexact"}),
    ("mpfr(1) / 0", INF, {"divzero"}), ("mpfr(-1) // 0", -INF, {"divzero"}),
    ("context(precision=10).add(mpfr(1), 2**-20)", 1.0, set()),  # flags land on that context
    ("mpfr(1) + 2**-60", 1.0, {"inexact"}), ("mpz(2**60 + 1) * 1.0", 2.0**60, {"inexact"}),
    ("context(precision=2, round=vexa2.RoundUp).div(1, 3)", 0.375, set()),
    ("context(precision=2, round=vexa2.RoundUp).add(mpfr(1), mpfr(0.25))", 1.5, set()),
    ("context(precision=2, round=vexa2.RoundUp).sub(mpfr(1.25), 0.0)", 1.5, set()),
    ("context(precision=10).minus(mpfr(1 / 3))", -float(mpfr(1 / 3, 10)), set()),
    ("context(precision=10).abs(-1 / 3)", float(mpfr(1 / 3, 10)), set()),
    ("context().abs(mpc(3 + 4j))", 5.0, set()), ("context().minus(1 + 2j)", -1 - 2j, set()),
    ("context().minus(mpfr(0.0))", -0.0, set()), ("context(precision=10).plus(mpfr(1 / 3))", float(mpfr(1 / 3, 10)),
                                                  set()),
    # signed zeros follow IEEE 754, also where a small int is used directly
    ("mpfr(-0.0) + 0", 0.0, set()), ("0 + mpfr(-0.0)", 0.0, set()), ("mpfr(-0.0) * 0", -0.0, set()),
    ("0 - mpfr(0.0)", 0.0, set()), ("mpfr(-0.0) - 0", -0.0, set()), ("mpfr(-0.0) + 0.0", 0.0, set()),
])
def test_values_and_flags(expr, expected, flagged):
    r = eval(expr)
    if isinstance(expected, complex) or type(r) is mpc:
        assert complex_equals(r, expected)
    else:
        assert type(r) is mpfr and same_float(r, expected)
    assert flags() == flagged


def test_exact_operations_never_trap():
    set_context(context(trap_inexact=True, trap_divzero=True))
    assert int(mpz(1) + 2) == 3 and float(mpq(1, 3) + mpq(1, 3)) == 2 / 3
    with raises(ZeroDivisionError, "division or modulo by zero"):
        mpq(1, 2) / 0
    assert flags() == set()


# ---- complex ----

cnum = st.complex_numbers(max_magnitude=1e50, allow_nan=False, allow_infinity=False)


@given(cnum, cnum, st.sampled_from([operator.add, operator.sub]), st.sampled_from(["cc", "cz", "zc"]))
def test_complex_add_sub_match_complex(x, y, op, form):
    a = x if form == "zc" else mpc(x)
    b = y if form == "cz" else mpc(y)
    assert complex_equals(op(a, b), op(x, y))


@given(cnum, cnum.filter(lambda z: abs(z) > 1e-50), st.sampled_from([operator.mul, operator.truediv]))
def test_complex_mul_div_close_to_complex(x, y, op):
    r = op(mpc(x), mpc(y))
    assert float(context().abs(r - op(x, y))) <= 1e-14 * abs(op(x, y)) + 1e-300


@pytest.mark.parametrize("divisor", [mpc(0j), 0j, mpz(0), 0.0, 0, mpq(0), mpfr(0)])
def test_complex_zero_divisor_of_any_kind(divisor):
    mpc(1 + 1j) / divisor
    assert get_context().divzero
    set_context(context(trap_divzero=True))
    with raises(vexa2.DivisionByZeroError, "'mpc' division by zero"):
        mpc(1 + 1j) / divisor


@pytest.mark.parametrize("expr,msg", [
    ("mpc(1) // 2", "can't take floor of complex number"),
    ("2 // mpc(1)", "can't take floor of complex number"),
    ("mpc(1) % 2", "can't take mod of complex number"),
    ("divmod(mpc(1), 2)", "can't take floor or mod of complex number."),
    ("vexa2.floor_div(1j, mpz(2))", "can't take floor of complex number"),
    ("vexa2.mod(1j, 2)", "can't take mod of complex number"),
    ("context().divmod(1j, 2)", "can't take floor or mod of complex number."),
])
def test_no_floor_for_complex(expr, msg):
    with raises(TypeError, msg):
        eval(expr)


# ---- real and complex powers ----

@given(st.floats(0.5, 2.0), st.integers(-50, 50))
def test_real_integer_power_correctly_rounded(x, n):
    assert float(mpfr(x) ** n) == float(Fraction(x) ** n)


def test_real_power_retried_as_complex_when_allowed():
    set_context(context(allow_complex=True))
    r = mpfr(-8) ** 0.5
    assert float(context().abs(r - complex(0, math.sqrt(8)))) < 1e-15
    assert not get_context().invalid
    assert type(mpz(-8) ** mpq(1, 3)) is mpc


def test_plus_keeps_values_that_fit_the_context():
    y = mpfr(0.5)
    assert context().plus(y) is y and context(precision=10).plus(mpfr(1 / 3)) is not y
