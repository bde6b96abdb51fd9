"""Comparison and hashing across mpz, xmpz, mpq, mpfr, mpc and Python's numbers."""
import operator
import re
import sys
from decimal import Decimal
from fractions import Fraction

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import cmp, cmp_abs, context, get_context, mpc, mpfr, mpq, mpz, set_context, sign, xmpz

P = sys.hash_info.modulus
NAN, INF = float("nan"), float("inf")
OPS = [operator.lt, operator.le, operator.eq, operator.ne, operator.gt, operator.ge]
SWAP = {operator.lt: operator.gt, operator.le: operator.ge, operator.eq: operator.eq,
        operator.ne: operator.ne, operator.gt: operator.lt, operator.ge: operator.le}


def reflected(op, b, x):
    """op(b, x) with x one of ours. Python's int and float defer to x's
    reflected comparison; a Fraction on the left is asked for x's operator
    directly (its own comparison needs the numbers' arithmetic)."""
    return SWAP[op](x, b) if isinstance(b, Fraction) else op(b, x)


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)")


def trapping():
    set_context(context(trap_erange=True))


ints = st.integers(min_value=-(2**200), max_value=2**200) | st.sampled_from(
    [0, 1, -1, P, -P, P - 1, 2 * P, P + 1, 2**61, 2**63, -(2**64), 2**64 - 1])
floats = st.floats(allow_nan=False)
fractions = st.builds(Fraction, ints, ints.filter(bool)) | st.builds(
    lambda n, k: Fraction(n, k * P), ints, st.integers(1, 5))


# ---- rich comparison ----

@pytest.mark.parametrize("op", OPS)
@given(a=ints, b=ints | floats | fractions)
def test_mpz_compares_like_int(op, a, b):
    assert op(mpz(a), b) == op(a, b)
    assert reflected(op, b, mpz(a)) == op(b, a)
    assert op(xmpz(a), b) == op(a, b)


@pytest.mark.parametrize("op", OPS)
@given(a=fractions, b=ints | floats | fractions)
def test_mpq_compares_like_fraction(op, a, b):
    q = mpq(a.numerator, a.denominator)
    assert op(q, b) == op(a, b)
    assert reflected(op, b, q) == op(b, a)


@pytest.mark.parametrize("op", OPS)
@given(a=floats, b=ints | floats | fractions)
def test_mpfr_compares_like_float(op, a, b):
    assert op(mpfr(a), b) == op(a, b)
    assert reflected(op, b, mpfr(a)) == op(b, a)


@pytest.mark.parametrize("op", OPS)
@given(a=ints, b=fractions, c=floats)
def test_own_types_compare_exactly_with_each_other(op, a, b, c):
    z, q, f = mpz(a), mpq(b.numerator, b.denominator), mpfr(c)
    assert op(z, q) == op(a, b)
    assert op(q, z) == op(b, a)
    assert op(z, f) == op(a, c)  # completed by mpfr's reflected comparison
    assert op(q, f) == op(b, c)
    assert op(f, z) == op(c, a)


@pytest.mark.parametrize("x, y, expected", [
    (mpz(3), 3.0, True),
    (mpz(2**70), float(2**70), True),
    (mpz(2**70 + 1), float(2**70), False),
    (mpq(1, 3), Fraction(1, 3), True),
    (mpq(1, 2), 0.5, True),
    (mpq(1, 3), 1 / 3, False),
    (mpc(1 + 0j), 1, True),
    (mpc(1 + 0j), mpfr(1.0), True),
    (mpc(1 + 0j), mpz(1), True),
    (mpc(1 + 0j), mpq(1, 1), True),
    (mpc(1 + 1j), 1, False),
    (mpc(1 + 2j), 1 + 2j, True),
    (mpc(1 + 2j), mpc(1 + 2j), True),
    (mpc(1 + 2j), 1 - 2j, False),
    # Python's complex compares equal to ints, floats and Fractions.
    (mpz(1), 1 + 0j, True),
    (mpz(1), 1 + 1j, False),
    (mpq(1, 2), 0.5 + 0j, True),
    (mpfr(1.5), 1.5 + 0j, True),
    (mpfr(1.5), 1.5 + 1j, False),
])
def test_equality_table(x, y, expected):
    assert (x == y) is expected and reflected(operator.eq, y, x) is expected
    assert (x != y) is not expected and reflected(operator.ne, y, x) is not expected


