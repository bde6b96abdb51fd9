"""xmpz: changes in place, bit assignment, limb access and the bit iterators."""
import ctypes
import operator
import re
import threading

import pytest
from hypothesis import given, settings, strategies as st

from vexa2 import mpfr, mpq, mpz, xmpz


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)")


def bitlen(n):
    """The length of x as len() gives it: the magnitude's bit length, 1 for 0."""
    return max(abs(n).bit_length(), 1)


def set_bits(n, positions, v):
    """n with bit positions[j] replaced by bit j of v (two's complement)."""
    for j, p in enumerate(positions):
        n = n | (1 << p) if (v >> j) & 1 else n & ~(1 << p)
    return n


# ---- any sequence of changes equals the same on a Python int ----

operands = st.integers(-(2**130), 2**130) | st.sampled_from([0, 1, -1, 2**64, -(2**63)])
wrap = st.sampled_from([int, mpz, xmpz])
steps = st.one_of(
    st.tuples(st.sampled_from(["+", "-", "*", "//", "%", "&", "|", "^"]), operands, wrap),
    st.tuples(st.sampled_from(["<<", ">>"]), st.integers(0, 200), wrap),
    st.tuples(st.just("**"), st.integers(0, 3), wrap),
    st.tuples(st.just("bit"), st.integers(-300, 300), st.integers(0, 1)),
    st.tuples(st.just("slice"), st.tuples(st.none() | st.integers(-40, 300), st.none() | st.integers(-40, 300),
                                          st.none() | st.sampled_from([1, 2, 3, -1, -2, 7])), operands),
    st.tuples(st.sampled_from(["neg", "abs", "invert", "self"]), st.none(), st.none()),
)


OPS = {"+": operator.add, "-": operator.sub, "*": operator.mul, "//": operator.floordiv, "%": operator.mod,
       "&": operator.and_, "|": operator.or_, "^": operator.xor, "<<": operator.lshift, ">>": operator.rshift,
       "**": operator.pow}


def apply_to_int(n, step):
    op, a, b = step
    if op in ("neg", "abs", "invert"):
        return {"neg": -n, "abs": abs(n), "invert": ~n}[op]
    if op == "self":
        return n + n
    if op == "bit":
        i = a + bitlen(n) if a < 0 else a
        return None if i < 0 else set_bits(n, [i], b)
    if op == "slice":
        start, stop, stride = a
        length = max(bitlen(n), stop) if stop is not None else bitlen(n)
        return set_bits(n, range(*slice(start, stop, stride).indices(length)), b)
    if op in ("//", "%") and a == 0:
        return None
    return OPS[op](n, a)


def apply_to_xmpz(x, step):
    op, a, b = step
    if op in ("neg", "abs", "invert"):
        assert {"neg": lambda: -x, "abs": lambda: abs(x), "invert": lambda: ~x}[op]() is None
    elif op == "self":
        x += x
    elif op == "bit":
        x[a] = b
    elif op == "slice":
        x[slice(*a)] = b
    else:
        y = b(a)
        r = {"+": x.__iadd__, "-": x.__isub__, "*": x.__imul__, "//": x.__ifloordiv__, "%": x.__imod__,
             "&": x.__iand__, "|": x.__ior__, "^": x.__ixor__, "<<": x.__ilshift__, ">>": x.__irshift__,
             "**": x.__ipow__}[op](y)
        assert r is x


@settings(max_examples=300)
@given(operands, st.lists(steps, max_size=12))
def test_changes_in_place_match_int(start, sequence):
    x, n = xmpz(start), start
    for step in sequence:
        if step[0] == "**" and abs(n).bit_length() > 2000:
            continue
        expected = apply_to_int(n, step)
        if expected is None:
            continue
        apply_to_xmpz(x, step)
        n = expected
        assert type(x) is xmpz and int(x) == n, step


# ---- the forms of the Part's examples ----

def test_operators_change_the_object_itself():
    x = xmpz(5)
    same = x
    x += 1
    x *= mpz(3)
    x -= xmpz(2)
    assert x is same and x == 16
    assert +x is None and x == 16
    x /= 3  # no in-place true division: a new object
    assert type(x) is mpfr
    y = xmpz(1)
    y += 1.5
    assert type(y) is mpfr and y == 2.5
    z = xmpz(1)
    z += mpq(1, 2)
    assert type(z) is mpq


def test_methods_and_attributes():
    x = xmpz(-12345)
    c = x.copy()
    assert type(c) is xmpz and c == x and c is not x
    m = x.make_mpz()
    assert type(m) is mpz and m == -12345 and x == 0
    x = xmpz(5)
    assert x.numerator is x and x.real is x
    assert type(x.denominator) is xmpz and x.denominator == 1 and type(x.imag) is xmpz and x.imag == 0
    assert type(x.bit_set(1)) is mpz and x.bit_set(1) == 7 and x == 5
    assert xmpz(2**200).num_limbs() == 4 and xmpz(0).num_limbs() == 0
    assert xmpz(2**640).__sizeof__() >= 8 * 11 + object().__sizeof__()
    assert xmpz.limb_size == 8
    with pytest.raises(TypeError):
        hash(xmpz(1))


