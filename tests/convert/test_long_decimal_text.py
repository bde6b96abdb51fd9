"""Long decimal texts take a one-pass route; it must read exactly what the general route reads."""
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