def test_infinities_order_against_exact_values():
    for x in (mpz(-(2**300)), mpz(0), mpq(-7, 3), mpz(2**300)):
        assert x < INF and x <= INF and x > -INF and x >= -INF
        assert not x == INF and x != -INF


@pytest.mark.parametrize("x", [mpz(1), xmpz(1), mpq(1, 2)])
def test_exact_against_nan_float_is_unordered_and_sets_no_flag(x):
    trapping()
    assert [op(x, NAN) for op in OPS] == [False, False, False, True, False, False]
    assert not get_context().erange


@pytest.mark.parametrize("x, y", [
    (mpfr(NAN), mpfr(NAN)), (mpfr(NAN), 1), (mpfr(1.0), NAN), (mpfr(NAN), mpz(2**100)),
    (mpfr(NAN), Fraction(1, 3)), (mpc(complex(NAN, 0)), 1 + 0j), (mpc(complex(NAN, 0)), 1),
    (mpc(complex(NAN, 1)), 1),
])
def test_nan_comparison_sets_erange_and_traps(x, y):
    assert (x == y) is False and (x != y) is True
    assert get_context().erange
    trapping()
    with raises(vexa2.RangeError, "comparison with NaN"):
        x == y


def test_complex_numbers_have_no_order():
    with raises(TypeError, "no ordering relation is defined for complex numbers"):
        mpc(1 + 1j) < mpc(2 + 2j)
    with raises(TypeError, "no ordering relation is defined for complex numbers"):
        mpc(1 + 0j) >= 0
    with pytest.raises(TypeError):
        mpz(1) < 1j


@pytest.mark.parametrize("x", [mpz(1), mpq(1, 2), mpfr(1.0)])
def test_unknown_operands_are_left_to_python(x):
    assert (x == "1") is False and (x != object()) is True
    with pytest.raises(TypeError):
        x < "1"


def test_failing_conversion_propagates():
    class Bad:
        def __mpz__(self):
            raise ZeroDivisionError

    # The protocol's failure is reported as "cannot convert" by the conversion.
    with raises(TypeError, "cannot convert object to mpz"):
        mpz(1) == Bad()


decimals = st.decimals(allow_nan=False) | st.sampled_from(
    [Decimal("NaN"), Decimal("-0"), Decimal("1E+400"), Decimal("-1E-400")])


@pytest.mark.parametrize("op", OPS)
@given(a=ints, b=fractions, c=floats, d=decimals)
def test_decimal_compares_exactly(op, a, b, c, d):
    def exact(v):
        return v if v.is_nan() else v if v.is_infinite() else Fraction(v)

    def ref(x, y):
        if isinstance(y, Decimal) and y.is_nan():
            return op is operator.ne
        if isinstance(y, Decimal) and y.is_infinite():
            return op(0, 1 if y > 0 else -1)
        return op(x, exact(y))

    assert op(mpz(a), d) == ref(a, d)
    assert op(mpq(b.numerator, b.denominator), d) == ref(b, d)
    # Python's float compares exactly with a Decimal (NaN aside).
    assert op(mpfr(c), d) == (op is operator.ne if d.is_nan() else op(c, d))



@pytest.mark.parametrize("x, v", [
    (mpz(0), 0), (mpz(-7), -7), (mpz(2**200), 2**200), (mpq(-1, 3), Fraction(-1, 3)),
    (mpq(2**100, 3), Fraction(2**100, 3)), (mpfr(0.0), 0.0), (mpfr(-2.5), -2.5), (mpfr(INF), INF),
    (mpfr(-INF), -INF), (mpc(1.5 + 0j), 1.5),
])
@pytest.mark.parametrize("d", [Decimal("1E+999999999"), Decimal("-1E+999999999"), Decimal("7E+999999999999999"),
                               Decimal("1E-999999999"), Decimal("-3E-999999999999999"), Decimal("0E+999999999")])
def test_decimal_with_a_huge_exponent_compares_without_expanding_it(x, v, d):
    # 10**exponent is never formed: each comparison takes microseconds.
    for op in (OPS if not isinstance(x, mpc) else [operator.eq, operator.ne]):
        assert op(x, d) is op(v, d)


