"""Classification of foreign operands: by type, with the answer kept per type."""
import operator
from fractions import Fraction

import pytest

import vexa2
from vexa2 import mpc, mpfr, mpq, mpz

Named = type("Fraction", (), {"__init__": lambda s, n, d: s.__dict__.update(numerator=n, denominator=d)})


SelfPart = type("Fraction", (), {"numerator": property(lambda s: s), "denominator": property(lambda s: s)})


class Raising:
    def __getattr__(self, name):
        raise RuntimeError(name)


class Offers:
    """Offers every conversion method through __getattr__ only."""

    def __getattr__(self, name):
        if name.startswith("__mp"):
            return lambda: mpz(1)
        raise AttributeError(name)


class SubFraction(Fraction):
    pass


SameName = type("Fraction", (Fraction,), {})


@pytest.mark.parametrize("other", [None, "a", Named(1.5, 2), Named(1, None), SelfPart(), Raising(), Offers()],
                         ids=["None", "str", "named-float", "named-none", "self-part", "raising", "offers"])
def test_unknown_operands(other):
    x = mpz(1)
    assert (x == other) is False and (x != other) is True
    with pytest.raises(TypeError, match="unsupported operand"):
        x + other
    with pytest.raises(TypeError, match="^add\\(\\) argument type not supported\\ngot mpz, "):
        vexa2.add(x, other)


@pytest.mark.parametrize("value, expect", [
    (Fraction(1, 2), mpq(3, 2)), (SameName(1, 2), mpq(3, 2)), (Named(1, 2), mpq(3, 2)),
    (Named(mpz(1), mpz(2)), mpq(3, 2)), (Fraction(mpz(1), mpz(2)), mpq(3, 2)),
])
def test_fractions(value, expect):
    assert mpz(1) + value == expect and vexa2.sign(value) == 1


def test_fraction_subclass_of_another_name_is_unknown():
    with pytest.raises(TypeError, match="^add\\(\\) argument type not supported\\ngot mpz, "):
        vexa2.add(mpz(1), SubFraction(1, 2))


@pytest.mark.parametrize("exc", [KeyboardInterrupt, SystemExit, MemoryError, RecursionError])
@pytest.mark.parametrize("name, op", [
    ("__mpz__", lambda o: mpz(1) + o), ("__mpq__", lambda o: mpq(1, 2) + o),
    ("__mpfr__", lambda o: mpfr(1) < o), ("__mpc__", lambda o: mpc(1) * o),
    ("__mpq__", lambda o: mpq(o, 1)), ("__mpq__", mpq),
    # integer arguments of the integer functions
    ("__mpz__", vexa2.isqrt), ("__mpz__", lambda o: vexa2.gcd(2, o)), ("__mpz__", vexa2.popcount),
    ("__mpz__", lambda o: vexa2.lucasu(o, 1, 5)), ("__mpz__", lambda o: mpz(1).is_congruent(o, 3)),
])
def test_errors_not_about_conversion_propagate(exc, name, op):
    def method(self):
        raise exc("inside")

    T = type("T", (), {name: method})
    with pytest.raises(exc, match="inside"):
        op(T())


def test_other_errors_in_a_method_mean_cannot_convert():
    T = type("T", (), {"__mpq__": lambda self: 1 / 0})
    with pytest.raises(TypeError, match="^cannot convert object to mpq$"):
        mpq(1, 2) + T()


def test_a_changed_type_is_judged_again():
    class T:
        pass

    t = T()
    assert (mpz(1) == t) is False
    T.__mpz__ = lambda self: mpz(1)
    assert mpz(1) == t and mpz(2) + t == 3
    del T.__mpz__
    with pytest.raises(TypeError):
        mpz(1) + t
    t.__mpz__ = lambda: mpz(1)  # on the instance: not a conversion method
    with pytest.raises(TypeError):
        mpz(1) + t


class Probed:
    """Counts every attribute its instances are asked for through __getattr__."""

    asked = 0

    def __getattr__(self, name):
        Probed.asked += 1
        raise AttributeError(name)


@pytest.mark.parametrize("fn", ["square", "sqrt", "exp", "sign", "is_nan", "qdiv", "f2q", "cmp"])
def test_functions_judge_by_type_never_by_instance_getattr(fn):
    Probed.asked = 0
    args = (Probed(), 1) if fn == "cmp" else (Probed(),)
    with pytest.raises(TypeError):
        getattr(vexa2, fn)(*args)
    assert Probed.asked == 0


Decimal = type("Decimal", (), {})  # a user class, only named alike
NamedOnly = type("Fraction", (), {})


@pytest.mark.parametrize("op", [operator.eq, operator.ne, operator.lt])
@pytest.mark.parametrize("x", [mpz(1), mpq(1, 2), mpfr(1)])
def test_a_class_named_decimal_is_not_decimal(op, x):
    if op is operator.lt:
        with pytest.raises(TypeError, match="not supported"):
            op(x, Decimal())
    else:
        assert op(x, Decimal()) is (op is operator.ne)


@pytest.mark.parametrize("make", [mpz, vexa2.xmpz, mpq, mpfr, mpc])
def test_constructors_take_real_fractions_only(make):
    with pytest.raises(TypeError, match="requires numeric or string argument|cannot convert"):
        make(NamedOnly())
    assert make(SubFraction(7, 2)) == make(Fraction(7, 2)) == make(SameName(7, 2))


class _ProbeRaises:
    def __init__(self, exc):
        self.exc = exc

    @property
    def __mpz__(self):
        raise self.exc("x")  # a new instance: threads running this test at once share no exception


class _ProbeWider(_ProbeRaises):
    def __mpz__(self):  # noqa: F811  (a plain method below a failing __mpfr__ property)
        return vexa2.mpz(7)

    @property
    def __mpfr__(self):
        raise RuntimeError("no mpfr")


@pytest.mark.parametrize("exc, raised", [(RuntimeError, None), (AttributeError, None),
                                         (KeyboardInterrupt, KeyboardInterrupt), (MemoryError, MemoryError)])
def test_a_failing_probe_counts_as_absent(exc, raised):
    obj = _ProbeRaises(exc)
    if raised is None:
        with pytest.raises(TypeError, match="^digits\\(\\) argument type not supported(\\n|\\Z)"):
            vexa2.digits(obj)
        assert vexa2.mpz(1).__add__(obj) is NotImplemented
    else:
        with pytest.raises(raised):
            vexa2.digits(obj)


def test_the_widest_working_probe_decides():
    assert vexa2.digits(_ProbeWider(None)) == "7" and vexa2.mpz(1) + _ProbeWider(None) == 8
