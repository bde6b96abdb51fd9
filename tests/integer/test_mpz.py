"""The integer protocol and methods of mpz (and what xmpz shares)."""
import math
import operator
import re
from fractions import Fraction

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import context, mpq, mpz, set_context, xmpz

ints = st.integers(min_value=-(2**300), max_value=2**300) | st.sampled_from(
    [0, 1, -1, 2**64 - 1, -(2**64), 2**63, -(2**63)])
small_counts = st.integers(0, 400)


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|\Z)")  # notes may follow


def same(result, expected):
    """An mpz result with the expected value."""
    return type(result) is mpz and int(result) == expected


# ---- unary operators ----

@given(ints)
def test_unary_operators(n):
    x = mpz(n)
    assert same(-x, -n) and same(~x, ~n) and same(abs(x), abs(n))
    assert +x is x
    if n >= 0:
        assert abs(x) is x


@given(ints)
def test_xmpz_shares_the_binary_integer_slots(n):
    x = xmpz(n)
    assert same(x << 3, n << 3) and same(x >> 3, n >> 3)
    assert same(x & 12, n & 12) and same(7 | x, 7 | n) and same(x ^ mpz(5), n ^ 5)
    assert int(x) == n  # unchanged


# ---- shifts ----

@given(ints, small_counts)
def test_shifts_match_int(n, k):
    assert same(mpz(n) << k, n << k)
    assert same(mpz(n) >> k, n >> k)
    assert same(mpz(n) << mpz(k), n << k)
    assert same(n >> mpz(k), n >> k)  # reflected through the slot


@pytest.mark.parametrize("n", [7, -7, 0, 2**200, -(2**200)])
@pytest.mark.parametrize("count", [1 << 64, 1 << 70, mpz(1 << 70)])
def test_right_shift_by_huge_counts_gives_the_sign_fill(n, count):
    assert same(mpz(n) >> count, -1 if n < 0 else 0)


@pytest.mark.parametrize("call, exc, msg", [
    (lambda: mpz(1) >> -1, ValueError, "negative shift count"),
    (lambda: mpz(1) >> -(1 << 70), ValueError, "negative shift count"),
    (lambda: mpz(1) << -1, OverflowError, None),
    (lambda: mpz(1) << (1 << 70), OverflowError, None),
    (lambda: mpz(1) << 1.5, TypeError, None),
    (lambda: mpz(1) >> 1.5, TypeError, None),
    (lambda: 1.5 << mpz(1), TypeError, "cannot convert object to mpz"),
    (lambda: "a" >> mpz(1), TypeError, "cannot convert object to mpz"),
])
def test_shift_errors(call, exc, msg):
    with pytest.raises(exc, match=None if msg is None else "^" + re.escape(msg) + r"(\n|\Z)"):
        call()


def test_negative_mpz_count_is_refused_like_an_int():
    # A negative count given as mpz/xmpz is an error, exactly as for an int
    # (it used to be read as 0 and the shift silently did nothing).
    with pytest.raises(OverflowError):
        mpz(5) << mpz(-3)
    with pytest.raises(ValueError, match="^negative shift count$"):
        mpz(5) >> xmpz(-3)


@pytest.mark.parametrize("call", [
    lambda: mpz(1) << 2**62,
    lambda: mpz(-3) << (2**64 - 1),
    lambda: mpz(1) << (2**37 * 64),
    lambda: xmpz(1) << 2**62,
])
def test_impossible_left_shifts_raise_memory_error(call):
    with pytest.raises(MemoryError):
        call()


def test_zero_shifts_by_any_count():
    assert same(mpz(0) << 2**62, 0) and same(mpz(0) << (2**64 - 1), 0)


# ---- and, xor, or ----