@pytest.mark.parametrize("op", OPS)
@given(a=ints, b=fractions, c=floats, m=st.integers(1, 10**6), e=st.integers(-400, 400))
def test_decimal_compares_exactly_across_magnitudes(op, a, b, c, m, e):
    d = Decimal(m).scaleb(e)
    for x, v in ((mpz(a), a), (mpq(b.numerator, b.denominator), b), (mpfr(c), c)):
        assert op(x, d) is op(v, d) and op(x, -d) is op(v, -d)  # Python's numbers compare exactly with Decimal


# ---- hashes ----

@given(ints)
def test_hash_mpz(n):
    assert hash(mpz(n)) == hash(n)


@given(fractions)
def test_hash_mpq(f):
    assert hash(mpq(f.numerator, f.denominator)) == hash(f)


@given(st.floats(allow_nan=False), st.sampled_from([53, 64, 65, 128, 300]))
def test_hash_mpfr_of_float_any_precision(d, prec):
    assert hash(mpfr(d, prec)) == hash(d)


@given(ints, st.integers(0, 3))
def test_hash_mpfr_of_int_spanning_limbs(n, extra_limbs):
    prec = max(abs(n).bit_length(), 2) + 64 * extra_limbs
    assert hash(mpfr(n, prec)) == hash(n)


@given(st.complex_numbers(allow_nan=False))
def test_hash_mpc(c):
    assert hash(mpc(c)) == hash(c)


@pytest.mark.parametrize("x, h", [
    (mpz(-1), -2), (mpz(P), 0), (mpz(-P - 1), -2), (mpz(0), 0),
    (mpq(1, P), 314159), (mpq(-1, 3 * P), -314159), (mpq(-1, 1), -2),
    (mpfr(INF), 314159), (mpfr(-INF), -314159), (mpfr(0.0), 0), (mpfr(-0.0), 0),
    (mpfr(-1.0), -2), (mpc(complex(INF, 1)), 314159 + 1000003),
])
def test_hash_table(x, h):
    assert hash(x) == h


def test_equal_values_hash_equal_across_types():
    values = [mpz(3), mpq(3, 1), mpfr(3.0), mpc(3 + 0j), 3, 3.0, Fraction(3), 3 + 0j]
    assert len({hash(v) for v in values}) == 1
    assert hash(mpq(1, 2)) == hash(0.5) == hash(mpfr(0.5)) == hash(Fraction(1, 2))


def test_nan_hashes_by_identity():
    a, b = mpfr(NAN), mpfr(NAN)
    assert hash(a) == hash(a) and hash(a) != hash(b)


def test_xmpz_is_unhashable():
    with pytest.raises(TypeError):
        hash(xmpz(1))


def test_numbers_work_as_dict_keys_alongside_python_numbers():
    d = {1: "a", 0.5: "b", 2 + 1j: "d"}
    assert d[mpz(1)] == "a" and d[mpq(1, 2)] == "b" and d[mpfr(0.5)] == "b"
    assert d[mpc(2 + 1j)] == "d"
    assert {mpz(5): 1}[5] == 1 and {mpq(1, 2): 1}[0.5] == 1 and {mpq(1, 4): 1}[Decimal("0.25")] == 1


# ---- cmp, cmp_abs, sign ----

@given(a=ints | fractions | floats, b=ints | fractions | floats)
def test_cmp_and_cmp_abs_agree_with_python(a, b):
    assert cmp(a, b) == (a > b) - (a < b)
    assert cmp_abs(a, b) == (abs(a) > abs(b)) - (abs(a) < abs(b))


@given(a=ints, b=fractions, c=floats)
def test_cmp_mixed_own_types(a, b, c):
    z, q, f = mpz(a), mpq(b.numerator, b.denominator), mpfr(c)
    for x, xv in ((z, a), (q, b), (f, c)):
        for y, yv in ((z, a), (q, b), (f, c), (a, a), (b, b), (c, c)):
            assert cmp(x, y) == (xv > yv) - (xv < yv)
            assert cmp_abs(x, y) == (abs(xv) > abs(yv)) - (abs(xv) < abs(yv))


