"""The allocation guard: sizes GMP or MPFR cannot hold are refused before
they are asked for, with a MemoryError that says what was asked for."""
import re

import pytest

import vexa2
from vexa2 import mpfr, mpq, mpz, xmpz

CASES = [
    (lambda: mpz(1) << 2**40, "an mpz of 1099511627777 bits"),
    (lambda: mpz(1) << (2**40 - 1), "an mpz of 2**40 bits"),
    (lambda: xmpz(1).bit_set(2**62), "an mpz of 4611686018427387905 bits"),
    (lambda: xmpz(5).limbs_write(2**62), "an mpz of at least 2**64 bits"),
    (lambda: mpfr(1, 2**40), "an mpfr of 2**40 bits"),
    (lambda: vexa2.fac(2**40), "an mpz of 42394205138525 bits"),
    (lambda: round(mpq(1, 3), 2**40), "an mpq of 3665038759255 bits"),
]


@pytest.mark.parametrize("call, message", CASES)
def test_refused_sizes_name_the_request(call, message):
    with pytest.raises(MemoryError, match=f"^{re.escape('cannot allocate ' + message)}$"):
        call()
