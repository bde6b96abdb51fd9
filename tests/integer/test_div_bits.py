"""Division with an explicit rounding (c_, f_, t_), exact division and the module bit functions."""
import re

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import mpz, xmpz

ints = st.integers(-(2**200), 2**200) | st.sampled_from([0, 1, -1, 2**64, -(2**64) + 1])
nonzero = ints.filter(bool)
shifts = st.integers(0, 300)


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)")


def same(result, expected):
    return type(result) is mpz and result == expected


def cdiv(x, y):
    return -(-x // y)


def tdiv(x, y):
    q = abs(x) // abs(y)
    return q if (x < 0) == (y < 0) else -q


QUOTIENT = {"c": cdiv, "f": lambda x, y: x // y, "t": tdiv}


@pytest.mark.parametrize("p", "cft")
@given(x=ints, y=nonzero, n=shifts)
def test_division_family_against_int(p, x, y, n):
    q = QUOTIENT[p](x, y)
    assert same(getattr(vexa2, p + "_div")(x, y), q)
    assert same(getattr(vexa2, p + "_mod")(mpz(x), y), x - q * y)
    qq, rr = getattr(vexa2, p + "_divmod")(x, xmpz(y))
    assert same(qq, q) and same(rr, x - q * y)
    q2 = QUOTIENT[p](x, 2**n)
    assert same(getattr(vexa2, p + "_div_2exp")(x, n), q2)
    assert same(getattr(vexa2, p + "_mod_2exp")(x, mpz(n)), x - q2 * 2**n)
    assert getattr(vexa2, p + "_divmod_2exp")(x, n) == (q2, x - q2 * 2**n)


@given(ints, nonzero)
def test_divexact(q, y):
    assert same(vexa2.divexact(q * y, y), q)


@pytest.mark.parametrize("call, expected", [
    (lambda: vexa2.c_div(7, 2), 4), (lambda: vexa2.t_div(-7, 2), -3), (lambda: vexa2.c_mod(7, 2), -1),
    (lambda: vexa2.f_mod(7, -2), -1), (lambda: vexa2.t_divmod(-7, 2), (-3, -1)),
    (lambda: vexa2.f_mod_2exp(-1, 8), 255), (lambda: vexa2.c_mod_2exp(1, 8), -255),
    # huge powers of two: only remainders that would need 2**62 bits are refused
    (lambda: vexa2.c_div_2exp(1, 2**62), 1), (lambda: vexa2.f_div_2exp(-1, 2**62), -1),
    (lambda: vexa2.t_mod_2exp(-1, 2**62), -1), (lambda: vexa2.f_mod_2exp(1, 2**62), 1),
    (lambda: vexa2.c_mod_2exp(-5, 2**62), -5),
])
def test_division_cases(call, expected):
    assert call() == expected


def test_division_messages():
    for p in "cft":
        for f in ("div", "mod", "divmod"):
            name = f"{p}_{f}"
            with raises(TypeError, f"{name}() requires 'mpz','mpz' arguments"):
                getattr(vexa2, name)(1)
            with raises(ZeroDivisionError, f"{name}() division by 0"):
                getattr(vexa2, name)(1, mpz(0))
            with raises(TypeError, f"{name}_2exp() requires 'mpz','int' arguments"):
                getattr(vexa2, name + "_2exp")(1, 2, 3)
            with pytest.raises(OverflowError):
                getattr(vexa2, name + "_2exp")(1, -1)
    with raises(TypeError, "divexact() requires 'mpz','mpz' arguments"):
        vexa2.divexact(1)
    with raises(ZeroDivisionError, "divexact() division by 0"):
        vexa2.divexact(12, 0)
    for call in (lambda: vexa2.f_div(1.5, 2), lambda: vexa2.t_mod(1, 2.0), lambda: vexa2.divexact(4, "2"),
                 lambda: vexa2.c_div_2exp(1.5, 1)):
        with raises(TypeError, "cannot convert object to mpz"):
            call()


@pytest.mark.parametrize("call", [
    lambda: vexa2.c_mod_2exp(1, 2**62), lambda: vexa2.f_mod_2exp(-1, 2**62),
    lambda: vexa2.c_divmod_2exp(1, 2**62), lambda: vexa2.bit_mask(2**62), lambda: vexa2.xbit_mask(2**62),
    lambda: vexa2.bit_set(1, 2**62), lambda: vexa2.bit_flip(-1, 2**62),
])
def test_results_too_large_to_exist(call):
    with pytest.raises(MemoryError):
        call()


# ---- bit functions ----

@given(ints, st.integers(0, 260))
def test_module_bit_functions_match_methods(n, i):
    for x in (n, mpz(n), xmpz(n)):
        assert same(vexa2.bit_set(x, i), n | (1 << i))
        assert same(vexa2.bit_clear(x, i), n & ~(1 << i))
        assert same(vexa2.bit_flip(x, i), n ^ (1 << i))
        assert vexa2.bit_test(x, i) is mpz(n).bit_test(i)
        assert vexa2.bit_scan0(x, i) == mpz(n).bit_scan0(i) and vexa2.bit_scan1(x) == mpz(n).bit_scan1()
    assert vexa2.bit_count(n) == bin(n).count("1") and vexa2.bit_length(n) == n.bit_length()
    assert vexa2.popcount(n) == (bin(n).count("1") if n >= 0 else -1)


@given(ints, ints)
def test_hamdist(x, y):
    expected = bin(x ^ y).count("1") if (x < 0) == (y < 0) else 2**64 - 1
    assert vexa2.hamdist(x, mpz(y)) == expected


def test_bit_functions_leave_an_xmpz_unchanged():
    x = xmpz(5)
    assert same(vexa2.bit_set(x, 1), 7) and same(vexa2.bit_flip(x, 0), 4) and x == 5


@pytest.mark.parametrize("call, expected", [
    (lambda: vexa2.bit_mask(0), 0), (lambda: vexa2.bit_mask(mpz(8)), 255), (lambda: vexa2.bit_scan1(0), None),
    (lambda: vexa2.bit_scan0(-1), None), (lambda: vexa2.bit_scan0(7, 1), 3), (lambda: vexa2.bit_test(-1, 1000), True),
    (lambda: vexa2.bit_clear(3, 2**62), 3), (lambda: vexa2.bit_set(-1, 2**62), -1),
])
def test_bit_cases(call, expected):
    assert call() == expected


def test_xbit_mask():
    r = vexa2.xbit_mask(8)
    assert type(r) is xmpz and r == 255 and vexa2.xbit_mask(0) == 0


@pytest.mark.parametrize("call, exc, msg", [
    (lambda: vexa2.bit_clear(1.5, 0), TypeError, "bit_clear() requires 'mpz','int' arguments"),
    (lambda: vexa2.bit_flip(1), TypeError, "bit_flip() requires 'mpz','int' arguments"),
    (lambda: vexa2.bit_set("1", 0), TypeError, "bit_set() requires 'mpz','int' arguments"),
    (lambda: vexa2.bit_test(1, 2, 3), TypeError, "bit_test() requires 'mpz','int' arguments"),
    (lambda: vexa2.bit_scan0(), TypeError, "bit_scan0() requires 'mpz',['int'] arguments"),
    (lambda: vexa2.bit_scan1(1.0), TypeError, "bit_scan1() requires 'mpz',['int'] arguments"),
    (lambda: vexa2.bit_count(1.0), TypeError, "bit_count() requires 'mpz' argument"),
    (lambda: vexa2.bit_length(None), TypeError, "bit_length() requires 'mpz' argument"),
    (lambda: vexa2.popcount(1.0), TypeError, "popcount() requires 'mpz' argument"),
    (lambda: vexa2.hamdist(1, 2.0), TypeError, "hamdist() requires 'mpz','mpz' arguments"),
    (lambda: vexa2.hamdist(1), TypeError, "hamdist() requires 'mpz','mpz' arguments"),
    (lambda: vexa2.xbit_mask(-1), ValueError, "mask length must be >= 0"),
    (lambda: vexa2.xbit_mask(1.5), TypeError, "xbit_mask() requires 'int' argument"),
    (lambda: vexa2.bit_set(1, -1), OverflowError, None),
    (lambda: vexa2.bit_mask(-1), OverflowError, None),
])
def test_bit_function_errors(call, exc, msg):
    with (raises(exc, msg) if msg else pytest.raises(exc)):
        call()
