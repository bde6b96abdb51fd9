"""python -m vexa2: the versions in use, whether the GIL is off, and a short self-check."""
import os
import re
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


# The native libraries the extension may load: the start of the file name
# (a wheel's copies add "-" and 8 hex digits before ".so"), and where the
# version of that very copy is read: a function, a pointer to the text or the
# text itself.
_LIBRARIES = {"libgmp": ("GMP", "__gmp_version", "pointer"),
              "libmpfr": ("MPFR", "mpfr_get_version", "function"),
              "libmpc": ("MPC", "mpc_get_version", "function"),
              "libflint": ("FLINT", "flint_version", "text"),
              "libflint-arb": ("Arb", "arb_version", "pointer")}
_LIB_FILE = re.compile(r"(libgmp|libmpfr|libmpc|libflint|libflint-arb)(-[0-9a-f]{8})?\.so(\..*)?")


def _library_version(path, symbol, kind):
    import ctypes  # only here: importing vexa2 itself stays light
    try:
        lib = ctypes.CDLL(path)  # the copy already loaded: the same handle
        if kind == "function":
            fn = getattr(lib, symbol)
            fn.restype = ctypes.c_char_p
            return fn().decode()
        if kind == "pointer":
            return ctypes.c_char_p.in_dll(lib, symbol).value.decode()
        return ctypes.string_at(ctypes.addressof(ctypes.c_char.in_dll(lib, symbol))).decode()
    except (OSError, AttributeError, ValueError, UnicodeDecodeError):
        return "(version unknown)"


def loaded_libraries():
    """The copies of GMP, MPFR, MPC (and FLINT/Arb) this process has loaded.

    A list of (name, path, version), read from /proc/self/maps; None where
    the process's mappings cannot be read (systems other than Linux).
    """
    try:
        with open("/proc/self/maps") as f:
            paths = {parts[5].strip() for parts in (line.split(None, 5) for line in f) if len(parts) == 6}
    except OSError:
        return None
    found = []
    for path in sorted(paths):
        m = _LIB_FILE.fullmatch(os.path.basename(path))
        if m:
            name, symbol, kind = _LIBRARIES[m.group(1)]
            found.append((name, path, _library_version(path, symbol, kind)))
    return found


def main():
    gil = getattr(sys, "_is_gil_enabled", None)
    print(f"vexa2 {vexa2.__version__}")
    print(f"{vexa2.mp_version()}, {vexa2.mpfr_version()}, {vexa2.mpc_version()}")
    route = vexa2._math_route()
    print(f"math functions: {'Arb where it settles the rounding, else MPFR and MPC' if route == 'arb' else 'MPFR and MPC'}")
    print(f"Python {sys.version.split()[0]} ({sys.implementation.name}), "
          f"GIL {'enabled' if gil is None or gil() else 'disabled'}")
    libs = loaded_libraries()
    if libs is None:
        print("loaded libraries: not known on this system (no /proc/self/maps)")
    for name, path, version in libs or ():
        print(f"  {name} {version}: {path}")
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
