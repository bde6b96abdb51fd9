"""Shared test set-up."""
import pytest

from vexa2 import context, get_context, set_context


@pytest.fixture(autouse=True)
def fresh_current_context():
    """Every test starts with a default current context; the previous one comes back after."""
    saved = get_context()
    set_context(context())
    yield
    set_context(saved)


def pytest_collection_modifyitems(items):
    """Validates every hypothesis strategy once, before any test runs.

    Hypothesis fills a strategy's cached properties on first use, and that
    is not safe when the suite runs each test in several threads at once.
    A strategy that fails validation fails its own test later.
    """
    for item in items:
        handle = getattr(getattr(item, "obj", None), "hypothesis", None)
        for strategy in getattr(handle, "_given_kwargs", {}).values():
            try:
                strategy.validate()
            except Exception:  # noqa: BLE001
                pass