@pytest.mark.parametrize("op", [operator.and_, operator.or_, operator.xor])
@given(a=ints, b=ints)
def test_bitwise_match_int(op, a, b):
    assert same(op(mpz(a), mpz(b)), op(a, b))
    assert same(op(mpz(a), b), op(a, b))
    assert same(op(a, mpz(b)), op(a, b))
    assert same(op(xmpz(a), b), op(a, b))


@pytest.mark.parametrize("op", [operator.and_, operator.or_, operator.xor])
def test_bitwise_refuses_non_integers(op):
    with raises(TypeError, "cannot convert object to mpz"):
        op(mpz(1), 1.5)
    with raises(TypeError, "cannot convert object to mpz"):
        op(1.5, mpz(1))
    with raises(TypeError, "cannot convert object to mpz"):
        op(mpz(1), mpq(1, 2))


def test_bitwise_leaves_operands_alone():
    a, b = xmpz(12), mpz(-4)
    assert same(a & b, 12) and int(a) == 12 and int(b) == -4

    class P:
        def __mpz__(self):
            return self.value

    p = P()
    p.value = mpz(6)
    assert same(mpz(3) | p, 7) and int(p.value) == 6


# ---- length, indexing, slicing ----

def bit_of(n, i):
    return (n >> i) & 1


@given(ints, st.integers(-500, 500))
def test_bit_indexing_matches_int(n, i):
    length = max(abs(n).bit_length(), 1)
    j = i + length if i < 0 else i
    expected = (1 if n < 0 else 0) if j < 0 else bit_of(n, j)
    assert mpz(n)[i] == expected and xmpz(n)[i] == expected
    assert len(mpz(n)) == length == len(xmpz(n))


@given(ints, st.one_of(st.none(), st.integers(-400, 400)), st.one_of(st.none(), st.integers(-400, 400)),
       st.one_of(st.none(), st.integers(-9, 9).filter(bool)))
def test_bit_slicing_matches_int(n, start, stop, step):
    length = max(abs(n).bit_length(), 1)
    positions = range(length)[start:stop:step]
    expected = sum(bit_of(n, i) << j for j, i in enumerate(positions))
    assert same(mpz(n)[start:stop:step], expected)
    assert same(xmpz(n)[start:stop:step], expected)


@pytest.mark.parametrize("x, key, expected", [
    (mpz(0), 0, 0), (mpz(5), -1, 1), (mpz(5), -10, 0), (mpz(-5), -10, 1),
    (mpz(0b101101), slice(1, 4), 0b110), (mpz(-1), slice(0, 8), 1), (mpz(-6), slice(0, 3), 2),
    (mpz(0b1101), slice(None, None, -1), 0b1011), (mpz(5), mpz(2), 1), (mpz(5), True, 0),
    (mpz(-1), 2**62, 1), (mpz(1), 2**62, 0),
])
def test_indexing_table(x, key, expected):
    assert int(x[key]) == expected


@pytest.mark.parametrize("n", [2**10, -(2**10), 0b1011 << 60])
@pytest.mark.parametrize("sl", [slice(5, None, 2**63 - 1), slice(None, None, 2**63 - 1), slice(-1, None, -(2**63)),
                                slice(-2, -(2**63), -(2**62)), slice(3, 2**63 - 1, 2**62)])
def test_slices_with_huge_steps(n, sl):
    length = max(abs(n).bit_length(), 1)
    expected = sum(bit_of(n, i) << j for j, i in enumerate(range(length)[sl]))
    assert same(mpz(n)[sl], expected) and same(xmpz(n)[sl], expected)


@pytest.mark.parametrize("x, key, exc, msg", [
    (mpz(5), 1.0, TypeError, "bit positions must be integers"),
    (mpz(5), "1", TypeError, "bit positions must be integers"),
    (mpz(5), 2**64, IndexError, "argument too large to convert to an index"),
    (xmpz(5), -(2**64), IndexError, "argument too large to be converted to an index"),
    (mpz(5), slice(0, 1.5), TypeError, None),
])
def test_indexing_errors(x, key, exc, msg):
    with pytest.raises(exc, match=None if msg is None else "^" + re.escape(msg) + r"(\n|\Z)"):
        x[key]


