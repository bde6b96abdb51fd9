"""Number theory: primality of a 2048-bit prime, modular powers, gcd, next_prime.

Where Python has no counterpart, the "python" column is GMP itself, called
through ctypes on the same value (mpz_probab_prime_p with 25 repetitions,
mpz_nextprime): the ratio is then the cost of the module's call path and,
for is_bpsw_prp, of its own Lucas test against GMP's whole test (which does
one more Miller-Rabin round than BPSW). python-flint's is_probable_prime is
also a BPSW test."""

COMMON = """
import math, vexa2, ctypes, ctypes.util
try:
    import flint
except ImportError:
    flint = None

class _mpz(ctypes.Structure):
    _fields_ = [("alloc", ctypes.c_int), ("size", ctypes.c_int), ("d", ctypes.c_void_p)]
gmp = ctypes.CDLL(ctypes.util.find_library("gmp"))
def gmp_value(v):
    z = _mpz()
    gmp.__gmpz_init(ctypes.byref(z))
    gmp.__gmpz_set_str(ctypes.byref(z), hex(v)[2:].encode(), 16)
    return z
"""

PRIME = COMMON + """
p = int(vexa2.next_prime(2**2047 + 12345))
mp = vexa2.mpz(p)
gp = gmp_value(p)
probab_prime, pgp = gmp.__gmpz_probab_prime_p, ctypes.byref(gp)
if flint:
    fp = flint.fmpz(p)
"""

POWMOD = COMMON + """
x, y, m = 7**730 + 1, 3**1290 + 5, 2**2048 - 159
a, b, n = vexa2.mpz(x), vexa2.mpz(y), vexa2.mpz(m)
if flint:
    fa, fb, fn = flint.fmpz(x), flint.fmpz(y), flint.fmpz(m)
"""

GCD = COMMON + """
x = 7 ** int(10000 / 0.8451) * 3 + 1
y = 3 ** int(10000 / 0.4771) * 7 + 1
a, b = vexa2.mpz(x), vexa2.mpz(y)
if flint:
    fa, fb = flint.fmpz(x), flint.fmpz(y)
"""

NEXT = COMMON + """
x = 10**100
a = vexa2.mpz(x)
gx, gr = gmp_value(x), gmp_value(0)
nextprime, pgx, pgr = gmp.__gmpz_nextprime, ctypes.byref(gx), ctypes.byref(gr)
"""

CASES = [
    dict(name="is_prime, 2048-bit prime (python: GMP's C)", setup=PRIME, vexa2="vexa2.is_prime(mp)",
         python="probab_prime(pgp, 25)", flint="fp.is_probable_prime()"),
    dict(name="is_bpsw_prp, 2048-bit prime (python: GMP's C)", setup=PRIME, vexa2="vexa2.is_bpsw_prp(mp)",
         python="probab_prime(pgp, 25)", flint="fp.is_probable_prime()"),
    dict(name="is_strong_bpsw_prp, 2048-bit prime", setup=PRIME, vexa2="vexa2.is_strong_bpsw_prp(mp)",
         python="probab_prime(pgp, 25)", flint="fp.is_probable_prime()"),
    dict(name="powmod, 2048 bits", setup=POWMOD, vexa2="vexa2.powmod(a, b, n)", python="pow(x, y, m)",
         flint="pow(fa, fb, fn)"),
    dict(name="gcd, 10,000 digits", setup=GCD, vexa2="vexa2.gcd(a, b)", python="math.gcd(x, y)",
         flint="fa.gcd(fb)"),
    dict(name="next_prime(10**100) (python: GMP's C)", setup=NEXT, vexa2="vexa2.next_prime(a)",
         python="nextprime(pgr, pgx)"),
]
