"""Runs the fuzz harnesses under atheris.

    python fuzz/run.py NAME [libFuzzer flags...]   one harness, as long as the flags say
    python fuzz/run.py --all RUNS [SECONDS]         every harness, RUNS executions each (CI, seed
                                                    FUZZ_SEED or 1), or for SECONDS each when RUNS is 0

New inputs go to a scratch folder; the seeds in fuzz/corpus/NAME are only read.
Crash files are written under fuzz/crashes/ (not kept in the repository).
"""
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SEED = int(os.environ.get("FUZZ_SEED", "1"))


def fuzz_one(name, flags):
    import atheris
    sys.path.insert(0, HERE)
    with atheris.instrument_imports(include=["harnesses"]):
        import harnesses
    fn = harnesses.HARNESSES[name]
    scratch = tempfile.mkdtemp(prefix="vexa2-fuzz-%s-" % name)
    crashes = os.path.join(HERE, "crashes")
    os.makedirs(crashes, exist_ok=True)
    argv = [sys.argv[0], "-max_len=256", "-timeout=30", "-rss_limit_mb=4096",
            "-artifact_prefix=%s/%s-" % (crashes, name), *flags, scratch, os.path.join(HERE, "corpus", name)]
    atheris.Setup(argv, fn)
    atheris.Fuzz()


def run_all(runs, seconds):
    sys.path.insert(0, HERE)
    import harnesses
    failed = []
    for name in harnesses.HARNESSES:
        # A bounded run has a fixed seed, so a failure it reports reproduces.
        flags = ["-runs=%d" % runs, "-seed=%d" % SEED] if runs else ["-max_total_time=%d" % seconds]
        t0 = time.monotonic()
        p = subprocess.run([sys.executable, __file__, name, *flags, "-print_final_stats=1"],
                           capture_output=True, text=True)
        execs = [line.rsplit(":", 1)[1].strip() for line in p.stderr.splitlines() if line.startswith("stat::number_of_executed_units")]
        print("fuzz %-18s %8s executions  %6.1f s  %s" % (name, execs[0] if execs else "?", time.monotonic() - t0,
                                                        "ok" if p.returncode == 0 else "FAILED"), flush=True)
        if p.returncode != 0:
            failed.append(name)
            sys.stdout.write(p.stderr[-6000:])
    print("fuzz: %d passed, %d failed" % (len(harnesses.HARNESSES) - len(failed), len(failed)))
    return 1 if failed else 0


if __name__ == "__main__":
    if sys.argv[1:2] == ["--all"]:
        sys.exit(run_all(int(sys.argv[2]), int(sys.argv[3]) if len(sys.argv) > 3 else 0))
    fuzz_one(sys.argv[1], sys.argv[2:])
