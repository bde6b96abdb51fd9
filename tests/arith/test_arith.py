"""Operators and arithmetic functions on integers and rationals, dispatch
by operand class, and the operators' error texts."""
import operator
import re
from fractions import Fraction

import pytest
from hypothesis import assume, given, settings
from hypothesis import strategies as st

import vexa2
from vexa2 import context, get_context, mpc, mpfr, mpq, mpz, set_context, xmpz


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|$)")


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

# name, arity, wrong-count text, unknown-operand text; "ctx:" marks context-only methods
FUNCTIONS = [
    ("add", 2, "add() requires 2 arguments", "add() argument type not supported"),
    ("sub", 2, "sub() requires 2 arguments", "sub() argument type not supported"),
    ("mul", 2, "mul() requires 2 arguments", "mul() argument type not supported"),
    ("div", 2, "div() requires 2 arguments.", "div() argument type not supported"),
    ("floor_div", 2, "floor_div() requires 2 arguments", "floor_div() argument type not supported"),
    ("mod", 2, "mod() requires 2 arguments", "mod() argument type not supported"),
    ("ctx:divmod", 2, "div_mod() requires 2 arguments", "divmod() argument type not supported"),
    ("ctx:pow", 2, "pow() requires 2 arguments.", "pow() argument type not supported"),
    ("ctx:plus", 1, "plus() requires 1 argument.", "plus() argument type not supported"),
    ("ctx:minus", 1, "minus() requires 1 argument.", "minus() argument type not supported"),
]


@pytest.mark.parametrize("name,n,count_msg,type_msg", FUNCTIONS)
def test_function_argument_errors(name, n, count_msg, type_msg):
    owners = [context()] if name.startswith("ctx:") else [vexa2, context()]
    for owner in owners:
        f = getattr(owner, name.removeprefix("ctx:"))
        for args in ([1] * (n - 1), [1] * (n + 1)):
            with raises(TypeError, count_msg):
                f(*args)
        for args in (["a"] + [1] * (n - 1), [1] * (n - 1) + [object()]):
            with raises(TypeError, type_msg):
                f(*args)
    with raises(TypeError, "abs() argument type not supported"):
        context().abs("a")


@pytest.mark.parametrize("f,args,expected", [
    (vexa2.add, (1, 2), 3), (vexa2.sub, (1, 2), -1), (vexa2.mul, (6, 7), 42), (vexa2.floor_div, (7, 2), 3),
    (vexa2.mod, (7, 2), 1), (context().divmod, (7, -2), (-4, -1)), (context().pow, (2, 3), 8),
])
def test_functions_on_python_ints_give_mpz(f, args, expected):
    assert as_int(f(*args)) == expected


def test_context_function_uses_its_own_precision():
    set_context(context(precision=200))
    r = context(precision=10).add(mpfr(1), 2**-20)
    assert float(r) == 1.0
    r = vexa2.add(mpfr(1), 2**-20)  # the current context: 200 bits
    assert float(r) == 1.0 + 2**-20


# ---- integers against Python's int ----

small = st.integers(-(2**64), 2**64)
big = st.integers(-(2**300), 2**300)
edges = [0, 1, -1, 2, -2, 5, 2**60 - 1, -(2**60), 2**63 - 1, -(2**63), 2**64 - 1, 2**70, -(2**70) - 1]
ints = st.one_of(small, big, st.sampled_from(edges))
INT_WRAPS = [mpz, xmpz, int]
ARITH = [operator.add, operator.sub, operator.mul]
FLOOR = [operator.floordiv, operator.mod, divmod]


def as_int(r):
    if isinstance(r, tuple):
        assert all(type(v) is mpz for v in r)
        return tuple(int(v) for v in r)
    assert type(r) is mpz
    return int(r)


@settings(max_examples=300)
@given(ints, ints, st.sampled_from(INT_WRAPS), st.sampled_from(INT_WRAPS),
       st.sampled_from(ARITH + FLOOR + [operator.truediv]))
def test_integer_ops_match_int(x, y, wx, wy, op):
    assume(wx is not int or wy is not int)
    if op in FLOOR + [operator.truediv] and y == 0:
        with raises(ZeroDivisionError, "division or modulo by zero"):
            op(wx(x), wy(y))
    elif op is operator.truediv:
        r = op(wx(x), wy(y))
        assert type(r) is mpfr and float(r) == x / y  # both correctly rounded to 53 bits
    else:
        assert as_int(op(wx(x), wy(y))) == op(x, y)


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


def test_rational_division_switch():
    set_context(context(rational_division=True))
    assert same_q(mpz(1) / mpz(3), Fraction(1, 3))
    assert same_q(vexa2.div(4, 6), Fraction(2, 3))
    with raises(ZeroDivisionError, "division or modulo by zero"):
        mpz(1) / 0


# ---- rationals against Fraction ----

fracs = st.fractions(max_denominator=10**20).filter(lambda f: abs(f.numerator) < 10**40)
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


