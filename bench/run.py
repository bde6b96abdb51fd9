"""Runs every bench/bench_*.py and prints ns/op side by side.

Each bench module defines CASES: a list of dicts with
  name      -- what is measured
  setup     -- code run once (imports, operands)
  vexa2     -- the statement using vexa2
  python    -- the same work with Python's int/Fraction/float/complex
  python_setup -- optional: the setup of the python column, when it differs
  flint     -- optional: the same with python-flint (skipped when not installed)
  mpmath    -- optional: the same with mpmath
  c         -- optional: the key of the bare GMP/MPFR/MPC call behind the case
               in bench/ccall.c, timed in C on the same operands
Ratios below 1 mean vexa2 is faster; vexa2/C is what the Python-level call
costs over the library call it makes.

Usage: run.py [--md FILE] [--json FILE] [name-filter ...]
The table is printed as it is measured; --md writes it again as a Markdown
table and --json as a list of records (one per case, with the interpreter).
bench/ccall.c is compiled into build/bench/ with $CC (default cc); when that
fails the C column stays empty and the rest runs.
"""
import argparse
import importlib.util
import json
import os
import pathlib
import platform
import subprocess
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


def build_ccall(here):
    """Compiles bench/ccall.c; returns (path, None) or (None, why not)."""
    exe = here.parent / "build" / "bench" / "ccall"
    src = here / "ccall.c"
    cmd = [os.environ.get("CC", "cc"), "-O2", str(src), "-o", str(exe), "-lmpc", "-lmpfr", "-lgmp"]
    try:
        exe.parent.mkdir(parents=True, exist_ok=True)
        r = subprocess.run(cmd, capture_output=True, text=True)
    except OSError as e:
        return None, f"{cmd[0]}: {e}"
    if r.returncode:
        errors = [line for line in r.stderr.splitlines() if "error" in line] or r.stderr.splitlines()[-1:]
        return None, f"{' '.join(cmd)} failed (exit {r.returncode}){': ' + errors[0] if errors else ''}"
    return exe, None


def c_ns(exe, key):
    r = subprocess.run([str(exe), key], capture_output=True, text=True)
    if r.returncode:
        print(f"ccall {key}: {r.stderr.strip()}", file=sys.stderr)
        return None
    return float(r.stdout.split()[1])


def cell(x, width, digits):
    return f" {x:{width}.{digits}f}" if x else " " * (width + 1)


def ratio(v, other):
    return f"{other:.1f} | {v / other:.3f}" if other else " | "


def interpreter():
    gil = "free-threaded" if sysconfig.get_config_var("Py_GIL_DISABLED") else "with GIL"
    return f"{platform.python_implementation()} {platform.python_version()} ({gil})"


def markdown(rows, c_note):
    out = [f"Interpreter: {interpreter()}. Times in ns per operation; ratios below 1 mean vexa2 is faster.",
           "C call: the bare GMP/MPFR/MPC call on the same operands, into an existing variable (bench/ccall.c)"
           + (f"; not measured here: {c_note}." if c_note else "."), "",
           "| case | C call | vexa2 | vexa2/C | Python | vexa2/Python | python-flint | vexa2/flint"
           " | mpmath | vexa2/mpmath |",
           "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for r in rows:
        if "group" in r:
            out.append(f"| **{r['group']}** |" + " |" * 9)
            continue
        v = r["vexa2_ns"]
        c = f"{r['c_ns']:.1f} | {v:.1f} | {v / r['c_ns']:.2f}" if r.get("c_ns") else f" | {v:.1f} | "
        out.append(f"| {r['name']} | {c} | {ratio(v, r['python_ns'])} | {ratio(v, r.get('flint_ns'))} | "
                   f"{ratio(v, r.get('mpmath_ns'))} |")
    return "\n".join(out) + "\n"


def main(argv):
    ap = argparse.ArgumentParser(description="vexa2 benchmarks")
    ap.add_argument("--md", help="write the table as Markdown to this file")
    ap.add_argument("--json", help="write the results as JSON to this file")
    ap.add_argument("only", nargs="*", help="run only bench files whose name contains one of these")
    opts = ap.parse_args(argv[1:])
    here = pathlib.Path(__file__).parent
    rows = []
    exe, c_note = build_ccall(here)
    if c_note:
        print(f"The C column is left empty: {c_note}")
    heads = ("C ns", "vexa2 ns", "/C", "python ns", "ratio", "flint ns", "ratio", "mpmath ns", "ratio")
    print(f"{'case':48s}" + "".join(f" {h:>10s}" if "ns" in h else f" {h:>7s}" for h in heads))
    for path in sorted(here.glob("bench_*.py")):
        if opts.only and not any(o in path.stem for o in opts.only):
            continue
        loader_info = importlib.util.spec_from_file_location(path.stem, path)
        mod = importlib.util.module_from_spec(loader_info)
        loader_info.loader.exec_module(mod)
        print(f"# {path.stem}")
        rows.append({"group": path.stem})
        for case in mod.CASES:
            setup = case.get("setup", "")
            v = ns_per_op(case["vexa2"], setup)
            p = ns_per_op(case["python"], case.get("python_setup", setup))
            row = {"bench": path.stem, "name": case["name"], "vexa2_ns": v, "python_ns": p}
            if exe and case.get("c"):
                row["c_key"] = case["c"]
                row["c_ns"] = c_ns(exe, case["c"])
            if HAVE_FLINT and case.get("flint"):
                row["flint_ns"] = ns_per_op(case["flint"], setup + "\nimport flint")
            if case.get("mpmath"):
                row["mpmath_ns"] = ns_per_op(case["mpmath"], setup)
            rows.append(row)
            c = row.get("c_ns")
            line = f"{case['name']:48s}" + cell(c, 10, 1) + cell(v, 10, 1) + cell(c and v / c, 7, 2)
            for o in (row.get("python_ns"), row.get("flint_ns"), row.get("mpmath_ns")):
                line += cell(o, 10, 1) + cell(o and v / o, 7, 3)
            print(line, flush=True)
    if opts.md:
        pathlib.Path(opts.md).write_text(markdown(rows, c_note))
    if opts.json:
        data = {"interpreter": interpreter(), "flint": HAVE_FLINT, "c_note": c_note,
                "cases": [r for r in rows if "group" not in r]}
        pathlib.Path(opts.json).write_text(json.dumps(data, indent=1) + "\n")


if __name__ == "__main__":
    main(sys.argv)