def test_limb_access():
    x = xmpz(0)
    limbs = (ctypes.c_uint64 * 2).from_address(x.limbs_write(2))
    limbs[0], limbs[1] = 7, 1
    x.limbs_finish(-2)
    assert x == -(2**64 + 7)
    read = (ctypes.c_uint64 * 2).from_address(x.limbs_read())
    assert list(read) == [7, 1]
    limbs = (ctypes.c_uint64 * 3).from_address(x.limbs_modify(3))
    limbs[2] = 1
    x.limbs_finish(3)
    assert x == 2**128 + 2**64 + 7


# ---- bit iterators ----

@pytest.mark.parametrize("make, expected", [
    (lambda: xmpz(0b10110).iter_set(), [1, 2, 4]),
    (lambda: xmpz(0b10110).iter_clear(), [0, 3]),
    (lambda: xmpz(0b10001).iter_set(0, 2), [0]),
    (lambda: xmpz(0b10001).iter_set(stop=2, start=0), [0]),
    (lambda: xmpz(5).iter_bits(), [True, False, True]),
    (lambda: xmpz(0).iter_bits(), [False]),
    (lambda: xmpz(-6).iter_bits(0, 5), [False, True, False, True, True]),
    (lambda: xmpz(-6).iter_clear(), [0, 2]),
    (lambda: xmpz(5).iter_set(-1), []),  # a negative start ends at once
    # Any negative stop is the bit length: never an endless walk.
    (lambda: xmpz(-6).iter_clear(0, -7), [0, 2]),
    (lambda: xmpz(5).iter_bits(stop=-2), [True, False, True]),
    (lambda: xmpz(5).iter_set(0, 2**62), [0, 2]),
])
def test_iterators(make, expected):
    assert list(make()) == expected


def test_iterator_sees_changes():
    x = xmpz(1)
    it = x.iter_set()
    assert repr(it) == "<vexa2.Iterator>" and iter(it) is it
    assert next(it) == 0
    x[5] = 1
    assert list(it) == [5]
    with pytest.raises(TypeError):
        x.iter_bits(1, 2, 3)


# ---- errors, and the plain and in-place forms agreeing ----

def set_item(key, value, start=5):
    def run():
        x = xmpz(start)
        x[key] = value
    return run


def del_item(key):
    def run():
        x = xmpz(5)
        del x[key]
    return run


def inplace(op, y, start=7):
    def run():
        x = xmpz(start)
        getattr(x, op)(y)
    return run


@pytest.mark.parametrize("action, exc, msg", [
    (inplace("__imod__", 0), ZeroDivisionError, "xmpz modulo by zero"),
    (inplace("__imod__", mpz(0)), ZeroDivisionError, "xmpz modulo by zero"),
    (inplace("__ifloordiv__", 0), ZeroDivisionError, "xmpz division by zero"),
    (inplace("__ifloordiv__", xmpz(0)), ZeroDivisionError, "xmpz division by zero"),
    (set_item(3, 2), ValueError, "bit value must be 0 or 1"),
    (set_item(3, 1.0), ValueError, "bit value must be 0 or 1"),
    (del_item(3), ValueError, "bit value must be 0 or 1"),
    (del_item(slice(0, 4)), TypeError, "deleting bits not supported"),
    (set_item(slice(0, 4), 1.5), ValueError, "must specify bit sequence as an integer"),
    (set_item("a", 1), TypeError, "bit positions must be integers"),
    (set_item(2**70, 1), IndexError, "argument too large to be converted to an index"),
    (set_item(-100, 1), IndexError, "bit index out of range"),
    (lambda: xmpz(5).limbs_write(1.0), TypeError, "number of limbs must be an int or a long"),
    (lambda: xmpz(5).limbs_modify(mpz(1)), TypeError, "number of limbs must be an int or a long"),
    (lambda: xmpz(5).limbs_finish("1"), TypeError, "number of limbs must be an int or long"),
    (lambda: xmpz(5).limbs_write(0), ValueError, "number of limbs must be positive"),
    (lambda: xmpz(5).limbs_finish(-(10**6)), ValueError, "number of limbs exceeds the allocated limbs"),
])
def test_error_messages(action, exc, msg):
    with raises(exc, msg):
        action()


def outcome(f):
    try:
        return int(f())
    except Exception as e:  # noqa: BLE001 - the kind of failure is compared
        return type(e)


