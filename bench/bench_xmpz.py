"""The mutable integer: changes in place against Python's int, which makes
a new object for every result, and against the immutable mpz.

In the second case the "python" column is mpz's own `z += 1` (a new mpz
each time); in the bit cases it is the int expression that builds the
same value."""

SETUP = """
import vexa2
x, z, n = vexa2.xmpz(0), vexa2.mpz(0), 0
big = (1 << 10_000) - 12345
xb, nb = vexa2.xmpz(big), big
i, m = 5_000, 1 << 5_000
"""

CASES = [
    {"name": "x += 1: xmpz vs int", "setup": SETUP, "vexa2": "x += 1", "python": "n += 1"},
    {"name": "x += 1: xmpz vs mpz (python column = mpz)", "setup": SETUP, "vexa2": "x += 1", "python": "z += 1"},
    {"name": "10,000 bits: x[i] = 1 vs x | (1 << i)", "setup": SETUP, "vexa2": "xb[i] = 1",
     "python": "nb | (1 << i)"},
    {"name": "10,000 bits: x[i] = 1; x[i] = 0 vs | and &~", "setup": SETUP, "vexa2": "xb[i] = 1; xb[i] = 0",
     "python": "nb = nb | m; nb = nb & ~m"},
]
