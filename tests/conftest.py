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
