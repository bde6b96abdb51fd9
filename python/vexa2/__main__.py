"""python -m vexa2: the versions in use, whether the GIL is off, and a short self-check."""
import sys
import time

import vexa2
from vexa2 import mpc, mpfr, mpq, mpz


def _checks():
    # Each check: a name and a function returning True when the result is right.
    def factorial():
        n = mpz(1)
        for i in range(2, 2001):
            n *= i
        return n == vexa2.fac(2000) if hasattr(vexa2, "fac") else n.bit_length() == 19053

    def big_multiply():
        a = mpz(3) ** 200000
        return (a * a) == mpz(3) ** 400000 and int(a) == 3 ** 200000

    def rationals():
        s = sum((mpq(1, k) for k in range(1, 301)), mpq(0))
        return s.denominator % 2 == 0 and s > 6

    def reals():
        with vexa2.context(precision=2000):
            two = mpfr(2)
            r = two ** mpfr("0.5")
            return abs(r * r - 2) < mpfr(2) ** -1990

    def complex_numbers():
        z = mpc(1, 1) ** 8
        return z == 16

    def text_round_trip():
        x = mpz(7) ** 5000
        return mpz(str(x)) == x and mpz(format(x, "x"), 16) == x

    return [("factorial 2000!", factorial), ("square of 3**200000", big_multiply),
            ("harmonic sum of 300 terms", rationals), ("sqrt(2) at 2000 bits", reals),
            ("(1+1j)**8", complex_numbers), ("text round trip", text_round_trip)]


def main():
    gil = getattr(sys, "_is_gil_enabled", None)
    print(f"vexa2 {vexa2.__version__}")
    print(f"{vexa2.mp_version()}, {vexa2.mpfr_version()}, {vexa2.mpc_version()}")
    route = vexa2._math_route()
    print(f"real math functions: {'Arb where it settles the rounding, else MPFR' if route == 'arb' else 'MPFR'}")
    print(f"Python {sys.version.split()[0]} ({sys.implementation.name}), "
          f"GIL {'enabled' if gil is None or gil() else 'disabled'}")
    failed = 0
    for name, check in _checks():
        t0 = time.perf_counter()
        try:
            ok = check()
        except Exception as e:  # a failing check is reported, not raised
            ok, name = False, f"{name}: {type(e).__name__}: {e}"
        ms = (time.perf_counter() - t0) * 1000
        failed += not ok
        print(f"  {'ok  ' if ok else 'FAIL'} {ms:8.2f} ms  {name}")
    print("self-check passed" if not failed else f"self-check: {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
