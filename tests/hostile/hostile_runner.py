"""Runs catalogue cases in child processes with a memory limit and a timeout.

Each child takes a batch of cases, announces each before running it and
reports a verdict after; a child that dies or stops answering is replaced
and the case it was on is reported as having killed (or hung) it. Several
children run at once.
"""
import json
import os
import select
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
MEMORY_LIMIT = 4 << 30
CASE_TIMEOUT = float(os.environ.get("VEXA2_HOSTILE_TIMEOUT", "15"))
durations = {}  # case id -> seconds, for finding slow cases

CHILD = r"""
import json, os, resource, sys
limit = int(sys.argv[1])
if limit:
    resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
sys.path.insert(0, sys.argv[2])
import hostile_cases
by_id = {c.id: c for c in hostile_cases.CASES}
out = sys.stdout
for line in sys.stdin:
    cid = line.strip()
    if not cid:
        continue
    out.write("S " + cid + "\n"); out.flush()
    verdict = hostile_cases.run_case(by_id[cid])
    out.write("R " + json.dumps([cid, verdict]) + "\n"); out.flush()
out.write("DONE\n"); out.flush()
"""


def under_sanitizer():
    # Sanitizer runtimes reserve terabytes of address space: no address-space limit there.
    return "asan" in os.environ.get("LD_PRELOAD", "")


def _run_batch(ids, results, limit):
    """Runs ids in one child after another; records a verdict for each."""
    pending = list(ids)
    while pending:
        ids_file, err_file = tempfile.TemporaryFile("w+"), tempfile.TemporaryFile("w+")
        ids_file.write("".join(i + "\n" for i in pending))
        ids_file.seek(0)
        proc = subprocess.Popen([sys.executable, "-c", CHILD, str(limit), HERE],
                                stdin=ids_file, stdout=subprocess.PIPE, stderr=err_file)
        fd = proc.stdout.fileno()
        current, deadline, finished, buf = None, time.monotonic() + CASE_TIMEOUT, False, b""
        while not finished:
            # Reads the pipe unbuffered: a line left in a reader's buffer would look like a hang.
            ready, _, _ = select.select([fd], [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                proc.kill()
                if current is not None:
                    results[current] = "hung for more than %d s" % CASE_TIMEOUT
                break
            chunk = os.read(fd, 65536)
            if not chunk:
                break
            buf += chunk
            *lines, buf = buf.split(b"\n")
            for raw in lines:
                line = raw.decode()
                if line.startswith("S "):
                    current = line[2:]
                    started = time.monotonic()
                    deadline = started + CASE_TIMEOUT
                elif line.startswith("R "):
                    cid, verdict = json.loads(line[2:])
                    results[cid] = verdict
                    durations[cid] = time.monotonic() - started
                    pending.remove(cid)
                    current = None
                elif line.startswith("DONE"):
                    finished = True
        proc.wait()
        proc.stdout.close()
        err_file.seek(0)
        err = err_file.read()[-2000:]
        ids_file.close()
        err_file.close()
        if current is not None:
            results.setdefault(current, "the child died (exit %s): %s" % (proc.returncode, err))
            pending.remove(current)
        elif not finished and pending:
            # Died between cases: blame the next one rather than loop forever.
            results[pending.pop(0)] = "the child died (exit %s): %s" % (proc.returncode, err)
        if finished and proc.returncode != 0:
            for cid in pending:
                results[cid] = "the child exited with %s: %s" % (proc.returncode, err)
            pending = []


def run_all(ids, big_ids=(), workers=None):
    """Verdicts for every id: None (passed) or a text saying what went wrong."""
    workers = workers or max(3, os.cpu_count() or 2)
    big_ids = set(big_ids)
    limit = 0 if under_sanitizer() else MEMORY_LIMIT
    results = {}
    # Cases that fill the memory limit run one after another in one lane.
    big = [i for i in ids if i in big_ids]
    small = [i for i in ids if i not in big_ids]
    batches = [big] + [small[k::workers - 1] for k in range(workers - 1)]
    threads = [threading.Thread(target=_run_batch, args=(b, results, limit)) for b in batches if b]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return results
