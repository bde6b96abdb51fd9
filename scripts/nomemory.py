"""Allocation failures injected into every public operation.

Each operation (the same introspected set as scripts/leaks.py, plus
constructors, iterators and pickling) runs with the N-th Python allocation
failing, for N over the whole range the operation allocates: first with that
one allocation failing, then with every allocation from the N-th on failing.
Each run must raise MemoryError or end as it ends without the failure (same
result or same exception class); afterwards the operation must give its
usual result again, and repeating a failing run must not grow the allocated
block count (a reference or buffer lost on an error path). GMP, MPFR and MPC
allocate with malloc and are not reached by the hook.

The hook is CPython's _testcapi.set_nomemory; where _testcapi is missing the
script says so and exits 0. The work runs in a child process so that a crash
is reported with the operation and failure point, and the rest goes on.

    python scripts/nomemory.py            every operation
    python scripts/nomemory.py --subset   a representative subset (CI)
    python scripts/nomemory.py NAME...    operations whose names contain NAME
"""
import gc
import os
import pickle
import subprocess
import sys
import sysconfig
import time
import warnings
from decimal import Decimal
from fractions import Fraction

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

MAX_POINTS = 3000      # failure points per operation and mode at most
# Operations that reach CPython code which itself crashes when every
# allocation from some point on fails; they run with single failures only.
#   PyContextVar_Set releases a NULL token when making the token and storing
#   the value both fail (Python/context.c); the warnings module's
#   setup_context reads a frame it failed to get (Python/_warnings.c).
CPYTHON_CRASHES_WHEN_ALL_FAIL = ("local_context(", "context with", "context local", "ctor context(kw)")
# Findings that are not vexa2's, shown but not counted (operation prefix: reason).
KNOWN = {
    "get_include(": "the growth is inside os.path and the import system; the function holds every reference in Ref",
    "str/repr/format": "SystemError from the interpreter's eval loop in the caller's frame; not reproduced outside the sweep",
    "ctor mpfr(Decimal)": "SystemError from the interpreter's eval loop in the caller's frame; not reproduced outside the sweep",
}
LEAK_REPEATS = 4       # a failing run repeated this often must not grow the block count
LEAK_ROUNDS = 3        # a growth counts only when every round shows it


def extra_operations():
    import vexa2
    from vexa2 import context, mpc, mpfr, mpq, mpz, xmpz
    x = mpz(3) ** 200
    xx = xmpz(x)
    # Operands are made here: the decimal module itself does not survive every failing allocation.
    dec, dec2, small_dec, third = Decimal("12345678901234567890.5"), Decimal("1.1"), Decimal("1.25e-30"), Fraction(1, 3)
    return {
        "ctor mpz(str, 0)": lambda: mpz("0x" + "f" * 80, 0),
        "ctor mpz(float)": lambda: mpz(1.5e300),
        "ctor mpz(Decimal)": lambda: mpz(dec),
        "ctor mpq(str)": lambda: mpq("123456789012345678901234567890/98765432109876543210"),
        "ctor mpq(float)": lambda: mpq(0.1),
        "ctor mpq(Decimal)": lambda: mpq(small_dec),
        "ctor mpq(int, int)": lambda: mpq(10 ** 40, 6),
        "ctor mpfr(Fraction)": lambda: mpfr(third, 200),
        "ctor mpfr(Decimal)": lambda: mpfr(dec2, 100),
        "ctor mpfr(str, base)": lambda: mpfr("1.0p-5", 80, 16),
        "ctor mpc(str)": lambda: mpc("1.5-2.5j"),
        "ctor mpc(real, imag)": lambda: mpc(mpfr(1), third),
        "ctor xmpz(str)": lambda: xmpz("123456789" * 5),
        "ctor context(kw)": lambda: context(precision=100, round=vexa2.RoundUp, trap_inexact=True),
        "context copy/repr": lambda: repr(context(precision=77).copy()),
        "context local": lambda: _local(context, mpfr),
        "bit iterators": lambda: (list(xx.iter_bits()), list(xx.iter_set(3)), list(xx.iter_clear(0, 90))),
        "xmpz slice": lambda: _xmpz_slices(xmpz),
        "pickle mpz/mpq/mpfr/mpc": lambda: [pickle.loads(pickle.dumps(v)) for v in
                                            (x, mpq(2, 3), mpfr("1.5", 90), mpc(1, 2), xmpz(5))],
        "random": lambda: (vexa2.mpz_urandomb(vexa2.random_state(5), 300),
                           vexa2.mpfr_random(vexa2.random_state(7))),
        "int/float/complex/round": lambda: (int(x), float(mpq(1, 3)), complex(mpc(1, 2)), round(mpq(7, 3)),
                                            round(mpfr("2.567"), 2)),
        "format": lambda: (format(x, "_x"), format(mpq(1, 3), ""), format(mpfr(1) / 3, ".40g"),
                           format(mpc(1, 2) / 3, ".5f")),
    }


