"""Arithmetic operators: one-limb and 53-bit operands, where the cost is the
call path, and large products, where it is GMP's multiplication.

The last case compares with GMP's own mpz_mul called through ctypes on the
same operands (the "python" column there is GMP itself)."""

COMMON = """
import vexa2
from fractions import Fraction
try:
    import flint
except ImportError:
    flint = None
"""

SMALL = COMMON + """
x, y = 1234567, 7654321
a, b = vexa2.mpz(x), vexa2.mpz(y)
p, q = Fraction(3, 7), Fraction(5, 11)
mp, mq = vexa2.mpq(3, 7), vexa2.mpq(5, 11)
f, g = 1.2345678901234, 9.876543210987
mf, mg = vexa2.mpfr(f), vexa2.mpfr(g)
c, d = 1.5 + 2.25j, -0.75 + 3.5j
mc, md = vexa2.mpc(c), vexa2.mpc(d)
import mpmath
pf, pg = mpmath.mpf(f), mpmath.mpf(g)
pc, pd = mpmath.mpc(c), mpmath.mpc(d)
if flint:
    fa, fb = flint.fmpz(x), flint.fmpz(y)
    fp, fq = flint.fmpq(3, 7), flint.fmpq(5, 11)
    ff, fg = flint.arf(f), flint.arf(g)  # at python-flint's default 53 bits
    fc, fd = flint.acb(c), flint.acb(d)
"""


def big(digits):
    return COMMON + f"""
x = 7 ** int({digits} / 0.8451) + 12345
y = 3 ** int({digits} / 0.4771) + 54321
a, b = vexa2.mpz(x), vexa2.mpz(y)
if flint:
    fa, fb = flint.fmpz(x), flint.fmpz(y)
"""


GMP_DIRECT = big(1_000_000) + """
import ctypes, ctypes.util
class _mpz(ctypes.Structure):
    _fields_ = [("alloc", ctypes.c_int), ("size", ctypes.c_int), ("d", ctypes.c_void_p)]
gmp = ctypes.CDLL(ctypes.util.find_library("gmp"))
ga, gb, gr = _mpz(), _mpz(), _mpz()
for z, v in ((ga, x), (gb, y)):
    gmp.__gmpz_init(ctypes.byref(z))
    gmp.__gmpz_set_str(ctypes.byref(z), hex(v)[2:].encode(), 16)
gmp.__gmpz_init(ctypes.byref(gr))
mul, pa, pb, pr = gmp.__gmpz_mul, ctypes.byref(ga), ctypes.byref(gb), ctypes.byref(gr)
"""

HIGH = COMMON + """
import mpmath
mpmath.mp.prec = 1000
vexa2.get_context().precision = 1000
x, y = vexa2.mpfr(2) ** 0.5, vexa2.mpfr(3) ** 0.5
px, py = mpmath.sqrt(2), mpmath.sqrt(3)
import decimal
decimal.getcontext().prec = 302  # the stdlib's nearest: 302 decimal digits ~ 1000 bits
dx, dy = decimal.Decimal(2).sqrt(), decimal.Decimal(3).sqrt()
"""

CASES = [
    dict(name="mpz + mpz, 1 limb", setup=SMALL, vexa2="a + b", python="x + y", flint="fa + fb",
         c="mpz_add_1limb"),
    dict(name="mpz + int, 1 limb", setup=SMALL, vexa2="a + y", python="x + y", flint="fa + y",
         c="mpz_add_1limb"),
    dict(name="mpz * mpz, 1 limb", setup=SMALL, vexa2="a * b", python="x * y", flint="fa * fb",
         c="mpz_mul_1limb"),
    dict(name="mpz // mpz, 1 limb", setup=SMALL, vexa2="b // a", python="y // x", flint="fb // fa",
         c="mpz_fdiv_q_1limb"),
    dict(name="mpq + mpq, 1 limb", setup=SMALL, vexa2="mp + mq", python="p + q", flint="fp + fq",
         c="mpq_add_1limb"),
    dict(name="mpfr + mpfr, 53 bits", setup=SMALL, vexa2="mf + mg", python="f + g", flint="ff + fg", mpmath="pf + pg",
         c="mpfr_add_53"),
    dict(name="mpfr * mpfr, 53 bits", setup=SMALL, vexa2="mf * mg", python="f * g", flint="ff * fg", mpmath="pf * pg",
         c="mpfr_mul_53"),
    dict(name="mpfr * float, 53 bits", setup=SMALL, vexa2="mf * g", python="f * g", mpmath="pf * g",
         c="mpfr_mul_d_53"),
    dict(name="mpc * mpc, 53 bits", setup=SMALL, vexa2="mc * md", python="c * d", flint="fc * fd", mpmath="pc * pd",
         c="mpc_mul_53"),
    dict(name="mpfr * mpfr, 1000 bits", setup=HIGH, vexa2="x * y", python="dx * dy", mpmath="px * py",
         c="mpfr_mul_1000"),
    dict(name="mpz * mpz, 10,000 digits", setup=big(10_000), vexa2="a * b", python="x * y", flint="fa * fb",
         c="mpz_mul_10k"),
    dict(name="mpz * mpz, 1,000,000 digits", setup=big(1_000_000), vexa2="a * b", python="x * y",
         flint="fa * fb", c="mpz_mul_1m"),
    dict(name="mpz * mpz, 1,000,000 digits (vs GMP mpz_mul)", setup=GMP_DIRECT, vexa2="a * b",
         python="mul(pr, pa, pb)", c="mpz_mul_1m"),
]
