"""Operators and arithmetic functions on integers and rationals, dispatch
by operand class, and the operators' error texts."""
import operator
import re
import threading
from fractions import Fraction

import pytest
from hypothesis import assume, given, settings
from hypothesis import strategies as st

import vexa2
from vexa2 import context, get_context, mpc, mpfr, mpq, mpz, set_context, xmpz


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + "$")


@pytest.fixture(autouse=True)
def fresh_current_context():
    saved = get_context()
    set_context(context())
    yield
    set_context(saved)


def as_fraction(q, expected):
    """The exact value of mpq q if it equals Fraction `expected`, else None
    (read through its multiple by expected's denominator)."""
    scaled = q * expected.denominator
    if float(scaled % 1) != 0.0:
        return None
    return Fraction(int(scaled), expected.denominator)


def same_q(q, f):
    f = Fraction(f)
    return type(q) is mpq and as_fraction(q, f) == f


# ---- dispatch: result types by operand class ----

SAMPLES = {
    "mpz": lambda: mpz(3), "xmpz": lambda: xmpz(3), "int": lambda: 3,
    "mpq": lambda: mpq(3, 2), "Fraction": lambda: Fraction(3, 2),
    "mpfr": lambda: mpfr(1.5), "float": lambda: 1.5,
    "mpc": lambda: mpc(1 + 2j), "complex": lambda: 1 + 2j,
}
CLASS = {"mpz": 0, "xmpz": 0, "int": 0, "mpq": 1, "Fraction": 1, "mpfr": 2, "float": 2, "mpc": 3, "complex": 3}
RESULT = [mpz, mpq, mpfr, mpc]
OWN = {"mpz", "xmpz", "mpq", "mpfr", "mpc"}
# A Fraction on the left answers for itself through the numbers ABCs.
PAIRS = [(a, b) for a in SAMPLES for b in SAMPLES if a in OWN or (b in OWN and a != "Fraction")]


@pytest.mark.parametrize("a,b", PAIRS)
@pytest.mark.parametrize("op", [operator.add, operator.sub, operator.mul, operator.truediv, operator.pow])
def test_result_type_follows_widest_class(a, b, op):
    cls = max(CLASS[a], CLASS[b])
    x, y = SAMPLES[a](), SAMPLES[b]()
    if op is operator.truediv and cls == 0:
        expected = mpfr
    elif op is operator.pow and cls == 1 and CLASS[b] == 1:
        expected = mpfr  # a rational exponent leaves the exact domain
    else:
        expected = RESULT[cls]
    assert type(op(x, y)) is expected


