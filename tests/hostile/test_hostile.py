"""Hostile inputs, each run in a child process with a memory limit and a timeout."""
import pytest

import vexa2
import hostile_cases
import hostile_runner

# The children are shared by every case: one run of the catalogue per session.
pytestmark = pytest.mark.thread_unsafe(reason="runs child processes once for the whole catalogue")


def _param(c):
    marks = []
    if c.xfail:
        marks.append(pytest.mark.xfail(strict=False, reason=c.xfail))
    return pytest.param(c, id=c.id, marks=marks)


def _runnable(c):
    return not (c.big and hostile_runner.under_sanitizer()) and all(hasattr(vexa2, n) for n in c.needs)


@pytest.fixture(scope="module")
def verdicts():
    cases = [c for c in hostile_cases.CASES if _runnable(c)]
    return hostile_runner.run_all([c.id for c in cases], [c.id for c in cases if c.big])


def test_catalogue_is_large_and_unique():
    ids = [c.id for c in hostile_cases.CASES]
    assert len(ids) == len(set(ids))
    assert len(ids) >= 150


@pytest.mark.parametrize("case", [_param(c) for c in hostile_cases.CASES])
def test_hostile(case, verdicts):
    if case.big and hostile_runner.under_sanitizer():
        pytest.skip("no memory limit under the sanitizers")
    missing = [n for n in case.needs if not hasattr(vexa2, n)]
    if missing:
        pytest.skip("not in the module: " + ", ".join(missing))
    verdict = verdicts[case.id]
    if verdict and verdict.startswith("hung") and hostile_runner.under_sanitizer():
        # Without the memory limit a size that fails quickly elsewhere may be
        # really allocated and filled, slowly; a crash still fails the case.
        pytest.skip("slow without a memory limit under the sanitizers")
    assert verdict is None, verdict
