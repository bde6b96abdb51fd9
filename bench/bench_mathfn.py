"""Math functions: sin, exp and log at 53, 1,000 and 100,000 bits, and the
square root of a 10**6-bit value.

At 53 bits the "python" column is Python's math (a reference only: MPFR
rounds correctly, math does not promise to); above it is mpmath at the
same precision, and the flint column is python-flint's arb. The cases
marked "vs MPFR" time MPFR's own routine called through ctypes on the
same operand (the "python" column is MPFR itself, ctypes' call included).
"""

COMMON = """
import math, ctypes, ctypes.util
import mpmath
import vexa2
try:
    import flint
except ImportError:
    flint = None

class _mpfr(ctypes.Structure):
    _fields_ = [("prec", ctypes.c_long), ("sign", ctypes.c_int), ("exp", ctypes.c_long), ("d", ctypes.c_void_p)]
lib = ctypes.CDLL(ctypes.util.find_library("mpfr"))

def direct(prec):
    x, r = _mpfr(), _mpfr()
    for v in (x, r):
        lib.mpfr_init2(ctypes.byref(v), ctypes.c_long(prec))
    lib.mpfr_set_ui(ctypes.byref(x), ctypes.c_ulong(3), 0)
    lib.mpfr_sqrt(ctypes.byref(x), ctypes.byref(x), 0)
    return ctypes.byref(r), ctypes.byref(x)
"""


def at(bits):
    return COMMON + f"""
P = {bits}
vexa2.get_context().precision = P
x = vexa2.sqrt(3) if P > 53 else vexa2.mpfr(0.7)
f = 0.7
mpmath.mp.prec = P
mx = mpmath.sqrt(3)
if flint:
    flint.ctx.prec = P
    fx = flint.arb(3).sqrt()
pr, px = direct(P)
if P == 53:
    lib.mpfr_set_d(px, ctypes.c_double(0.7), 0)
sin, exp, log, sqrt = vexa2.sin, vexa2.exp, vexa2.log, vexa2.sqrt
c_sin, c_exp, c_log, c_sqrt = lib.mpfr_sin, lib.mpfr_exp, lib.mpfr_log, lib.mpfr_sqrt
"""


CASES = []
for fn in ("sin", "exp", "log"):
    CASES.append(dict(name=f"{fn}, 53 bits (vs math)", setup=at(53), vexa2=f"{fn}(x)", python=f"math.{fn}(f)"))
    CASES.append(dict(name=f"{fn}, 53 bits (vs MPFR)", setup=at(53), vexa2=f"{fn}(x)", python=f"c_{fn}(pr, px, 0)"))
    for bits in (1000, 100_000):
        CASES.append(dict(name=f"{fn}, {bits:,} bits (vs mpmath)", setup=at(bits), vexa2=f"{fn}(x)",
                          python=f"mpmath.{fn}(mx)", flint=f"fx.{fn}()"))
        CASES.append(dict(name=f"{fn}, {bits:,} bits (vs MPFR)", setup=at(bits), vexa2=f"{fn}(x)",
                          python=f"c_{fn}(pr, px, 0)"))
CASES += [
    dict(name="sqrt, 10**6 bits (vs mpmath)", setup=at(1_000_000), vexa2="sqrt(x)", python="mpmath.sqrt(mx)",
         flint="fx.sqrt()"),
    dict(name="sqrt, 10**6 bits (vs MPFR)", setup=at(1_000_000), vexa2="sqrt(x)", python="c_sqrt(pr, px, 0)"),
]
