"""Large-precision sweep of the math functions for aborts and hangs.

Every real and complex member of the math-function family is called at
several large precisions over a set of varied arguments. The calls run in a
child process, one at a time, each with a timeout: a child that dies (MPFR
or MPC aborting) or overruns is recorded, replaced, and the sweep goes on.

    python scripts/sweep_mathfn.py [--precisions 2000,5000,20000] [--timeout 60]
                                   [--only NAME,...] [--jobs N]

Prints one line per abort or hang and a summary; the exit status is 1 when
any was found. Not part of the test run (it takes a while); found cases go
into tests/hostile/hostile_cases.py once avoided.
"""
import argparse
import os
import select
import subprocess
import sys
import time

# Real members taking one real argument.
REAL1 = """acos acosh ai asin asinh atan atanh cbrt cos cosh cot coth csc csch digamma eint erf erfc exp expm1
exp10 exp2 frac gamma j0 j1 li2 lngamma log log10 log1p log2 rec_sqrt rint rint_ceil rint_floor rint_round
rint_trunc round_away sec sech sin sinh sqrt tan tanh y0 y1 zeta sin_cos sinh_cosh lgamma modf frexp square
degrees radians next_above next_below check_range ceil floor trunc""".split()
# Members that also take a complex argument.
COMPLEX1 = """acos acosh asin asinh atan atanh cos cosh exp log log10 sin sinh sqrt tan tanh sin_cos square norm
phase proj polar""".split()
# Members of two real arguments.
REAL2 = "agm atan2 fmod gamma_inc hypot maxnum minnum reldiff remainder remquo next_toward".split()
# (integer, real) members.
INT_REAL = "jn yn".split()

# Arguments, as expressions evaluated in the working context (so irrational
# values carry the full precision: those reach the deep corners).
REAL_ARGS = ["sqrt(3)", "-sqrt(3)", "sqrt(2) / 7", "const_pi() / 3", "mpfr('0.5')", "mpfr(-2.75)", "exp(1) * 3",
             "mpfr(17.125)", "mpfr(-100.5)", "mpfr('1e-30')", "sqrt(5) * 1000", "mpfr(2) ** 70 + sqrt(2)",
             "-const_pi() * 12", "mpfr(1) - mpfr(2) ** -60"]
COMPLEX_ARGS = ["mpc(sqrt(3), sqrt(2))", "mpc(-1.5, 0.25)", "mpc(0, 3)", "mpc(10, -10)", "mpc('1e-20', 1)",
                "mpc(-sqrt(3), 0)", "mpc(const_pi(), -const_pi())", "mpc(100.5, 0.5)", "mpc(0.5, 1e5)",
                "mpc(-7, -sqrt(2))", "mpc(1, 0)"]
PAIRS = [("sqrt(3)", "sqrt(2)"), ("-sqrt(3)", "0.5"), ("mpfr(0.5)", "sqrt(3)"), ("sqrt(5) * 100", "-const_pi()"),
         ("mpfr(17)", "mpfr(3)"), ("mpfr('1e-30')", "mpfr(10)"), ("exp(1)", "exp(1)"), ("mpfr(-2.5)", "mpfr(1e10)"),
         ("const_pi() * 50", "sqrt(2) / 9"), ("mpfr(1000.25)", "sqrt(7)"), ("mpfr(3)", "mpfr(3) + sqrt(2) / 2**40")]
ORDERS = ["0", "1", "2", "5", "-3", "40", "-100", "1000", "7", "-1", "12"]
INT_ARGS = ["sqrt(3)", "mpfr(0.5)", "mpfr(-2.75)", "sqrt(5) * 1000", "exp(1) * 3", "mpfr(100.5)", "mpfr('1e-30')",
            "-sqrt(2)", "const_pi() * 7", "mpfr(40)", "mpfr(3)"]


def cases(only):
    out = []
    for name in REAL1:
        out += [(name, (a,)) for a in REAL_ARGS]
    for name in COMPLEX1:
        out += [(name, (a,)) for a in COMPLEX_ARGS]
    for name in REAL2:
        out += [(name, p) for p in PAIRS]
    for name in INT_REAL:
        out += [(name, (n, a)) for n in ORDERS for a in INT_ARGS[:6]]
    return [c for c in out if not only or c[0] in only]


def worker():
    """Reads "precision|name|arg|arg..." lines; answers "ok" or "error <type>" per call."""
    import vexa2
    env = {k: getattr(vexa2, k) for k in dir(vexa2) if not k.startswith("_")}
    for line in sys.stdin:
        prec, name, *args = line.rstrip("\n").split("|")
        try:
            with vexa2.context(precision=int(prec), real_prec=int(prec), imag_prec=int(prec)):
                vals = [eval(a, env) for a in args]
                getattr(vexa2, name)(*vals)
            out = "ok"
        except Exception as e:  # noqa: BLE001  (a clean exception is a valid outcome)
            out = "error " + type(e).__name__
        sys.stdout.write(out + "\n")
        sys.stdout.flush()


class Child:
    def __init__(self):
        self.p = subprocess.Popen([sys.executable, __file__, "--worker"], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, bufsize=1)

    def call(self, line, timeout):
        """("ok"|"error ..."|"abort"|"hang", detail)"""
        self.p.stdin.write(line + "\n")
        self.p.stdin.flush()
        ready, _, _ = select.select([self.p.stdout], [], [], timeout)
        if not ready:
            self.p.kill()
            self.p.wait()
            return "hang", ""
        out = self.p.stdout.readline()
        if not out:
            self.p.wait()
            err = self.p.stderr.read().strip().splitlines()
            return "abort", (err[-1] if err else "exit status %d" % self.p.returncode)
        return out.strip(), ""

    def close(self):
        if self.p.poll() is None:
            self.p.stdin.close()
            self.p.wait()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--precisions", default="2000,5000,20000")
    ap.add_argument("--timeout", type=float, default=float(os.environ.get("SWEEP_TIMEOUT", 60)))
    ap.add_argument("--only", default="")
    ap.add_argument("--worker", action="store_true")
    a = ap.parse_args()
    if a.worker:
        return worker()
    only = set(filter(None, a.only.split(",")))
    todo = cases(only)
    precs = [int(p) for p in a.precisions.split(",")]
    found, counts, start = [], {}, time.time()
    child = Child()
    for prec in precs:
        for name, args in todo:
            line = "|".join([str(prec), name, *args])
            t = time.time()
            verdict, detail = child.call(line, a.timeout)
            kind = verdict.split()[0]
            counts[kind] = counts.get(kind, 0) + 1
            if kind in ("abort", "hang"):
                found.append((prec, name, args, kind, detail))
                print("%s: precision=%d %s(%s) %s" % (kind.upper(), prec, name, ", ".join(args), detail), flush=True)
                child = Child()
            elif time.time() - t > a.timeout / 4:
                print("slow (%.1f s): precision=%d %s(%s)" % (time.time() - t, prec, name, ", ".join(args)),
                      flush=True)
    child.close()
    total = sum(counts.values())
    print("%d calls (%d cases x %d precisions) in %.0f s: %s" % (
        total, len(todo), len(precs), time.time() - start,
        ", ".join("%s %d" % kv for kv in sorted(counts.items()))))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
