"""Shared test set-up."""
import os

import pytest

from vexa2 import context, get_context, set_context


@pytest.fixture(autouse=True)
def fresh_current_context():
    """Every test starts with a default current context; the previous one comes back after."""
    saved = get_context()
    set_context(context())
    yield
    set_context(saved)


@pytest.hookimpl(trylast=True)  # after -k and --deselect
def pytest_collection_modifyitems(config, items):
    """Validates every hypothesis strategy once, before any test runs, after
    taking the subset VEXA2_TEST_STRIDE asks for (see _stride_subset).

    Hypothesis fills a strategy's cached properties on first use, and that
    is not safe when the suite runs each test in several threads at once.
    A strategy that fails validation fails its own test later.
    """
    stride = int(os.environ.get("VEXA2_TEST_STRIDE") or 1)
    if stride > 1:
        _stride_subset(config, items, stride)
    for item in items:
        handle = getattr(getattr(item, "obj", None), "hypothesis", None)
        for strategy in getattr(handle, "_given_kwargs", {}).values():
            try:
                strategy.validate()
            except Exception:  # noqa: BLE001
                pass


_SUBSET = pytest.StashKey()


def _stride_subset(config, items, stride):
    """A fixed subset for slow runs (ThreadSanitizer): of each test function
    its 1st, (k+1)-th, (2k+1)-th... case for VEXA2_TEST_STRIDE=k, so that every
    function runs; property-based tests (hundreds of examples each) left out."""
    kept, dropped, seen = [], [], {}
    for item in items:
        key = (item.path, getattr(item, "originalname", item.name))
        n = seen[key] = seen.get(key, -1) + 1
        is_property = hasattr(getattr(item, "obj", None), "hypothesis")
        (kept if n % stride == 0 and not is_property else dropped).append(item)
    config.stash[_SUBSET] = (len(kept), len(items), stride)
    if dropped:
        config.hook.pytest_deselected(items=dropped)
        items[:] = kept


def pytest_report_collectionfinish(config):
    subset = config.stash.get(_SUBSET, None)
    if subset:
        return "subset: %d of %d tests (1 in %d cases of each test function, no property-based tests)" % subset
