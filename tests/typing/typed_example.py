# Checked by mypy in CI (.ci/run): the stubs give each mixed operation the
# type the module returns. It also runs as a plain script.
from fractions import Fraction
from typing import assert_type

import vexa2
from vexa2 import mpc, mpfr, mpq, mpz

a = mpz(12)
assert_type(a + 1, mpz)
assert_type(1 + a, mpz)
assert_type(a + 0.5, mpfr)
assert_type(0.5 * a, mpfr)
assert_type(a + Fraction(1, 3), mpq)
assert_type(a / 5, mpfr)
assert_type(a // 5, mpz)
assert_type(divmod(a, 5), tuple[mpz, mpz])
assert_type(a + 1j, mpc)
assert_type(mpq(1, 3) * 3, mpq)
assert_type(mpfr("1.5", 100) + mpq(1, 2), mpfr)
assert_type(mpc(1, 2) * mpfr(2), mpc)
assert_type(a < 3, bool)
assert_type(a.bit_length(), int)
assert_type(vexa2.get_context().precision, int)
m = vexa2.xmpz(5)
m += 1
assert_type(m, vexa2.xmpz)
assert_type(m + 1, mpz)
with vexa2.context(precision=100) as ctx:
    assert_type(ctx, vexa2.context)
    x: mpfr = mpfr(1) / 3
print(int(a), float(x), complex(mpc(1, 2)), f"{a:08x}")
assert_type(mpz(10) ** 20, mpz)
assert_type(vexa2.sqrt(mpz(2)), mpfr | mpc)
assert_type(vexa2.sin(mpfr(1)), mpfr)
assert_type(vexa2.sin(mpc(1, 1)), mpc)
assert_type(vexa2.add(1, mpz(2)), mpz)
assert_type(vexa2.isqrt(10), mpz)
assert_type(mpc(1, 1).sqrt(), mpc)
assert_type(mpfr(2).arctan2(1), mpfr)
assert_type(round(mpq(7, 2)), mpz)
assert_type(round(mpfr(1.25), 1), mpfr)
assert_type(mpfr.fromhex(mpfr(3).hex()), mpfr)
# Integer arguments where the parameter's name once suggested another type.
assert_type(vexa2.gcdext(12, mpz(18)), tuple[mpz, mpz, mpz])
assert_type(vexa2.divm(1, 3, 7), mpz)
assert_type(vexa2.remove(mpz(40), 2), tuple[mpz, int])
assert_type(vexa2.is_divisible(10, 5), bool)
assert_type(mpz(10).is_divisible(5), bool)
assert_type(mpz.from_bytes(b"\x01\x00"), mpz)
assert_type(vexa2.can_round(mpfr(1), 10, 0, 0, 5), bool)
assert_type(vexa2.ieee(64, subnormalize=False), vexa2.context)
