"""Leak check: each public operation, raising ones included, many times over.

For every operation the allocated-block count (sys.getallocatedblocks) and
the resident memory are taken after a warm-up and again after the loop; a
growth beyond BLOCK_BOUND blocks or RSS_BOUND bytes is a leak. Module
functions and methods are found by introspection and called with the first
argument form that they accept (or, failing all, with one they refuse), so
functions added later join the check without a change here.

    python scripts/leaks.py            every operation
    python scripts/leaks.py --subset   a representative subset (CI)
    python scripts/leaks.py NAME...    operations whose names contain NAME
"""
import gc
import os
import sys
import time
import warnings
from fractions import Fraction

import vexa2
from vexa2 import context, mpc, mpfr, mpq, mpz, xmpz

BLOCK_BOUND = 100           # allocated blocks an operation may add over its whole loop
RSS_BOUND = 4 << 20         # bytes of resident memory likewise
ITERATIONS = 20000
TIME_PER_OP = 1.0           # seconds: slow operations run fewer times (never below MIN_ITERATIONS)
MIN_ITERATIONS = 300
RETRIES = 2                 # extra passes for an operation over a bound

X = mpz(3) ** 1500          # operands large enough that a lost limb buffer shows in RSS
Y = mpz(7) ** 900 + 1
M = mpz(2) ** 2203 - 1
Q = mpq(X, Y)
F = mpfr(X, 600) / Y     # floating operands stay moderate: some functions slow down sharply with precision
G = mpfr("2.5", 600)
C = mpc(F, G)
SMALL = 300

# Argument forms tried in order; the first that an operation accepts is used.
FORMS = [(), (F,), (F, G), (C,), (Q,), (Q, Q), (X,), (X, Y), (X, SMALL), (SMALL,), (SMALL, 7), (X, Y, M),
         (SMALL, 7, 11), ([X, Y],), ([X, Y], 40), (X, [Y, M], M)]
SKIP = {"set_context", "license", "free_cache"}     # change process state or print


def rss():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def _pick(fn, forms):
    """The first form that fn accepts, or the first it refuses cleanly."""
    refused = None
    for args in forms:
        try:
            t0 = time.perf_counter()
            fn(*args)
            if time.perf_counter() - t0 < 0.05:
                return args
        except (TypeError, ValueError, ArithmeticError, AttributeError, MemoryError) as e:
            if refused is None and not isinstance(e, AttributeError):
                refused = args
    return refused


def _in_context():
    with context(precision=200):
        return mpfr(1) / 3


def _xmpz_in_place():
    x = xmpz(X)
    x += Y
    x *= 3
    x <<= 5
    x[3] = 1
    return x


