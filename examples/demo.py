"""A short tour of vexa2."""
import threading
from fractions import Fraction

import vexa2
from vexa2 import context, get_context, mpc, mpfr, mpq, mpz, xmpz

print("vexa2", vexa2.version(), "|", vexa2.mp_version(), "|", vexa2.mpfr_version(), "|", vexa2.mpc_version())
print()

print("Numbers built from text and printed:")
for x in (mpz("0x_ff_ff"), mpz("-123456789012345678901234567890"), xmpz("0b1011"),
          mpq("3/6"), mpq("1.25e3"), mpfr("1.5e-10"), mpfr("0.1", 100), mpc("1+2j"), mpc("(3 -4)")):
    print(f"  {x!r:45} str: {x}")
print()

print("Mixed arithmetic:")
print("  mpz(3) + 1.5            =", repr(mpz(3) + 1.5))
print("  mpz(2) ** 100           =", mpz(2) ** 100)
print("  mpq(1, 3) + Fraction(1, 6) =", repr(mpq(1, 3) + Fraction(1, 6)))
print("  mpfr(2) ** 0.5          =", mpfr(2) ** 0.5)
print("  mpc(1, 2) * 1j          =", mpc(1, 2) * 1j)
print("  pow(mpz(3), -1, 7)      =", pow(mpz(3), -1, 7))
print("  mpz(7) == 7.0, hash(mpq(1, 2)) == hash(0.5):", mpz(7) == 7.0, hash(mpq(1, 2)) == hash(0.5))
print()

print("Contexts:")
with context(precision=200) as c:
    print("  1/3 at 200 bits:", mpfr(1) / 3)
    print("  inexact flag raised inside the block:", c.inexact)
print("  outside, precision is back to", get_context().precision)
try:
    with context(trap_inexact=True):
        mpfr(1) / 3
except vexa2.InexactResultError as e:
    print("  a trapped inexact division raises InexactResultError:", e)
try:
    with context(trap_divzero=True):
        mpfr(1) / 0
except vexa2.DivisionByZeroError as e:
    print("  and a trapped division by zero:", e)

seen = []
t = threading.Thread(target=lambda: seen.append(get_context().precision))
with context(precision=300):
    t.start()
    t.join()
print("  a new thread starts with its own default context, precision", seen[0])
print()
print("A fresh context prints as:")
print(context())