@pytest.mark.parametrize("a,b", PAIRS)
def test_floor_ops_result_types(a, b):
    cls = max(CLASS[a], CLASS[b])
    x, y = SAMPLES[a](), SAMPLES[b]()
    if cls == 3:
        with raises(TypeError, "can't take floor of complex number"):
            x // y
        with raises(TypeError, "can't take mod of complex number"):
            x % y
        with raises(TypeError, "can't take floor or mod of complex number."):
            divmod(x, y)
        return
    quotient, remainder = [(mpz, mpz), (mpz, mpq), (mpfr, mpfr)][cls]
    assert type(x // y) is quotient
    assert type(x % y) is remainder
    q, r = divmod(x, y)
    assert (type(q), type(r)) == (quotient, remainder)


def test_xmpz_operands_give_mpz():
    r = xmpz(2) + xmpz(3)
    assert type(r) is mpz and int(r) == 5


FOREIGN_OPS = [
    (operator.add, "__radd__"), (operator.sub, "__rsub__"), (operator.mul, "__rmul__"),
    (operator.truediv, "__rtruediv__"), (operator.floordiv, "__rfloordiv__"),
    (operator.mod, "__rmod__"), (divmod, "__rdivmod__"), (pow, "__rpow__"),
]
# A number type the module does not know, answering every reflected operator with its name.
Foreign = type("Foreign", (), {name: (lambda n: lambda *args: n)(name) for _, name in FOREIGN_OPS})


@pytest.mark.parametrize("op,reflected", FOREIGN_OPS)
@pytest.mark.parametrize("make", [mpz, xmpz, lambda v: mpq(v, 1), mpfr, lambda v: mpc(complex(v))])
def test_unknown_operand_defers_to_the_other_type(op, reflected, make):
    assert op(make(1), Foreign()) == reflected
    with pytest.raises(TypeError, match="unsupported operand"):
        op(make(1), object())
    with pytest.raises(TypeError, match="unsupported operand"):
        op(None, make(1))


def test_three_argument_pow_reaches_the_modulus_type():
    r = pow(2, 10, mpz(1000))
    assert type(r) is mpz and int(r) == 24


# ---- module functions and context methods: argument checks ----

FUNCTIONS = [
    ("add", "add() requires 2 arguments", "add() argument type not supported"),
    ("sub", "sub() requires 2 arguments", "sub() argument type not supported"),
    ("mul", "mul() requires 2 arguments", "mul() argument type not supported"),
    ("div", "div() requires 2 arguments.", "div() argument type not supported"),
    ("floor_div", "floor_div() requires 2 arguments", "floor_div() argument type not supported"),
    ("mod", "mod() requires 2 arguments", "mod() argument type not supported"),
]


@pytest.mark.parametrize("name,count_msg,type_msg", FUNCTIONS)
@pytest.mark.parametrize("where", ["module", "context"])
def test_function_argument_errors(name, count_msg, type_msg, where):
    f = getattr(vexa2 if where == "module" else context(), name)
    with raises(TypeError, count_msg):
        f(1)
    with raises(TypeError, count_msg):
        f(1, 2, 3)
    with raises(TypeError, type_msg):
        f(1, "a")
    with raises(TypeError, type_msg):
        f([], 1)


@pytest.mark.parametrize("name,count_msg,type_msg", [
    ("divmod", "div_mod() requires 2 arguments", "divmod() argument type not supported"),
    ("pow", "pow() requires 2 arguments.", "pow() argument type not supported"),
    ("plus", "plus() requires 1 argument.", "plus() argument type not supported"),
    ("minus", "minus() requires 1 argument.", "minus() argument type not supported"),
])
def test_context_only_method_errors(name, count_msg, type_msg):
    f = getattr(context(), name)
    n = 1 if name in ("plus", "minus") else 2
    with raises(TypeError, count_msg):
        f(*[1] * (n + 1))
    with raises(TypeError, type_msg):
        f(*(["a"] + [1] * (n - 1)))
    assert not hasattr(vexa2, "plus") and not hasattr(vexa2, "minus")


def test_context_abs_errors():
    with raises(TypeError, "abs() argument type not supported"):
        context().abs("a")
    with pytest.raises(TypeError):
        context().abs(1, 2)


@pytest.mark.parametrize("name,args,expected", [
    ("add", (1, 2), 3), ("sub", (1, 2), -1), ("mul", (6, 7), 42),
    ("floor_div", (7, 2), 3), ("mod", (7, 2), 1),
])
def test_module_functions_on_python_ints(name, args, expected):
    r = getattr(vexa2, name)(*args)
    assert type(r) is mpz and int(r) == expected


def test_context_divmod_and_pow_on_python_ints():
    q, r = context().divmod(7, -2)
    assert (type(q), int(q), type(r), int(r)) == (mpz, -4, mpz, -1)
    p = context().pow(2, 3)
    assert type(p) is mpz and int(p) == 8


def test_context_function_uses_its_own_precision():
    set_context(context(precision=200))
    r = context(precision=10).add(mpfr(1), 2**-20)
    assert float(r) == 1.0
    r = vexa2.add(mpfr(1), 2**-20)  # the current context: 200 bits
    assert float(r) == 1.0 + 2**-20


# ---- integers against Python's int ----

small = st.integers(-(2**64), 2**64)
big = st.integers(-(2**300), 2**300)
ints = st.one_of(small, big, st.sampled_from([0, 1, -1, 2**63 - 1, -(2**63), 2**64 - 1, 2**60, -(2**60)]))
INT_WRAPS = [mpz, xmpz, int]
ARITH = [operator.add, operator.sub, operator.mul]
FLOOR = [operator.floordiv, operator.mod, divmod]


def as_int(r):
    if isinstance(r, tuple):
        assert all(type(v) is mpz for v in r)
        return tuple(int(v) for v in r)
    assert type(r) is mpz
    return int(r)


@given(ints, ints, st.sampled_from(INT_WRAPS), st.sampled_from(INT_WRAPS), st.sampled_from(ARITH + FLOOR))
def test_integer_ops_match_int(x, y, wx, wy, op):
    assume(wx is not int or wy is not int)
    if op in FLOOR and y == 0:
        with raises(ZeroDivisionError, "division or modulo by zero"):
            op(wx(x), wy(y))
        return
    assert as_int(op(wx(x), wy(y))) == op(x, y)


@pytest.mark.parametrize("x,y", [
    (5, -(2**70)), (-(2**70), 5), (2**70, 5), (mpz(5), 2**70), (10, -(2**63)), (-3, 10), (3, 10),
    (7, -2), (-7, 2), (-7, -2), (7, -(2**70)), (-(2**70) - 1, 2**70),
])
@pytest.mark.parametrize("op", ARITH + FLOOR)
def test_integer_edges_either_side(x, y, op):
    x, y = int(x), int(y)
    for a, b in [(mpz(x), y), (x, mpz(y)), (mpz(x), mpz(y)), (xmpz(x), y), (x, xmpz(y))]:
        assert as_int(op(a, b)) == op(x, y)


@pytest.mark.parametrize("op", FLOOR)
@pytest.mark.parametrize("x,y", [(mpz(1), 0), (1, mpz(0)), (mpz(1), mpz(0)), (xmpz(1), 0),
                                 (2**80, mpz(0)), (mpz(1), False)])
def test_integer_zero_divisor(op, x, y):
    c = get_context()
    with raises(ZeroDivisionError, "division or modulo by zero"):
        op(x, y)
    assert not c.divzero


class HasMpz:
    def __init__(self, v):
        self.v = v

    def __mpz__(self):
        return mpz(self.v)


class BadMpz:
    def __mpz__(self):
        return 3  # not an mpz: refused


@pytest.mark.parametrize("op", ARITH + FLOOR)
def test_protocol_operand(op):
    assert as_int(op(mpz(17), HasMpz(-5))) == op(17, -5)
    assert as_int(op(HasMpz(17), mpz(5))) == op(17, 5)
    with raises(TypeError, "cannot convert object to mpz"):
        op(mpz(17), BadMpz())


def test_integer_true_division_is_correctly_rounded_once():
    r = mpz(1) / mpz(3)
    assert type(r) is mpfr and float(r) == 1 / 3
    set_context(context(precision=200))
    assert float(mpz(1) / 3 - Fraction(1, 3)) < 2**-200


@given(ints, ints, st.sampled_from(INT_WRAPS), st.sampled_from(INT_WRAPS))
def test_integer_true_division_matches_int(x, y, wx, wy):
    assume(wx is not int or wy is not int)
    if y == 0:
        with raises(ZeroDivisionError, "division or modulo by zero"):
            wx(x) / wy(y)
        return
    assert float(wx(x) / wy(y)) == x / y  # both correctly rounded to 53 bits


def test_rational_division_switch():
    set_context(context(rational_division=True))
    assert same_q(mpz(1) / mpz(3), Fraction(1, 3))
    assert same_q(vexa2.div(4, 6), Fraction(2, 3))
    with raises(ZeroDivisionError, "division or modulo by zero"):
        mpz(1) / 0


# ---- rationals against Fraction ----

fracs = st.fractions(max_denominator=10**20).filter(lambda f: abs(f.numerator) < 10**40)
RAT_WRAPS = [lambda f: mpq(f.numerator, f.denominator), lambda f: f]
RAT_OPS = [operator.add, operator.sub, operator.mul, operator.truediv, operator.floordiv, operator.mod, divmod]


@given(fracs, st.one_of(fracs, small), st.sampled_from(RAT_OPS), st.booleans(), st.booleans())
def test_rational_ops_match_fraction(x, y, op, plain_x, plain_y):
    qx = x if plain_x else mpq(x.numerator, x.denominator)
    qy = Fraction(y) if plain_y else mpq(Fraction(y).numerator, Fraction(y).denominator)
    if type(qx) is not mpq and type(qy) is not mpq:
        qx = mpq(x.numerator, x.denominator)
    if op in (operator.truediv, operator.floordiv, operator.mod, divmod) and y == 0:
        with raises(ZeroDivisionError, "division or modulo by zero"):
            op(qx, qy)
        return
    r, expected = op(qx, qy), op(x, Fraction(y))
    if op is divmod:
        assert type(r[0]) is mpz and int(r[0]) == expected[0]
        assert same_q(r[1], expected[1])
    elif op is operator.floordiv:
        assert type(r) is mpz and int(r) == expected
    else:
        assert same_q(r, expected)


def test_rational_floor_examples():
    assert int(mpq(7, 2) // mpq(1, 3)) == 10
    assert same_q(mpq(7, 2) % mpq(1, 3), Fraction(1, 6))
    q, r = divmod(mpq(7, 2), mpq(1, 3))
    assert int(q) == 10 and same_q(r, Fraction(1, 6))
    assert same_q(mpz(1) + mpq(1, 2), Fraction(3, 2))


# ---- integer powers ----

@given(st.integers(-(2**70), 2**70), st.integers(0, 300), st.sampled_from(INT_WRAPS), st.sampled_from(INT_WRAPS))
def test_integer_power_matches_int(x, y, wx, wy):
    assume(wx is not int or wy is not int)
    assert as_int(wx(x) ** wy(y)) == x**y


@given(st.integers(-(2**100), 2**100), st.integers(-(2**70), 2**70),
       st.integers(-(2**80), 2**80).filter(bool))
def test_modular_power_matches_int(x, y, m):
    try:
        expected = pow(x, y, m)
    except ValueError:
        with raises(ValueError, "pow() base not invertible"):
            pow(mpz(x), y, m)
        return
    assert as_int(pow(mpz(x), mpz(y), mpz(m))) == expected
    assert as_int(pow(x, y, mpz(m))) == expected


@pytest.mark.parametrize("expr,expected", [
    ("mpz(2) ** 10", 1024), ("mpz(0) ** 0", 1), ("mpz(0) ** (2**100)", 0), ("mpz(1) ** (2**64)", 1),
    ("mpz(-1) ** (2**100)", 1), ("mpz(-1) ** (2**100 + 1)", -1),
    ("pow(mpz(3), 4, 5)", 1), ("pow(mpz(3), 4, -5)", -4), ("pow(mpz(3), -1, 7)", 5),
    ("pow(mpz(3), -1, 1)", 0), ("pow(mpz(0), 5, -1)", 0), ("pow(mpz(-2), 3, 2**70)", 2**70 - 8),
])
def test_integer_power_examples(expr, expected):
    assert as_int(eval(expr)) == expected


@pytest.mark.parametrize("expr,exc,msg", [
    ("mpz(2) ** (2**64)", ValueError, "pow() outrageous exponent"),
    ("mpz(-3) ** (2**64)", ValueError, "pow() outrageous exponent"),
    ("pow(mpz(2), -1, 4)", ValueError, "pow() base not invertible"),
    ("pow(mpz(0), -1, 5)", ValueError, "pow() base not invertible"),
    ("pow(mpz(2), 3, 0)", ValueError, "pow() 3rd argument cannot be 0"),
    ("pow(mpz(2), 3, 2.0)", TypeError, "pow() modulus must be an integer"),
    ("pow(mpz(2), 3, mpq(1, 2))", TypeError, "pow() modulus must be an integer"),
    ("pow(mpq(1, 2), 2, 5)", TypeError, "pow() 3rd argument not allowed unless all arguments are integers"),
    ("pow(mpfr(2), 2, 5)", TypeError, "pow() 3rd argument not allowed unless all arguments are integers"),
    ("pow(mpc(2j), 2, 5)", TypeError, "pow() 3rd argument not allowed unless all arguments are integers"),
    ("mpq(0) ** -1", ZeroDivisionError, "pow() 0 base to negative exponent"),
    ("mpq(1, 2) ** (2**63)", ValueError, "mpq.pow() outrageous exponent"),
    ("mpq(1, 2) ** -(2**63 + 1)", ValueError, "mpq.pow() outrageous exponent"),
])
def test_power_errors(expr, exc, msg):
    with raises(exc, msg):
        eval(expr)


@pytest.mark.parametrize("expr", [
    "mpz(3) ** (2**40)", "mpz(-2) ** (2**62)", "mpz(10**100) ** (2**33)",
    "mpq(3, 2) ** (2**40)", "mpq(2, 3) ** -(2**40)", "mpq(1, 2) ** (2**62)",
])
def test_impossible_power_raises_instead_of_stopping(expr):
    with pytest.raises(MemoryError):
        eval(expr)


def test_large_powers_still_work():
    r = mpz(3) ** 2_000_000
    assert int(r).bit_length() == (3**2_000_000).bit_length()
    assert int(mpz(7) ** 100_000 % 1_000_007) == pow(7, 100_000, 1_000_007)
    assert same_q(mpq(-1) ** (2**40), 1)
    assert same_q(mpq(-1) ** (2**40 + 1), -1)
    assert same_q(mpq(1, 1) ** -(2**62), 1)


def test_negative_integer_exponent_gives_real():
    r = mpz(2) ** -1
    assert type(r) is mpfr and float(r) == 0.5
    assert float(2 ** mpz(-3)) == 0.125


@given(fracs, st.integers(-40, 40))
def test_rational_power_matches_fraction(x, y):
    if x == 0 and y < 0:
        with raises(ZeroDivisionError, "pow() 0 base to negative exponent"):
            mpq(x.numerator, x.denominator) ** y
        return
    assert same_q(mpq(x.numerator, x.denominator) ** mpz(y), x**y)


# ---- plus, minus, abs ----

def test_plus_returns_exact_operands_themselves():
    c = context(precision=10)
    z, q = mpz(5), mpq(1, 3)
    assert c.plus(z) is z and c.plus(q) is q
    assert type(c.plus(7)) is mpz and type(c.plus(xmpz(7))) is mpz
    assert same_q(c.plus(Fraction(1, 3)), Fraction(1, 3))


@pytest.mark.parametrize("v", [7, -7, 0, 2**80, -(2**80)])
def test_minus_and_abs_on_integers(v):
    c = context()
    for x in (v, mpz(v), xmpz(v), HasMpz(v)):
        assert as_int(c.minus(x)) == -v
        assert as_int(c.abs(x)) == abs(v)
    z = mpz(v)
    assert (c.abs(z) is z) == (v >= 0)


@pytest.mark.parametrize("v", [Fraction(7, 3), Fraction(-7, 3), Fraction(0)])
def test_minus_and_abs_on_rationals(v):
    c = context()
    q = mpq(v.numerator, v.denominator)
    assert same_q(c.minus(q), -v) and same_q(c.abs(q), abs(v)) and same_q(c.minus(v), -v)
    assert (c.abs(q) is q) == (v >= 0)


# ---- detaching from the interpreter ----

@pytest.mark.parametrize("op", ARITH + FLOOR + [operator.truediv, pow])
def test_results_with_release_gil(op):
    set_context(context(allow_release_gil=True, rational_division=True))
    x, y = 3**20000 + 1, -(7**9000)  # large enough to be computed detached
    for a, b in [(mpz(x), mpz(y)), (xmpz(x), mpz(y)), (mpz(x), y), (x, mpz(y))]:
        if op is pow:
            assert as_int(pow(a, 5, b)) == pow(x, 5, y)
            if not isinstance(a, int):
                assert as_int(a**3) == x**3
        elif op is operator.truediv:
            assert same_q(op(a, b), Fraction(x, y))
        else:
            assert as_int(op(a, b)) == op(x, y)
    assert same_q(mpq(x, 3) + mpq(y, 5), Fraction(x, 3) + Fraction(y, 5))


def test_threads_share_nothing_while_detached():
    errors = []

    def work(seed):
        set_context(context(allow_release_gil=True))
        a, b = mpz(3**3000 + seed), mpz(5**2000 + seed)
        for _ in range(50):
            if int(a * b // b) != 3**3000 + seed:
                errors.append(seed)

    threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []


@settings(max_examples=50)
@given(st.integers(-(2**200), 2**200), st.integers(-(2**200), 2**200))
def test_context_functions_match_operators(x, y):
    c = context()
    assert as_int(c.add(x, y)) == x + y
    assert as_int(c.sub(x, mpz(y))) == x - y
    assert as_int(c.mul(mpz(x), y)) == x * y
    if y:
        assert as_int(c.floor_div(x, y)) == x // y
        assert as_int(c.mod(x, y)) == x % y
        assert as_int(c.divmod(x, y)) == divmod(x, y)