def _local(context, mpfr):
    with context(precision=150) as c:
        return mpfr(1) / 7, c.precision


def _xmpz_slices(xmpz):
    v = xmpz(2 ** 300)
    v[10:20] = 1
    return v[3:200], v[::3]


def all_operations(wanted):
    import leaks
    ops = leaks.operations(wanted)
    ops += [(name, fn, ()) for name, fn in extra_operations().items() if wanted(name)]
    return ops


def child(argv):
    import _testcapi
    from _testcapi import remove_mem_hooks, set_nomemory
    import leaks
    warnings.simplefilter("ignore")
    subset = argv[:1] == ["--subset"]
    if subset:
        wanted = lambda name: any(name.startswith(s) or s in name for s in leaks.SUBSET + ("ctor", "bit it"))
    elif argv:
        wanted = lambda name: any(a in name for a in argv)
    else:
        wanted = lambda name: True
    skip = int(os.environ.get("VEXA2_NOMEMORY_SKIP", "0"))

    def outcome(fn, args, start=None, stop=0):
        err = None
        if start is not None:
            set_nomemory(start, stop)
        try:
            value = fn(*args)
        except BaseException as e:  # noqa: BLE001
            value, err = None, e
        finally:
            if start is not None:
                remove_mem_hooks()
        if err is not None:
            # Without its traceback (which holds this frame) the error is no cycle to wait for.
            err.__traceback__ = None
            err = (type(err), str(err))
        return value, err

    def shown(value):
        try:
            return repr(value)
        except Exception as e:  # noqa: BLE001
            return "<%s>" % type(e).__name__

    faults = []
    tried = 0
    for index, (name, fn, args) in enumerate(all_operations(wanted)):
        if index < skip:
            continue
        print("OP %d %s" % (index, name), file=sys.stderr, flush=True)
        value, base_err = outcome(fn, args)
        base = shown(value) if base_err is None else base_err[0]
        stable = shown(outcome(fn, args)[0]) == base if base_err is None else True
        # The allocation count: the least N for which failing every allocation from N on lets the operation end.
        modes = ("one",) if name.startswith(CPYTHON_CRASHES_WHEN_ALL_FAIL) else ("one", "all")
        n = 1
        while "all" in modes and n < MAX_POINTS and outcome(fn, args, n)[1] is not None:
            n *= 2
        lo, hi = n // 2, min(n, MAX_POINTS)
        while "all" in modes and lo < hi:
            mid = (lo + hi) // 2
            if outcome(fn, args, mid)[1] is None:
                hi = mid
            else:
                lo = mid + 1
        if "all" not in modes:   # the count from single failures: the first point at which nothing fails
            hi = 0
            while hi < MAX_POINTS and outcome(fn, args, hi, hi + 1)[1] is not None:
                hi += 1
            while hi < MAX_POINTS and any(outcome(fn, args, k, k + 1)[1] is not None for k in range(hi, hi + 20)):
                hi += 20
        points = hi + 2
        for mode in modes:
            for point in range(points):
                stop = point + 1 if mode == "one" else 0
                print("AT %s %d" % (mode, point), file=sys.stderr, flush=True)
                tried += 1
                value, err = outcome(fn, args, point, stop)
                bad = None
                if err is not None and err[0] is not MemoryError:
                    if base_err is None or err[0] is not base_err[0]:
                        bad = "raised %s: %s" % (err[0].__name__, err[1])
                elif err is None and base_err is None and stable and shown(value) != base:
                    bad = "different result %s" % shown(value)[:80]
                del value
                again, again_err = outcome(fn, args)
                if bad is None and stable and (shown(again) if again_err is None else again_err[0]) != base:
                    bad = "the next call gives %s" % (shown(again)[:80] if again_err is None else again_err)
                del again
                if bad is None and err is not None:
                    err = None
                    # A leak grows the count in every round; a cache or free
                    # list the interpreter fills now and then does not, so a
                    # growth is measured again before it counts.
                    for _ in range(LEAK_ROUNDS):
                        outcome(fn, args, point, stop)
                        before = sys.getallocatedblocks()
                        for _ in range(LEAK_REPEATS):
                            outcome(fn, args, point, stop)
                        growth = sys.getallocatedblocks() - before - 1     # less the block of `before`
                        if growth < LEAK_REPEATS:
                            break
                    if growth >= LEAK_REPEATS:
                        bad = "%d blocks more after %d failing runs" % (growth, LEAK_REPEATS)
                if bad:
                    faults.append("%s [fail %s N=%d]: %s" % (name, mode, point, bad))
                    print("FAULT " + faults[-1], flush=True)
        gc.collect()
    print("DONE %d %d" % (tried, len(faults)), flush=True)
    return 0