def operations(wanted=lambda name: True):
    """(name, callable, args) for every public operation whose name is wanted."""
    ops = []
    for name in sorted(dir(vexa2)):
        obj = getattr(vexa2, name)
        if name.startswith("_") or name in SKIP or isinstance(obj, type) or not callable(obj) or not wanted(name + "("):
            continue
        args = _pick(obj, FORMS)
        if args is not None:
            ops.append((name + str(tuple(type(a).__name__ for a in args)), obj, args))
    for inst in (X, xmpz(X), Q, F, C, context(precision=300)):
        for name in sorted(dir(inst)):
            if name.startswith("__") or name in ("__format__",):
                continue
            meth = getattr(inst, name)
            if not callable(meth) or isinstance(meth, type) or not wanted("%s.%s(" % (type(inst).__name__, name)):
                continue
            args = _pick(meth, FORMS)
            if args is not None:
                ops.append(("%s.%s%s" % (type(inst).__name__, name, tuple(type(a).__name__ for a in args)), meth, args))
    # Operators, conversions, texts and constructors, and operations that raise.
    def raising(fn, *args):
        def call():
            try:
                fn(*args)
            except Exception:  # noqa: BLE001
                pass
        return call
    extra = {
        "mpz + - * // % ** <<": lambda: (X + Y, X - Y, X * Y, X // Y, X % Y, pow(X, 3, M), X << 100, X >> 7),
        "mpq + - * /": lambda: (Q + Q, Q - 1, Q * Q, Q / 3),
        "mpfr + - * / **": lambda: (F + G, F - G, F * G, F / G, F ** 3),
        "mpc + - * / **": lambda: (C + C, C - G, C * C, C / C, C ** 2),
        "mixed int/float/Fraction": lambda: (X + 5, 5 - X, F + 1.5, Q + Fraction(1, 3), C * 2j, X == 5, F < 2),
        "hash": lambda: (hash(X), hash(Q), hash(F), hash(C)),
        "str/repr/format": lambda: (str(X), repr(Q), str(F), repr(C), format(X, ",x"), format(F, ".30e"),
                                    format(C, ".10f")),
        "digits": lambda: (X.digits(16), F.digits(10, 50), C.digits()),
        "int/float/complex": lambda: (int(X), float(F), complex(C), int(Q), float(Q)),
        "ctor from str": lambda: (mpz(str(X)), mpq("12345678901234567890/7"), mpfr("1.5e300", 4000),
                                  mpc("(1.5 -2.5)", 4000)),
        "ctor from int/float/Fraction": lambda: (mpz(10 ** 400), mpq(Fraction(10 ** 200, 7)), mpfr(1.5), mpc(1 + 2j)),
        "xmpz in place": _xmpz_in_place,
        "context with": _in_context,
        "raise: bad text": raising(mpz, "12x"),
        "raise: bad base": raising(mpz, "12", 99),
        "raise: division by zero": raising(lambda: X // 0),
        "raise: mpq zero denominator": raising(mpq, 1, 0),
        "raise: wrong type": raising(lambda: X + "a"),
        "raise: huge shift": raising(lambda: X << 2 ** 64),
        "raise: huge precision": raising(mpfr, 1, 2 ** 62),
        "raise: bad format": raising(format, F, "Q"),
        "raise: negative sqrt": raising(vexa2.isqrt, -X),
        "raise: __index__ raising": raising(vexa2.fac, type("I", (), {"__index__": lambda s: 1 / 0})()),
        "raise: trapped inexact": raising(lambda: context(trap_inexact=True).div(mpfr(1), 3)),
        "raise: bad context keyword": raising(lambda: context(nonsense=1)),
    }
    ops += [(name, fn, ()) for name, fn in extra.items() if wanted(name)]
    return ops


SUBSET = ("mpz + - *", "mpq +", "mpfr +", "mpc +", "mixed", "hash", "str/repr", "ctor", "xmpz in place",
          "context with", "raise:", "gcd(", "powmod(", "isqrt(", "fac(", "fib(", "comb(", "next_prime(",
          "mpz.bit_", "mpz.to_bytes", "mpfr.as_integer_ratio", "mpc.conjugate", "pack(", "unpack(", "digits",
          "is_prime(", "lucas(", "sqrt(", "exp(", "log(", "sin(", "from_binary", "to_binary")


def _call(fn, args):
    try:
        fn(*args)
    except (TypeError, ValueError, ArithmeticError, MemoryError):
        pass


def measure(fn, args, n):
    for _ in range(min(200, n)):
        _call(fn, args)
    gc.collect()
    b0, r0 = sys.getallocatedblocks(), rss()
    for _ in range(n):
        _call(fn, args)
    gc.collect()
    return sys.getallocatedblocks() - b0, rss() - r0


def main(argv):
    warnings.simplefilter("ignore", DeprecationWarning)
    if argv[:1] == ["--subset"]:
        ops = operations(lambda name: any(name.startswith(s) or s in name for s in SUBSET))
    elif argv:
        ops = operations(lambda name: any(a in name for a in argv))
    else:
        ops = operations()
    worst_blocks = worst_rss = 0
    worst_name = "-"
    leaks = []
    t_start = time.monotonic()
    for name, fn, args in ops:
        t0 = time.perf_counter()
        _call(fn, args)
        each = max(time.perf_counter() - t0, 1e-7)
        n = max(MIN_ITERATIONS, min(ITERATIONS, int(TIME_PER_OP / each)))
        blocks, grown = measure(fn, args, n)
        # Caches and free lists filling up can add a burst of blocks once; a
        # leak adds them on every pass, so a pass over a bound is measured
        # again and only a growth that repeats counts.
        for _ in range(RETRIES):
            if blocks <= BLOCK_BOUND and grown <= RSS_BOUND:
                break
            again = measure(fn, args, n)
            blocks, grown = min(blocks, again[0]), min(grown, again[1])
        if blocks > worst_blocks:
            worst_blocks, worst_name = blocks, name
        worst_rss = max(worst_rss, grown)
        if blocks > BLOCK_BOUND or grown > RSS_BOUND:
            leaks.append(name)
            print("LEAK %-50s %6d runs: %+d blocks, %+d KiB resident" % (name, n, blocks, grown >> 10), flush=True)
    print("leaks: %d operations in %.0f s; worst growth %+d blocks (%s), %+d KiB resident (bounds %d blocks, %d KiB)"
          % (len(ops), time.monotonic() - t_start, worst_blocks, worst_name, worst_rss >> 10, BLOCK_BOUND,
             RSS_BOUND >> 10))
    print("%d passed, %d failed" % (len(ops) - len(leaks), len(leaks)))
    return 1 if leaks else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
