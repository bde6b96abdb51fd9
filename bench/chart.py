"""Draws the ratios of a run.py --json file: vexa2/Python and vexa2/python-flint
per case on a log axis, with a line at 1 (left of it vexa2 is faster).

Usage: chart.py [results.json [out.png]]   (defaults: bench/results.json, bench/results.png)
Skipped with a message when matplotlib is not installed.
"""
import json
import pathlib
import sys

here = pathlib.Path(__file__).parent


def main(argv):
    src = pathlib.Path(argv[1]) if len(argv) > 1 else here / "results.json"
    out = pathlib.Path(argv[2]) if len(argv) > 2 else here / "results.png"
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        from matplotlib.ticker import FuncFormatter, LogLocator
    except ImportError:
        print("chart.py: matplotlib is not installed; no chart drawn (pip install matplotlib)")
        return
    data = json.loads(src.read_text())
    cases = data["cases"]
    ys = range(len(cases))
    fig, ax = plt.subplots(figsize=(9, 1.2 + 0.16 * len(cases)))
    ax.scatter([c["vexa2_ns"] / c["python_ns"] for c in cases], ys, s=14, marker="o",
               label="vexa2 / Python (or the baseline a case names)")
    flint = [(c["vexa2_ns"] / c["flint_ns"], y) for c, y in zip(cases, ys) if c.get("flint_ns")]
    if flint:
        ax.scatter(*zip(*flint), s=18, marker="x", label="vexa2 / python-flint")
    ax.axvline(1, color="black", linewidth=0.8)
    for y in ys[1:]:  # a faint line between the bench files
        if cases[y]["bench"] != cases[y - 1]["bench"]:
            ax.axhline(y - 0.5, color="grey", linewidth=0.4)
    ax.set_xscale("log")
    ax.xaxis.set_major_locator(LogLocator(subs=(1, 2, 5)))
    ax.xaxis.set_major_formatter(FuncFormatter(lambda v, _: f"{v:g}"))
    ax.set_yticks(list(ys), [c["name"] for c in cases], fontsize=6)
    ax.set_ylim(len(cases) - 0.5, -0.5)
    ax.grid(axis="x", which="major", linewidth=0.3)
    ax.set_xlabel("time ratio (log scale; below 1: vexa2 is faster)")
    ax.set_title(f"vexa2 against Python and python-flint, {data['interpreter']}", fontsize=9, pad=22)
    ax.legend(loc="lower center", bbox_to_anchor=(0.5, 1.0), ncol=2, fontsize=7, frameon=False)
    fig.savefig(out, dpi=90, bbox_inches="tight")
    print(f"chart.py: wrote {out} ({out.stat().st_size // 1024} KB)")


if __name__ == "__main__":
    main(sys.argv)
