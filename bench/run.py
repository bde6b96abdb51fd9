"""Runs every bench/bench_*.py and prints ns/op side by side.

Each bench module defines CASES: a list of dicts with
  name      -- what is measured
  setup     -- code run once (imports, operands)
  vexa2     -- the statement using vexa2
  python    -- the same work with Python's int/Fraction/float/complex
  flint     -- optional: the same with python-flint (skipped when not installed)
  mpmath    -- optional: the same with mpmath
Ratios below 1 mean vexa2 is faster.
"""
import importlib.util
import pathlib
import sys
import timeit

try:
    import flint  # noqa: F401
    HAVE_FLINT = True
except ImportError:
    HAVE_FLINT = False


def ns_per_op(stmt, setup):
    t = timeit.Timer(stmt, setup)
    n, _ = t.autorange()
    best = min(t.repeat(repeat=5, number=n))
    return best / n * 1e9


def main(argv):
    here = pathlib.Path(__file__).parent
    only = argv[1:] or None
    print(f"{'case':48s} {'vexa2 ns':>10s} {'python ns':>10s} {'ratio':>7s} {'flint ns':>10s} {'ratio':>7s}"
          f" {'mpmath ns':>10s} {'ratio':>7s}")
    for path in sorted(here.glob("bench_*.py")):
        if only and not any(o in path.stem for o in only):
            continue
        spec = importlib.util.spec_from_file_location(path.stem, path)
        mod = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(mod)
        print(f"# {path.stem}")
        for case in mod.CASES:
            setup = case.get("setup", "")
            v = ns_per_op(case["vexa2"], setup)
            p = ns_per_op(case["python"], setup)
            line = f"{case['name']:48s} {v:10.1f} {p:10.1f} {v / p:7.3f}"
            if HAVE_FLINT and case.get("flint"):
                f = ns_per_op(case["flint"], setup + "\nimport flint")
                line += f" {f:10.1f} {v / f:7.3f}"
            elif case.get("mpmath"):
                line += f" {'':10s} {'':7s}"
            if case.get("mpmath"):
                m = ns_per_op(case["mpmath"], setup)
                line += f" {m:10.1f} {v / m:7.3f}"
            print(line, flush=True)


if __name__ == "__main__":
    main(sys.argv)
