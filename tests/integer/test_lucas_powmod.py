"""Lucas sequences and modular powers."""
import re
import threading

import pytest
from hypothesis import given, strategies as st

import vexa2
from vexa2 import mpz, xmpz

small = st.integers(-50, 50)
ints = st.integers(-(2**200), 2**200)


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)")


def uv(p, q, k):
    u0, u1, v0, v1 = 0, 1, 2, p
    for _ in range(k):
        u0, u1, v0, v1 = u1, p * u1 - q * u0, v1, p * v1 - q * v0
    return u0, v0


@given(small, small, st.integers(0, 300), st.integers(1, 2**80))
def test_lucas_terms_match_the_recurrence(p, q, k, n):
    if p * p == 4 * q:
        return
    u, v = uv(p, q, k)
    assert vexa2.lucasu(p, q, k) == u and vexa2.lucasv(p, q, k) == v
    assert vexa2.lucasu_mod(p, q, k, n) == u % n and vexa2.lucasv_mod(p, q, k, n) == v % n


@pytest.mark.parametrize("call, expected", [
    (lambda: vexa2.lucasu(1, -1, 10), 55), (lambda: vexa2.lucasv(1, -1, 10), 123),
    (lambda: vexa2.lucasu(3, 2, 10), 1023), (lambda: vexa2.lucasv(3, 2, 10), 1025),
    (lambda: vexa2.lucasu(2, -1, 5), 29), (lambda: vexa2.lucasv(2, -1, 5), 82),
    (lambda: vexa2.lucasu_mod(1, -1, 10, 7), 6), (lambda: vexa2.lucasv_mod(1, -1, 10, 7), 4),
    (lambda: vexa2.lucasv_mod(1, -1, 0, 1), 0), (lambda: vexa2.lucasv_mod(1, -1, 0, 2), 0),
    (lambda: vexa2.lucasu(1, -1, 0), 0), (lambda: vexa2.lucasv(1, -1, 0), 2),
    # Bounded sequences (roots of modulus 1) at huge indices; modular forms at any index.
    (lambda: vexa2.lucasu(1, 1, 2**200), uv(1, 1, 2**200 % 6)[0]),
    (lambda: vexa2.lucasv(0, 1, 2**100 + 1), 0),
    (lambda: vexa2.lucasu(xmpz(1), mpz(-1), 100), 354224848179261915075),
])
def test_lucas_values(call, expected):
    r = call()
    assert type(r) is mpz and r == expected


def test_lucas_index_periodicity_modulo_a_prime():
    # Fibonacci numbers modulo 10**9+7 repeat with the Pisano period 2*(p+1).
    n = 10**9 + 7
    k = 12345678901234567890
    assert vexa2.lucasu_mod(1, -1, k, n) == vexa2.lucasu_mod(1, -1, k % (2 * (n + 1)), n)


@pytest.mark.parametrize("call, exc, msg", [
    (lambda: vexa2.lucasu(1, -1), TypeError, "lucasu() requires 3 integer arguments"),
    (lambda: vexa2.lucasu(1, -1, 2.0), TypeError, "lucasu() requires 3 integer arguments"),
    (lambda: vexa2.lucasu(2, 1, 5), ValueError, "invalid values for p,q in lucasu()"),
    (lambda: vexa2.lucasu(1, -1, -1), ValueError, "invalid value for k in lucasu()"),
    (lambda: vexa2.lucasv(1, -1), TypeError, "lucasv() requires 3 integer arguments"),
    (lambda: vexa2.lucasv(2, 1, 5), ValueError, "invalid values for p,q in lucasv()"),
    (lambda: vexa2.lucasv(1, -1, -1), ValueError, "invalid value for k in lucasv()"),
    (lambda: vexa2.lucasu_mod(1, -1, 5), TypeError, "lucasu_mod() requires 4 integer arguments"),
    (lambda: vexa2.lucasu_mod(2, 1, 5, 7), ValueError, "invalid values for p,q in lucasu_mod()"),
    (lambda: vexa2.lucasu_mod(1, -1, -5, 7), ValueError, "invalid value for k in lucasu_mod()"),
    (lambda: vexa2.lucasu_mod(1, -1, 5, 0), ValueError, "invalid value for n in lucasu_mod()"),
    (lambda: vexa2.lucasv_mod(1, -1, 5, "7"), TypeError, "lucasv_mod() requires 4 integer arguments"),
    (lambda: vexa2.lucasv_mod(2, 1, 5, 7), ValueError, "invalid values for p,q in lucasv_mod()"),
    (lambda: vexa2.lucasv_mod(1, -1, -5, 7), ValueError, "invalid value for k in lucasv_mod()"),
    (lambda: vexa2.lucasv_mod(1, -1, 5, -7), ValueError, "invalid value for n in lucasv_mod()"),
])
def test_lucas_errors(call, exc, msg):
    with raises(exc, msg):
        call()


