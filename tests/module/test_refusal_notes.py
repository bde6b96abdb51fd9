# A refused argument type keeps its message and gains a note naming the
# type(s) given.
from fractions import Fraction

import pytest

import vexa2
from vexa2 import context, mpfr, mpz

CASES = [
    (lambda: vexa2.sqrt("2"), "sqrt() argument type not supported", "got str"),
    (lambda: vexa2.sin([]), "sin() argument type not supported", "got list"),
    (lambda: vexa2.cbrt(1j), "cbrt() argument type not supported", "got complex"),
    (lambda: context().exp(None), "exp() argument type not supported", "got NoneType"),
    (lambda: vexa2.atan2("1", 2), "atan2() argument type not supported", "got str, int"),
    (lambda: vexa2.fma(1, 2, "3"), "fma() argument type not supported", "got int, int, str"),
    (lambda: vexa2.is_nan(b"x"), "is_nan() argument type not supported", "got bytes"),
    (lambda: mpfr(1).is_integer() and vexa2.is_integer(1j), "is_integer() argument type not supported", "got complex"),
    (lambda: vexa2.powmod(2, 3.0, 5), "powmod() argument types not supported", "got int, float, int"),
    (lambda: vexa2.f2q(1, "x"), "f2q() argument types not supported", "got int, str"),
    (lambda: vexa2.cmp(1, 1j), "cmp() requires integer, rational, or real arguments", "got int, complex"),
    (lambda: vexa2.get_exp(mpz(1)), "get_exp() requires 'mpfr' argument", "got mpz"),
    (lambda: vexa2.from_binary("x"), "from_binary() requires bytes argument", "got str"),
    (lambda: vexa2.to_binary(Fraction(1, 2)), "to_binary() argument type not supported", "got Fraction"),
    (lambda: context().pow("a", 2), "pow() argument type not supported", "got str, int"),
]


@pytest.mark.parametrize("call, message, note", CASES, ids=[c[1].split("(")[0] for c in CASES])
def test_refusal_names_the_type(call, message, note):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
    assert info.value.__notes__ == [note]


def test_counts_carry_no_note():
    with pytest.raises(TypeError) as info:
        vexa2.atan2(1)
    assert str(info.value) == "atan2() requires 2 arguments"
    assert not hasattr(info.value, "__notes__")
