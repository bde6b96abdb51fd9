"""Integer texts of the usual form take a one-pass route; it must read exactly what the general route reads."""
import pytest
from vexa2 import mpz, xmpz

D = "1234567890" * 150  # 1,500 digits


@pytest.mark.parametrize("text, value", [
    (D, int(D)),
    ("-" + D, -int(D)),
    ("+" + D, int(D)),
    ("  \t" + D + "\n ", int(D)),
    ("0" * 1200 + "17", 17),
    ("-" + "0" * 1500, 0),
    (b"9" * 1200, int("9" * 1200)),
    (D[:700] + "_" + D[700:], int(D)),   # grouping: the general route
    (D[:700] + " " + D[700:], int(D)),
])
@pytest.mark.parametrize("base", [0, 10])
def test_long_decimal_texts(text, value, base):
    assert mpz(text, base) == value
    assert xmpz(text, base) == value


@pytest.mark.parametrize("text, value", [
    ("0x" + "f" * 1200, 16 ** 1200 - 1),
    ("- " + D, -int(D)),
    (D + "a", None),
    ("--" + D, None),
    (" " * 1500, None),
    (D + "\0" + D, None),
    (D + "\u00e9", None),
])
def test_long_texts_of_other_forms(text, value):
    if value is None:
        with pytest.raises(ValueError):
            mpz(text)
    else:
        assert mpz(text) == value


@pytest.mark.parametrize("text, base, value", [
    # one limb and just past it
    ("f" * 16, 16, 2**64 - 1), ("1" * 64, 2, 2**64 - 1), ("1" + "0" * 64, 2, 2**64), ("z" * 11, 62, 62**11 - 1),
    ("9" * 16, 10, 10**16 - 1), ("-" + "9" * 17, 0, 1 - 10**17),
    # digit values on the stack and on the heap; letters in both cases
    ("7" * 256, 10, int("7" * 256)), ("7" * 257, 0, int("7" * 257)), ("aZ" * 200, 36, int("az" * 200, 36)),
    ("0x" + "Ab_" * 100, 0, int("ab" * 100, 16)), (b"-0o" + b"7" * 300, 8, -int("7" * 300, 8)),
    # a prefix split by grouping: the general route
    ("0_x1f", 0, 31), ("0 b11", 2, 3), ("- 0_x_ff", 16, -255), ("0\tx1f", 36, int("0x1f", 36)),
])
def test_texts_in_every_base(text, base, value):
    assert mpz(text, base) == value
    assert xmpz(text, base) == value


@pytest.mark.parametrize("text, base", [("7" * 300 + "8", 8), ("1" * 64 + "2", 2), ("0x", 16), ("0x_", 0), ("-_", 10)])
def test_invalid_texts_in_every_base(text, base):
    with pytest.raises(ValueError, match="^invalid digits(\n|$)"):
        mpz(text, base)