def inplace_result(op, n, count):
    x = xmpz(n)
    getattr(x, op)(count)
    return x


@pytest.mark.parametrize("n", [0, 5, -5])
@pytest.mark.parametrize("count", [3, -1, mpz(-1), xmpz(2), 2**40, 2**64, 2**70, 1.5])
@pytest.mark.parametrize("plain, op", [(lambda a, b: a << b, "__ilshift__"), (lambda a, b: a >> b, "__irshift__")])
def test_shift_in_place_agrees_with_plain_form(n, count, plain, op):
    assert outcome(lambda: inplace_result(op, n, count)) == outcome(lambda: plain(mpz(n), count))


@pytest.mark.parametrize("action, exc", [
    (inplace("__ipow__", -1), OverflowError),
    (inplace("__ipow__", 2**64), OverflowError),
    (inplace("__ipow__", 2**40), MemoryError),  # far beyond any memory: refused before GMP
    (set_item(2**40, 1), MemoryError),
    (set_item(slice(0, 2**62), -1), MemoryError),
    (set_item(slice(0, 2**62), 0, start=-5), MemoryError),  # -2**(2**62)
    (set_item(slice(2**40, 2**40 + 8, 3), 5), MemoryError),
    (lambda: xmpz(5).limbs_write(2**62), MemoryError),
    (lambda: xmpz(5).limbs_write(2**70), OverflowError),
])
def test_impossible_sizes_are_refused(action, exc):
    with pytest.raises(exc):
        action()


@pytest.mark.parametrize("key, value, start, expected", [
    (2**40, 0, 5, 5),  # clearing a bit that is already clear
    (2**40, 1, -1, -1),  # setting a bit of the sign fill
    (slice(0, 2**62), 0, 2**100 + 5, 0),  # clears everything, without visiting 2**62 bits
    (slice(0, 2**62, 3), 0, 2**100 + 2**99, 2**100),
    (slice(None, None, -1), 0b0011, 0b1000, 0b1100),
    (slice(1, 2**62, 2**60), -1, 0, MemoryError),  # four bits, the highest far too high
    (slice(1, 2**62, 2**60), 1, 0, 2),
    (slice(2**40, 2**40 + 8), 0, 5, 5),  # clearing bits that are already clear
    (slice(2**40, 2**40 + 8, 2), 0, 5, 5),
    (slice(2**40, 2**40 + 8, 2), -1, -5, -5),  # setting bits of the sign fill
    (slice(2**40, 2**40 + 8), 3, 5, MemoryError),
])
def test_assignments_far_beyond_the_value(key, value, start, expected):
    x = xmpz(start)
    if expected is MemoryError:
        with pytest.raises(MemoryError):
            x[key] = value
        assert x == start
    else:
        x[key] = value
        assert x == expected


# ---- threads ----

def run_threads(targets):
    errors = []

    def guard(t):
        def run():
            try:
                t()
            except BaseException as e:  # noqa: BLE001 - reported below
                errors.append(e)
        return run

    threads = [threading.Thread(target=guard(t)) for t in targets]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not errors, errors


@pytest.mark.thread_unsafe(reason="starts its own threads")
def test_shared_xmpz_under_threads():
    """Adders keep an exact count while other threads read and grow the value."""
    x = xmpz(0)
    done = threading.Event()
    big = 1 << 4096

    def add():
        nonlocal x
        for _ in range(20_000):
            x += 1

    def grow():
        nonlocal x
        while not done.is_set():
            x += big
            x -= big
            x[9000] = 1
            x[9000] = 0

    def read():
        while not done.is_set():
            assert int(str(x)) >= 0 and x >= 0 and len(x) >= 1 and x.bit_length() <= 9001
            assert x.digits(16) and (x + 0) >= 0 and x[0:64] >= 0

    adders = [add] * 8

    def adders_then_stop():
        try:
            run_threads(adders)
        finally:
            done.set()

    run_threads([adders_then_stop, grow, read, read])
    assert x == 8 * 20_000


@pytest.mark.thread_unsafe(reason="starts its own threads")
def test_shifting_shared_xmpz_under_threads():
    """Growing and shrinking by shifts while others add and read: no crash, no torn value."""
    x = xmpz(1)
    done = threading.Event()

    def shift():
        nonlocal x
        while not done.is_set():
            x <<= 4096
            x >>= 4096

    def add():
        nonlocal x
        for _ in range(5_000):
            x += 1

    def read():
        while not done.is_set():
            text = format(x, "x")
            assert int(text, 16) >= 1 and x > 0 and mpz(x) > 0 and x.num_limbs() >= 1

    def adders_then_stop():
        try:
            run_threads([add] * 4)
        finally:
            done.set()

    run_threads([adders_then_stop, shift, shift, read])
    assert x >= 1

