"""mpfr rounding and decompositions against float, and pi at a million bits
against MPFR's own C call and mpmath (caches freed on every call)."""
CASES = []

SMALL = "import math, vexa2\nx = 2.675\nm = vexa2.mpfr(x)"
CASES += [
    dict(name="round(mpfr)", setup=SMALL, vexa2="round(m)", python="round(x)"),
    dict(name="round(mpfr, 2)", setup=SMALL, vexa2="round(m, 2)", python="round(x, 2)"),
    dict(name="math.floor(mpfr)", setup=SMALL, vexa2="math.floor(m)", python="math.floor(x)"),
    dict(name="mpfr.as_integer_ratio()", setup=SMALL, vexa2="m.as_integer_ratio()", python="x.as_integer_ratio()"),
    dict(name="mpfr.is_integer()", setup=SMALL, vexa2="m.is_integer()", python="x.is_integer()"),
]

# The C call through ctypes: an mpfr_t of the same precision, then MPFR's cache freed.
PI = """
import ctypes, vexa2, mpmath
lib = ctypes.CDLL('libmpfr.so.6')
buf = ctypes.create_string_buffer(64)
lib.mpfr_init2(buf, ctypes.c_long(10**6))
def c_pi():
    lib.mpfr_const_pi(buf, 0)
    lib.mpfr_free_cache()
def vx_pi():
    vexa2.const_pi(10**6)
    vexa2.free_cache()
pi_uncached = next(c.cell_contents for c in mpmath.libmp.libelefun.pi_fixed.__closure__
                   if callable(c.cell_contents))
def mpmath_pi():
    return pi_uncached(10**6)
"""
CASES += [
    dict(name="const_pi(10**6) vs MPFR C call", setup=PI, vexa2="vx_pi()", python="c_pi()"),
    dict(name="const_pi(10**6) vs mpmath (python col.)", setup=PI, vexa2="vx_pi()", python="mpmath_pi()"),
]