def test_cmp_abs_leaves_operands_unchanged():
    z, q, f = mpz(-5), mpq(-1, 2), mpfr(-2.5)
    assert cmp_abs(z, q) == 1 and cmp_abs(q, f) == -1 and cmp_abs(f, z) == -1
    assert int(z) == -5 and float(q) == -0.5 and float(f) == -2.5


@pytest.mark.parametrize("call, expected", [
    (lambda: cmp(mpq(1, 2), mpfr(0.5)), 0),
    (lambda: cmp(1, 2.5), -1),
    (lambda: cmp(xmpz(3), mpz(2)), 1),
    (lambda: cmp_abs(-3, 2), 1),
    (lambda: cmp_abs(mpq(-1, 2), 0.25), 1),
    (lambda: cmp_abs(mpc(3 + 4j), 5), 0),
    (lambda: cmp_abs(3 + 4j, mpfr(-6.0)), -1),
    (lambda: sign(mpz(-5)), -1),
    (lambda: sign(2**100), 1),
    (lambda: sign(True), 1),
    (lambda: sign(Fraction(0, 1)), 0),
    (lambda: sign(mpq(-1, 3)), -1),
    (lambda: sign(mpfr(-0.0)), 0),
    (lambda: sign(-2.5), -1),
    (lambda: sign(Decimal("-1.5")), -1),
    (lambda: sign(Decimal("0")), 0),
    (lambda: sign(Decimal("Infinity")), 1),
])
def test_cmp_sign_table(call, expected):
    assert call() == expected


@pytest.mark.parametrize("call, msg", [
    (lambda: cmp(mpfr(NAN), 1), "invalid comparison with NaN"),
    (lambda: cmp(1, NAN), "invalid comparison with NaN"),
    (lambda: cmp_abs(mpfr(NAN), mpq(1, 2)), "invalid comparison with NaN"),
    (lambda: cmp_abs(mpc(complex(NAN, 1)), 1), "invalid comparison with NaN"),
    (lambda: sign(mpfr(NAN)), "sign() of invalid value (NaN)"),
    (lambda: sign(Decimal("NaN")), "sign() of invalid value (NaN)"),
])
def test_nan_in_module_functions(call, msg):
    assert call() == 0
    assert get_context().erange
    trapping()
    with raises(vexa2.RangeError, msg):
        call()


@pytest.mark.parametrize("call, msg", [
    (lambda: cmp(1j, 1), "cmp() requires integer, rational, or real arguments"),
    (lambda: cmp(1, "x"), "cmp() requires integer, rational, or real arguments"),
    (lambda: cmp(1), "cmp() requires 2 arguments"),
    (lambda: cmp_abs(1, "x"), "cmp_abs() requires integer, rational, real, or complex arguments"),
    (lambda: cmp_abs(1, 2, 3), "cmp_abs() requires 2 arguments"),
    (lambda: sign(1j), "sign() argument type not supported"),
    (lambda: sign(mpc(1j)), "sign() argument type not supported"),
    (lambda: sign("1"), "sign() argument type not supported"),
])
def test_module_function_errors(call, msg):
    with raises(TypeError, msg):
        call()


def test_sign_uses_the_context_it_is_called_on():
    ctx = context(trap_erange=True)
    sign(mpfr(NAN))  # the current context does not trap
    assert get_context().erange and not ctx.erange
    if hasattr(ctx, "sign"):
        with raises(vexa2.RangeError, "sign() of invalid value (NaN)"):
            ctx.sign(mpfr(NAN))


def test_protocol_objects():
    class Z:
        def __mpz__(self):
            return mpz(-4)

    class Q:
        def __mpq__(self):
            return mpq(1, 3)

    assert mpz(-4) == Z() and mpq(1, 3) == Q() and mpz(0) < Q()
    assert sign(Z()) == -1 and sign(Q()) == 1
    assert cmp(Z(), Q()) == -1 and cmp_abs(Z(), Q()) == 1


def test_sign_reads_ints_and_subclasses_as_integers():
    class IntQ(int):  # an int subclass stays an integer even with __mpq__
        def __mpq__(self):
            raise AssertionError

    class FloatZ(float):  # a float subclass offering the integer protocol is read through it
        def __mpz__(self):
            return mpz(-3)

    assert [sign(v) for v in (xmpz(-2), xmpz(0), IntQ(-4), -(2**100), False, FloatZ(2.0))] == [-1, 0, -1, -1, 0, -1]