MSG_NO_MOD = "pow() 3rd argument not allowed unless all arguments are integers"


@pytest.mark.parametrize("expr,expected", [
    ("mpz(2) ** 10", 1024), ("mpz(0) ** 0", 1), ("mpz(0) ** (2**100)", 0), ("mpz(1) ** (2**64)", 1),
    ("mpz(-1) ** (2**100)", 1), ("mpz(-1) ** (2**100 + 1)", -1), ("mpz(2) ** -1", 0.5), ("2 ** mpz(-3)", 0.125),
    ("pow(mpz(3), 4, 5)", 1), ("pow(mpz(3), 4, -5)", -4), ("pow(mpz(3), -1, 7)", 5),
    ("pow(mpz(3), -1, 1)", 0), ("pow(mpz(0), 5, -1)", 0), ("pow(mpz(-2), 3, 2**70)", 2**70 - 8),
    ("mpz(3) ** 2_000_000 % (2**61 - 1)", pow(3, 2_000_000, 2**61 - 1)),  # large results still work
    ("mpq(-1) ** (2**40 + 1)", Fraction(-1)), ("mpq(1, 1) ** -(2**62)", Fraction(1)),
    ("mpz(2) ** (2**64)", (ValueError, "pow() outrageous exponent")),
    ("mpz(-3) ** (2**64)", (ValueError, "pow() outrageous exponent")),
    ("pow(mpz(2), -1, 4)", (ValueError, "pow() base not invertible")),
    ("pow(mpz(0), -1, 5)", (ValueError, "pow() base not invertible")),
    ("pow(mpz(2), 3, 0)", (ValueError, "pow() 3rd argument cannot be 0")),
    ("pow(mpz(2), 3, 2.0)", (TypeError, "pow() modulus must be an integer")),
    ("pow(mpz(2), 3, mpq(1, 2))", (TypeError, "pow() modulus must be an integer")),
    ("pow(mpq(1, 2), 2, 5)", (TypeError, MSG_NO_MOD)), ("pow(mpfr(2), 2, 5)", (TypeError, MSG_NO_MOD)),
    ("pow(mpc(2j), 2, 5)", (TypeError, MSG_NO_MOD)),
    ("mpq(0) ** -1", (ZeroDivisionError, "pow() 0 base to negative exponent")),
    ("mpq(1, 2) ** (2**63)", (ValueError, "mpq.pow() outrageous exponent")),
    ("mpq(1, 2) ** -(2**63 + 1)", (ValueError, "mpq.pow() outrageous exponent")),
    # results GMP could not hold (it would stop the process) are refused
    ("mpz(3) ** (2**40)", (MemoryError, "")), ("mpz(-2) ** (2**62)", (MemoryError, "")),
    ("mpz(10**100) ** (2**33)", (MemoryError, "")), ("mpq(3, 2) ** (2**40)", (MemoryError, "")),
    ("mpq(2, 3) ** -(2**40)", (MemoryError, "")), ("mpq(1, 2) ** (2**62)", (MemoryError, "")),
])
def test_power_cases(expr, expected):
    if isinstance(expected, tuple):
        with raises(*expected):
            eval(expr)
    elif isinstance(expected, float):
        r = eval(expr)
        assert type(r) is mpfr and float(r) == expected
    elif isinstance(expected, Fraction):
        assert same_q(eval(expr), expected)
    else:
        assert as_int(eval(expr)) == expected


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


@pytest.mark.parametrize("v", [7, -7, 0, 2**80, -(2**80), Fraction(7, 3), Fraction(-7, 3)])
def test_minus_and_abs_on_exact_values(v):
    c = context()
    exact = mpz(v) if type(v) is int else mpq(v.numerator, v.denominator)
    forms = [v, exact] + ([xmpz(v), HasMpz(v)] if type(v) is int else [])
    check = as_int if type(v) is int else (lambda r: as_fraction(r, Fraction(v)) if type(r) is mpq else None)
    for x in forms:
        assert check(c.minus(x)) == -v and check(c.abs(x)) == abs(v)
    assert (c.abs(exact) is exact) == (v >= 0)


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


class AnswersOnce:
    """Offers __mpz__ to the first look-up only, as a proxy whose target goes away would."""

    def __init__(self):
        self.asked = False

    def __getattr__(self, name):
        if name == "__mpz__" and not self.asked:
            self.asked = True
            return lambda: mpz(3)
        raise AttributeError(name)


def test_context_pow_judges_its_operands_once():
    # A second look at the operands used to find nothing and hand the
    # interpreter's NotImplemented back as the result. Conversion methods are
    # looked up on the type, so what __getattr__ offers is not one.
    with raises(TypeError, "pow() argument type not supported"):
        context().pow(AnswersOnce(), 2)


@pytest.mark.parametrize("f", [vexa2.mod, context().mod, context().divmod])
def test_remainder_docstrings_carry_the_mpfr_note(f):
    assert f.__doc__.endswith("Note: overflow, underflow, and inexact exceptions are not supported for mpfr arguments.")