def test_mpz_is_immutable():
    with pytest.raises(TypeError):
        mpz(5)[0] = 0


# ---- drop-in for int ----

def test_mpz_serves_where_python_wants_an_index():
    seq = list(range(10))
    assert seq[mpz(3)] == 3 and seq[mpz(-1)] == 9 and seq[mpz(2):mpz(5)] == [2, 3, 4]
    assert list(range(mpz(3))) == [0, 1, 2] and list(range(mpz(1), mpz(7), mpz(2))) == [1, 3, 5]
    assert operator.index(mpz(2**100)) == 2**100 and "abc" * mpz(2) == "abcabc"
    assert math.gcd(mpz(12), 18) == 6 and hex(mpz(255)) == "0xff" and bin(mpz(-5)) == "-0b101"
    assert math.floor(mpz(3)) == 3 and math.trunc(mpz(-3)) == -3 and math.ceil(mpz(4)) == 4


# ---- bit methods ----

@given(ints, st.integers(0, 400))
def test_bit_methods_match_int(n, i):
    x = mpz(n)
    assert x.bit_test(i) is bool(bit_of(n, i))
    assert same(x.bit_set(i), n | (1 << i))
    assert same(x.bit_clear(i), n & ~(1 << i))
    assert same(x.bit_flip(i), n ^ (1 << i))
    assert x.bit_count() == bin(n).count("1") and x.bit_length() == n.bit_length()
    ones = [p for p in range(i, 800) if bit_of(n, p)]
    zeros = [p for p in range(i, 800) if not bit_of(n, p)]
    assert x.bit_scan1(i) == (ones[0] if ones else None)
    assert x.bit_scan0(i) == (zeros[0] if zeros else None)
    assert int(x) == n


@pytest.mark.parametrize("call, expected", [
    (lambda: mpz(7).bit_scan1(3), None), (lambda: mpz(-1).bit_scan0(), None),
    (lambda: mpz(0).bit_scan1(), None), (lambda: mpz(0).bit_scan0(2**63), 2**63),
    (lambda: mpz(-6).bit_count(), 2), (lambda: mpz(0).bit_length(), 0),
    (lambda: mpz(5).bit_test(2**64 - 1), False), (lambda: mpz(-5).bit_test(2**64 - 1), True),
    (lambda: int(mpz(5).bit_clear(2**62)), 5), (lambda: int(mpz(-5).bit_set(2**62)), -5),
    (lambda: type(xmpz(5).bit_set(1)), mpz),
])
def test_bit_method_table(call, expected):
    assert call() == expected


@pytest.mark.parametrize("call, exc", [
    (lambda: mpz(0).bit_set(2**62), MemoryError),
    (lambda: mpz(1).bit_flip(2**64 - 1), MemoryError),
    (lambda: mpz(-1).bit_clear(2**62), MemoryError),
    (lambda: mpz(1).bit_set(-1), OverflowError),
    (lambda: mpz(5).bit_test(mpz(-3)), OverflowError),  # refused like -3, not read as 0
    (lambda: mpz(1).bit_set(2**64), OverflowError),
    (lambda: mpz(1).bit_test(1.0), TypeError),
    (lambda: mpz(1).bit_scan0(1, 2), TypeError),
])
def test_bit_method_errors(call, exc):
    with pytest.raises(exc):
        call()


# ---- predicates ----

@given(ints)
def test_predicates(n):
    x = mpz(n)
    assert x.is_even() is (n % 2 == 0) and x.is_odd() is (n % 2 == 1)
    assert x.is_square() is (n >= 0 and math.isqrt(n) ** 2 == n)
    assert x.is_integer() is True