def main(argv):
    try:
        import _testcapi
        _testcapi.set_nomemory
    except (ImportError, AttributeError):
        print("nomemory: this interpreter has no _testcapi.set_nomemory; skipped")
        return 0
    if sysconfig.get_config_var("Py_GIL_DISABLED"):
        # Its PyList_New frees a reused list's old item array again when the new
        # one cannot be allocated (tests/module/test_nomemory.py shows how).
        print("nomemory: the free-threaded interpreter corrupts its heap when a list's item array "
              "cannot be allocated; skipped")
        return 0
    t0 = time.monotonic()
    skip, tried, faults, ops = 0, 0, [], 0
    while True:
        env = dict(os.environ, VEXA2_NOMEMORY_SKIP=str(skip))
        p = subprocess.run([sys.executable, __file__, "--child"] + argv, env=env, capture_output=True, text=True)
        lines = p.stdout.splitlines()
        faults += [l[6:] for l in lines if l.startswith("FAULT ")]
        done = [l for l in lines if l.startswith("DONE ")]
        progress = [l for l in p.stderr.splitlines() if l.startswith(("OP ", "AT "))]
        last_op = [l for l in progress if l.startswith("OP ")]
        if done:
            tried += int(done[0].split()[1])
            ops = int(last_op[-1].split()[1]) + 1 if last_op else skip
            break
        if not last_op:
            print(p.stderr)
            return 2
        where = progress[-1]
        index, name = last_op[-1][3:].split(" ", 1)
        faults.append("%s [%s]: the process ended with status %d" % (name, where[3:], p.returncode))
        print("FAULT " + faults[-1], flush=True)
        tried += sum(1 for l in progress if l.startswith("AT "))
        skip = int(index) + 1
    known = [f for f in faults if f.startswith(tuple(KNOWN))]
    faults = [f for f in faults if f not in known]
    print("nomemory: %d operations, %d runs with failing allocations, %d faults (%d known, not vexa2's), %.0f s"
          % (ops, tried, len(faults), len(known), time.monotonic() - t0))
    for f in faults:
        print("  " + f)
    for f in known:
        print("  known: %s (%s)" % (f, next(r for k, r in KNOWN.items() if f.startswith(k))))
    return 1 if faults else 0


if __name__ == "__main__":
    if sys.argv[1:2] == ["--child"]:
        sys.exit(child(sys.argv[2:]))
    sys.exit(main(sys.argv[1:]))
