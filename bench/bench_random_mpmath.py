"""Random bits and mpmath's normalisation: vexa2 against the standard
library's generator and mpmath's pure-Python normalize."""
CASES = [
    dict(name="mpz_urandomb(state, 10**6)",
         setup="import random, vexa2\ns = vexa2.random_state(1)\nr = random.Random(1)",
         vexa2="vexa2.mpz_urandomb(s, 10**6)", python="r.getrandbits(10**6)"),
]

try:
    import mpmath.libmp.libmpf  # noqa: F401
except ImportError:  # the comparison needs mpmath
    pass
else:
    SETUP = ("import random, vexa2\n"
             "from mpmath.libmp.libmpf import _normalize\n"
             "man = random.Random(5).getrandbits(1000) | (1 << 999)\n"
             "m = vexa2.mpz(man)")
    CASES.append(dict(name="_mpmath_normalize, 1000-bit mantissa to 53", setup=SETUP,
                      vexa2="vexa2._mpmath_normalize(0, m, -7, 1000, 53, 'n')",
                      python="_normalize(0, man, -7, 1000, 53, 'n')"))