@given(st.integers(-1000, 1000), st.integers(-50, 50), st.integers(-50, 50))
def test_divisibility_and_congruence(n, d, m):
    x = mpz(n)
    assert x.is_divisible(d) is (n == 0 if d == 0 else n % d == 0)
    assert x.is_divisible(d * 2**70) is (n == 0)  # beyond one limb
    assert x.is_congruent(d, m) is ((n - d) % m == 0 if m else n == d)


@pytest.mark.parametrize("n, power", [(0, True), (1, True), (-1, True), (-8, True), (-4, False),
                                      (27, True), (2**64, True), (12, False), (-32, True)])
def test_is_power(n, power):
    assert mpz(n).is_power() is power


def small_prime(n):
    return n > 1 and all(n % p for p in range(2, math.isqrt(n) + 1))


@given(st.integers(-3000, 3000))
def test_primality(n):
    x = mpz(n)
    assert x.is_prime() is small_prime(n)
    assert x.is_probab_prime() == (2 if small_prime(n) else 0)


@pytest.mark.parametrize("call, expected", [
    (lambda: mpz(2**127 - 1).is_prime(), True), (lambda: mpz(2**127 - 1).is_prime(10**6), True),
    (lambda: mpz(2**127 - 1).is_probab_prime(30), 1), (lambda: mpz(-7).is_prime(), False),
    (lambda: mpz(-7).is_probab_prime(), 0), (lambda: mpz(2**128 + 1).is_probab_prime(2**40), 0),
    (lambda: mpz(12).is_divisible(-4), True), (lambda: mpz(0).is_divisible(0), True),
    (lambda: mpz(5).is_divisible(0), False), (lambda: mpz(2**80).is_divisible(mpz(2**70)), True),
    (lambda: mpz(10).is_congruent(xmpz(3), mpz(7)), True),
])
def test_predicate_table(call, expected):
    assert call() == expected


@pytest.mark.parametrize("call, exc, msg", [
    (lambda: mpz(7).is_prime(-1), OverflowError, None),
    (lambda: mpz(7).is_prime(1, 2), TypeError, "is_prime() takes at most 1 argument"),
    (lambda: mpz(7).is_probab_prime(1, 2), TypeError, "is_probab_prime() takes at most 1 argument"),
    (lambda: mpz(7).is_probab_prime(mpz(3)), TypeError, None),
    (lambda: mpz(7).is_divisible(1.5), TypeError, "is_divisible() requires 2 integer arguments"),
    (lambda: mpz(7).is_congruent(1), TypeError, "is_congruent() requires 2 integer arguments"),
    (lambda: mpz(7).is_congruent(1, 2.0), TypeError, "is_congruent() requires 2 integer arguments"),
    (lambda: mpz(10).num_digits(1), ValueError, "base must be in the interval [2, 62]"),
    (lambda: mpz(10).num_digits(63), ValueError, "base must be in the interval [2, 62]"),
    (lambda: mpz(10).num_digits("2"), TypeError, None),
])
def test_method_errors(call, exc, msg):
    with pytest.raises(exc, match=None if msg is None else "^" + re.escape(msg) + r"(\n|\Z)"):
        call()


@given(ints, st.integers(2, 62))
def test_num_digits(n, base):
    d = mpz(n).num_digits(base)
    exact = 1
    while abs(n) >= base**exact:
        exact += 1
    assert d in (exact, exact + 1)
    if base & (base - 1) == 0:
        assert d == exact
    assert mpz(n).num_digits() == xmpz(n).num_digits(10)


# ---- rounding ----

def round_ref(n, k, mode):
    p = 10**k
    q = Fraction(n, p)
    if mode == vexa2.RoundToZero:
        r = math.trunc(q)
    elif mode == vexa2.RoundUp:
        r = math.ceil(q)
    elif mode == vexa2.RoundDown:
        r = math.floor(q)
    elif mode == vexa2.RoundAwayZero:
        r = math.ceil(q) if n >= 0 else math.floor(q)
    else:
        r = round(q)  # ties to even
    return r * p