@pytest.mark.parametrize("p, q, k", [(1, -1, 2**62), (1, -1, 2**70), (3, 2, 10**15), (1, 2**40, 2**40),
                                     (10**30, 1, 10**9)])
def test_lucas_terms_that_cannot_exist_are_refused(p, q, k):
    for f in (vexa2.lucasu, vexa2.lucasv):
        with pytest.raises(MemoryError):
            f(p, q, k)


# ---- powers ----

class NotIterable:
    """A sequence by its item slot that refuses iteration."""
    __iter__ = None

    def __getitem__(self, i):
        return 1


@given(ints, st.integers(-(2**100), 2**100), ints.filter(bool))
def test_powmod_matches_pow(x, y, m):
    try:
        expected = pow(x, y, m)
    except ValueError:
        with raises(ValueError, "pow() base not invertible"):
            vexa2.powmod(x, y, m)
    else:
        assert vexa2.powmod(x, y, m) == expected


@given(ints, st.integers(1, 2**100), ints.filter(lambda m: m % 2))
def test_powmod_sec_matches_pow(x, y, m):
    assert vexa2.powmod_sec(x, y, m) == pow(x, y, abs(m))


@given(st.lists(ints, max_size=5), st.integers(-50, 50), st.integers(1, 2**70))
def test_list_forms_match_pow(xs, e, m):
    try:
        expected = [pow(x, e, m) for x in xs]
    except ValueError:
        with raises(ValueError, "powmod_base_list() base not invertible"):
            vexa2.powmod_base_list(xs, e, m)
    else:
        assert vexa2.powmod_base_list(xs, e, m) == expected
    base = xs[0] if xs else 3
    try:
        expected = [pow(base, y, m) for y in xs]
    except ValueError:
        with raises(ValueError, "powmod_exp_list() base not invertible"):
            vexa2.powmod_exp_list(base, xs, m)
    else:
        assert vexa2.powmod_exp_list(base, xs, m) == expected


def test_list_forms_leave_their_items_alone():
    bases = [mpz(2), mpz(3), xmpz(4)]
    r = vexa2.powmod_base_list(bases, 2, 5)
    assert r == [4, 4, 1] and all(type(z) is mpz for z in r)
    assert bases == [2, 3, 4] and not any(a is b for a, b in zip(r, bases))
    exps = (mpz(1), 2, mpz(3))
    assert vexa2.powmod_exp_list(2, exps, 5) == [2, 4, 3] and exps == (1, 2, 3)


def test_list_items_changing_the_list_while_converted():
    class Shrinks:
        def __mpz__(self):
            bases.clear()
            return mpz(3)

    bases = [Shrinks(), 2, 5]
    assert vexa2.powmod_base_list(bases, 2, 7) == [2, 4, 4] and bases == []


