"""Runs every bench/bench_*.py and prints ns/op side by side.

Each bench module defines CASES: a list of dicts with
  name      -- what is measured
  setup     -- code run once (imports, operands)
  vexa2     -- the statement using vexa2
  python    -- the same work with Python's int/Fraction/float/complex
  flint     -- optional: the same with python-flint (skipped when not installed)
Ratios below 1 mean vexa2 is faster.

Usage: run.py [--md FILE] [--json FILE] [name-filter ...]
The table is printed as it is measured; --md writes it again as a Markdown
table and --json as a list of records (one per case, with the interpreter).
"""
import argparse
import importlib.util
import json
import pathlib
import platform
import sys
import sysconfig
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


def interpreter():
    gil = "free-threaded" if sysconfig.get_config_var("Py_GIL_DISABLED") else "with GIL"
    return f"{platform.python_implementation()} {platform.python_version()} ({gil})"


def markdown(rows):
    out = [f"Interpreter: {interpreter()}. Times in ns per operation; ratios below 1 mean vexa2 is faster.", "",
           "| case | vexa2 | Python | vexa2/Python | python-flint | vexa2/flint |",
           "|---|---:|---:|---:|---:|---:|"]
    for r in rows:
        if "group" in r:
            out.append(f"| **{r['group']}** | | | | | |")
            continue
        fl = f"{r['flint_ns']:.1f} | {r['vexa2_ns'] / r['flint_ns']:.3f}" if r.get("flint_ns") else " | "
        out.append(f"| {r['name']} | {r['vexa2_ns']:.1f} | {r['python_ns']:.1f} | "
                   f"{r['vexa2_ns'] / r['python_ns']:.3f} | {fl} |")
    return "\n".join(out) + "\n"


def main(argv):
    ap = argparse.ArgumentParser(description="vexa2 benchmarks")
    ap.add_argument("--md", help="write the table as Markdown to this file")
    ap.add_argument("--json", help="write the results as JSON to this file")
    ap.add_argument("only", nargs="*", help="run only bench files whose name contains one of these")
    opts = ap.parse_args(argv[1:])
    here = pathlib.Path(__file__).parent
    rows = []
    print(f"{'case':48s} {'vexa2 ns':>10s} {'python ns':>10s} {'ratio':>7s} {'flint ns':>10s} {'ratio':>7s}")
    for path in sorted(here.glob("bench_*.py")):
        if opts.only and not any(o in path.stem for o in opts.only):
            continue
        spec = importlib.util.spec_from_file_location(path.stem, path)
        mod = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(mod)
        print(f"# {path.stem}")
        rows.append({"group": path.stem})
        for case in mod.CASES:
            setup = case.get("setup", "")
            v = ns_per_op(case["vexa2"], setup)
            p = ns_per_op(case["python"], setup)
            row = {"bench": path.stem, "name": case["name"], "vexa2_ns": v, "python_ns": p}
            line = f"{case['name']:48s} {v:10.1f} {p:10.1f} {v / p:7.3f}"
            if HAVE_FLINT and case.get("flint"):
                f = ns_per_op(case["flint"], setup + "\nimport flint")
                row["flint_ns"] = f
                line += f" {f:10.1f} {v / f:7.3f}"
            rows.append(row)
            print(line, flush=True)
    if opts.md:
        pathlib.Path(opts.md).write_text(markdown(rows))
    if opts.json:
        data = {"interpreter": interpreter(), "flint": HAVE_FLINT,
                "cases": [r for r in rows if "group" not in r]}
        pathlib.Path(opts.json).write_text(json.dumps(data, indent=1) + "\n")


if __name__ == "__main__":
    main(sys.argv)
