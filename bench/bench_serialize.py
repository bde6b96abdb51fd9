"""Pickling and the binary form against Python's int and Fraction; limit_denominator against Fraction."""
SETUP = """
import pickle, vexa2, fractions, random, sys
sys.set_int_max_str_digits(0)
x = int('7' * 10_000)
z = vexa2.mpz(x)
pz, px = pickle.dumps(z), pickle.dumps(x)
f = fractions.Fraction(3**500, 7**300)
q = vexa2.mpq(f)
pq, pf = pickle.dumps(q), pickle.dumps(f)
big = 3**630_000                   # about 10**6 bits
bz = vexa2.mpz(big)
bb = vexa2.to_binary(bz)
ib = big.to_bytes((big.bit_length() + 7) // 8, 'little')
r = vexa2.mpfr(big, 10**6)
rb = vexa2.to_binary(r)
lq, lf = vexa2.mpq(3**200, 2**310), fractions.Fraction(3**200, 2**310)
"""

CASES = [
    dict(name="pickle.dumps, 10,000-digit mpz vs int", setup=SETUP, vexa2="pickle.dumps(z)", python="pickle.dumps(x)"),
    dict(name="pickle.loads, 10,000-digit mpz vs int", setup=SETUP, vexa2="pickle.loads(pz)", python="pickle.loads(px)"),
    dict(name="pickle.dumps, mpq vs Fraction", setup=SETUP, vexa2="pickle.dumps(q)", python="pickle.dumps(f)"),
    dict(name="pickle.loads, mpq vs Fraction", setup=SETUP, vexa2="pickle.loads(pq)", python="pickle.loads(pf)"),
    dict(name="to_binary, 10**6-bit mpz vs int.to_bytes", setup=SETUP, vexa2="vexa2.to_binary(bz)",
         python="big.to_bytes((big.bit_length() + 7) // 8, 'little')"),
    dict(name="from_binary, 10**6-bit mpz vs int.from_bytes", setup=SETUP, vexa2="vexa2.from_binary(bb)",
         python="int.from_bytes(ib, 'little')"),
    dict(name="to_binary, 10**6-bit mpfr vs int.to_bytes", setup=SETUP, vexa2="vexa2.to_binary(r)",
         python="big.to_bytes((big.bit_length() + 7) // 8, 'little')"),
    dict(name="from_binary, 10**6-bit mpfr vs int.from_bytes", setup=SETUP, vexa2="vexa2.from_binary(rb)",
         python="int.from_bytes(ib, 'little')"),
    dict(name="limit_denominator(10**6) vs Fraction", setup=SETUP, vexa2="lq.limit_denominator(10**6)",
         python="lf.limit_denominator(10**6)"),
    dict(name="limit_denominator(10**40) vs Fraction", setup=SETUP, vexa2="lq.limit_denominator(10**40)",
         python="lf.limit_denominator(10**40)"),
]