@pytest.mark.parametrize("mode", [vexa2.RoundToNearest, vexa2.RoundToZero, vexa2.RoundUp,
                                  vexa2.RoundDown, vexa2.RoundAwayZero])
@given(n=ints, k=st.integers(1, 100))
def test_round_negative_digits(mode, n, k):
    set_context(context(round=mode))
    assert same(round(mpz(n), -k), round_ref(n, k, mode))


@pytest.mark.parametrize("n, nd, mode, expected", [
    (15, -1, vexa2.RoundToNearest, 20), (25, -1, vexa2.RoundToNearest, 20),
    (-15, -1, vexa2.RoundToNearest, -20), (-11, -1, vexa2.RoundAwayZero, -20),
    (99, -3, vexa2.RoundToNearest, 0), (999, -3, vexa2.RoundToNearest, 1000),
    (5, -(2**63), vexa2.RoundToNearest, 0), (123, mpz(-1), vexa2.RoundToNearest, 120),
    # Values below 10**(k-1) still round away from zero in the directed modes.
    (1, -5, vexa2.RoundUp, 10**5), (-1, -5, vexa2.RoundUp, 0), (-1, -5, vexa2.RoundDown, -(10**5)),
    (1, -5, vexa2.RoundAwayZero, 10**5), (-1, -5, vexa2.RoundToZero, 0), (0, -5, vexa2.RoundAwayZero, 0),
])
def test_round_table(n, nd, mode, expected):
    set_context(context(round=mode))
    assert same(round(mpz(n), nd), expected)


def test_round_up_to_an_impossible_power_raises():
    set_context(context(round=vexa2.RoundUp))
    with pytest.raises(MemoryError):
        round(mpz(1), -(2**62))
    assert same(round(mpz(-1), -(2**62)), 0)


def test_round_returns_self_unless_digits_negative():
    x = mpz(7)
    assert round(x) is x and round(x, 2) is x and x.__round__(0) is x
    for bad in (1.5, "1", 2**64):
        with raises(TypeError, "__round__() requires 'int' argument"):
            round(x, bad)


# ---- small methods and attributes ----

def test_self_returning_methods_and_attributes():
    x = mpz(-3)
    for y in (x.__ceil__(), x.__floor__(), x.__trunc__(), x.conjugate(), x.numerator, x.real):
        assert y is x
    assert same(x.denominator, 1) and same(x.imag, 0)
    n, d = x.as_integer_ratio()
    assert n is x and same(d, 1)
    x4 = xmpz(4)
    assert x4.conjugate() is x4


def test_sizeof_grows_with_the_value():
    # The fixed record plus 8 bytes per allocated limb (at least the 101 in use).
    extra = mpz(2**6400).__sizeof__() - mpz.__basicsize__
    assert extra >= 8 * 101 and extra % 8 == 0


@pytest.mark.parametrize("args, kwargs, msg", [
    ((1, 2, 3), {}, "__array__() takes at most 2 positional arguments"),
    ((), {"dtype": 1, "copy": 2, "x": 3}, "__array__() takes at most 2 keyword arguments"),
    ((None,), {"dtype": None}, "argument for __array__() given by name ('dtype') and position (1)"),
    ((None, None), {"copy": None}, "argument for __array__() given by name ('copy') and position (2)"),
    ((), {"order": None}, "got an invalid keyword argument for __array__()"),
])
def test_array_argument_errors(args, kwargs, msg):
    with raises(TypeError, msg):
        mpz(1).__array__(*args, **kwargs)


def test_array_with_numpy():
    np = pytest.importorskip("numpy")
    a = mpz(12).__array__()
    assert isinstance(a, np.ndarray) and a == 12
    assert mpz(12).__array__(dtype=np.float64).dtype == np.float64
