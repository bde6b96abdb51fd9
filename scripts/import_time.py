"""The cost of `import vexa2` against `import decimal`, each in a fresh interpreter.

Usage: python scripts/import_time.py [RUNS]   (default 15; minima over the runs)
Both are measured in the same run, alternately, by `python -X importtime`
(the cumulative time of the top-level module), so the ratio holds on a busy
machine where the absolute times do not.
"""
import subprocess
import sys
import tempfile


def import_us(module, cwd):
    err = subprocess.run([sys.executable, "-X", "importtime", "-c", f"import {module}"],
                         cwd=cwd, capture_output=True, text=True, check=True).stderr
    for line in reversed(err.splitlines()):
        parts = [p.strip() for p in line.split("|")]
        if len(parts) == 3 and parts[2] == module:
            return int(parts[1])
    raise RuntimeError(f"no import time reported for {module}")


def main(runs=15):
    best = {"vexa2": float("inf"), "decimal": float("inf")}
    with tempfile.TemporaryDirectory() as cwd:  # never the source tree's package
        for _ in range(runs):
            for m in best:
                best[m] = min(best[m], import_us(m, cwd))
    v, d = best["vexa2"] / 1000, best["decimal"] / 1000
    print(f"import vexa2: {v:.2f} ms, import decimal: {d:.2f} ms, ratio {v / d:.2f} "
          f"(minima of {runs} runs, Python {sys.version.split()[0]})")


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 15)
