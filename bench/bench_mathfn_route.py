"""The math-function table: sin, cos, exp, log and atan at 53, 113, 1,000 and
10,000 bits, erf, lgamma, gamma and zeta at 1,000 bits, on x = sqrt(3) - 1.

The vexa2 column computes through Arb where it settles the rounding (when
the build has Arb); the "python" column is vexa2 on MPFR alone (the route
switched off: the times before Arb); the C column is MPFR's routine called
from C, the flint column python-flint's arb method (a ball, not a rounded
number) and the mpmath column mpmath at the same precision. The complex rows
take z = (sqrt(3) - 1) + (sqrt(2) - 1)i through Arb's acb functions, the
python column through MPC.
"""


def at(fn, bits, route, number="vexa2.sqrt(3) - 1", mp_number="mpmath.sqrt(3) - 1",
       flint_number="flint.arb(3).sqrt() - 1"):
    return f"""
import mpmath
import vexa2
try:
    import flint
except ImportError:
    flint = None
try:
    vexa2._math_route({route!r})
except ValueError:  # a build without Arb
    pass
vexa2.get_context().precision = {bits}
x = {number}
f = vexa2.{fn}
mpmath.mp.prec = {bits}
mx = {mp_number}
if flint:
    flint.ctx.prec = {bits}
    fx = {flint_number}
"""


MPMATH = {"lgamma": "loggamma"}
CASES = []
for fn, precs in [(f, (53, 113, 1000, 10000)) for f in ("sin", "cos", "exp", "log", "atan")] + [
        (f, (1000,)) for f in ("erf", "lgamma", "gamma", "zeta")]:
    for bits in precs:
        CASES.append(dict(name=f"{fn}, {bits:,} bits (python: vexa2 on MPFR)", setup=at(fn, bits, "arb"),
                          python_setup=at(fn, bits, "mpfr"), vexa2="f(x)", python="f(x)", c=f"math_{fn}_{bits}",
                          flint=f"fx.{fn}()", mpmath=f"mpmath.{MPMATH.get(fn, fn)}(mx)"))

COMPLEX = dict(number="vexa2.mpc(vexa2.sqrt(3) - 1, vexa2.sqrt(2) - 1)",
               mp_number="mpmath.mpc(mpmath.sqrt(3) - 1, mpmath.sqrt(2) - 1)",
               flint_number="flint.acb(flint.arb(3).sqrt() - 1, flint.arb(2).sqrt() - 1)")
for fn in ("exp", "log", "sin", "atan"):
    for bits in (53, 1000):
        CASES.append(dict(name=f"{fn} of mpc, {bits:,} bits (python: vexa2 on MPC)",
                          setup=at(fn, bits, "arb", **COMPLEX), python_setup=at(fn, bits, "mpfr", **COMPLEX),
                          vexa2="f(x)", python="f(x)", flint=f"fx.{fn}()", mpmath=f"mpmath.{fn}(mx)"))