@pytest.mark.thread_unsafe(reason="starts its own threads")
def test_list_forms_from_threads():
    m = 2**521 - 1
    bases = list(range(2, 60))
    expected = [pow(b, m - 2, m) for b in bases]
    out = []
    threads = [threading.Thread(target=lambda: out.append(vexa2.powmod_base_list(bases, m - 2, m)))
               for _ in range(3)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert out == [expected] * 3


@pytest.mark.parametrize("call, expected", [
    (lambda: vexa2.powmod(2, 10, 1000), 24), (lambda: vexa2.powmod(3, 4, -5), -4),
    (lambda: vexa2.powmod(3, -1, 7), 5), (lambda: vexa2.powmod_sec(3, 5, 7), 5),
    (lambda: vexa2.powmod_sec(-3, 5, -7), 2), (lambda: vexa2.powmod_base_list([], 2, 5), []),
    (lambda: vexa2.powmod_base_list([2, 0], -1, 1), [0, 0]), (lambda: vexa2.powmod_exp_list(0, [-1, 2], 1), [0, 0]),
    (lambda: vexa2.powmod_exp_list(3, [-1, 0, 2], 7), [5, 1, 2]),
])
def test_power_values(call, expected):
    assert call() == expected


@pytest.mark.parametrize("call, exc, msg", [
    (lambda: vexa2.powmod(2, 10), TypeError, "powmod() requires 3 arguments."),
    (lambda: vexa2.powmod(2, 10, 1.5), TypeError, "powmod() argument types not supported"),
    (lambda: vexa2.powmod(2, 10, 0), ValueError, "pow() 3rd argument cannot be 0"),
    (lambda: vexa2.powmod(2, -1, 4), ValueError, "pow() base not invertible"),
    (lambda: vexa2.powmod_sec(2, 10), TypeError, "powmod_sec() requires 3 arguments."),
    (lambda: vexa2.powmod_sec(2.0, 10, 7), TypeError, "powmod_sec() base must be an integer."),
    (lambda: vexa2.powmod_sec(2, "10", 7), TypeError, "powmod_sec() exponent must be an integer."),
    (lambda: vexa2.powmod_sec(2, 0, 7), ValueError, "powmod_sec() exponent must be > 0."),
    (lambda: vexa2.powmod_sec(2, 1, 7.0), TypeError, "powmod_sec() modulus must be an integer."),
    (lambda: vexa2.powmod_sec(2, 10, 1000), ValueError, "powmod_sec() modulus must be odd."),
    (lambda: vexa2.powmod_sec(2, 10, 0), ValueError, "powmod_sec() modulus must be odd."),
    (lambda: vexa2.powmod_base_list([2]), TypeError, "powmod_base_list requires 3 arguments"),
    (lambda: vexa2.powmod_base_list(5, 2, 7), TypeError, "the first argument to powmod_base_list must be a sequence"),
    (lambda: vexa2.powmod_base_list([2], 2.0, 7), TypeError, "powmod_base_list() requires integer arguments"),
    (lambda: vexa2.powmod_base_list([2], 2, 0), ValueError, "powmod_base_list() 'mod' must be > 0"),
    (lambda: vexa2.powmod_base_list([2, 1.5], 2, 5), TypeError, "all items in iterable must be integers"),
    (lambda: vexa2.powmod_base_list(NotIterable(), 2, 5), TypeError, "argument must be an iterable"),
    (lambda: vexa2.powmod_base_list([3, 2], -1, 4), ValueError, "powmod_base_list() base not invertible"),
    (lambda: vexa2.powmod_exp_list(2, [1]), TypeError, "powmod_exp_list requires 3 arguments"),
    (lambda: vexa2.powmod_exp_list(2, 5, 7), TypeError, "the second argument to powmod_exp_list must be a sequence"),
    (lambda: vexa2.powmod_exp_list(2, [1], 7.5), TypeError, "powmod_exp_list() requires integer arguments"),
    (lambda: vexa2.powmod_exp_list(2, [1], -7), ValueError, "powmod_exp_list() 'mod' must be > 0"),
    (lambda: vexa2.powmod_exp_list(2, ["1"], 7), TypeError, "all items in iterable must be integers"),
    (lambda: vexa2.powmod_exp_list(2, [1, -1], 4), ValueError, "powmod_exp_list() base not invertible"),
])
def test_power_errors(call, exc, msg):
    with raises(exc, msg):
        call()
