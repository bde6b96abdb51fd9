"""examples/dask_pi_primes.py on a LocalCluster of two worker processes (localhost only)."""
import importlib.util
import os
import sys
from pathlib import Path

import pytest

import vexa2
from vexa2 import get_context, mpfr, mpz

distributed = pytest.importorskip(
    "distributed", reason="dask.distributed is not installed (pip install distributed): "
                          "the Dask example is not tested")
import cloudpickle  # noqa: E402  (comes with distributed)

EXAMPLE = Path(__file__).resolve().parents[2] / "examples" / "dask_pi_primes.py"
if not EXAMPLE.exists():
    pytest.skip("examples/dask_pi_primes.py is not beside the tests", allow_module_level=True)

pytestmark = pytest.mark.thread_unsafe(reason="starts a cluster of worker processes")


@pytest.fixture(scope="module")
def example():
    example_module = importlib.util.spec_from_file_location("dask_pi_primes", EXAMPLE)
    module = importlib.util.module_from_spec(example_module)
    sys.modules[example_module.name] = module
    example_module.loader.exec_module(module)
    module.TIMEOUT = 120
    # The test's own tasks travel by value; the example is sent to the workers.
    cloudpickle.register_pickle_by_value(sys.modules[__name__])
    yield module
    del sys.modules[example_module.name]


@pytest.fixture(scope="module")
def client(example):
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster, \
            distributed.Client(cluster, timeout=120) as c:
        c.upload_file(str(EXAMPLE))
        c.register_plugin(example.Vexa2Context(precision=300, round=vexa2.RoundDown,
                                               trap_divzero=True))
        yield c


def test_pi_digits_equal_const_pi(client, example):
    assert example.pi_digits(client, 100_000, 8) == example.pi_reference(100_000)


def test_prime_search_equals_serial_loop(client, example):
    start = 10**30 + 12345
    found = example.primes(client, start, start + 20_000, 6)
    assert found == example.primes_serial(start, start + 20_000)
    assert len(found) > 100 and all(type(p) is mpz for p in found)


def worker_state():
    with get_context_of_worker() as c:
        third = mpfr(1) / 3
        return os.getpid(), c.precision, c.round, c.trap_divzero, c.inexact, third


def get_context_of_worker():
    return sys.modules["dask_pi_primes"].worker_context()


def divide_by_zero():
    with get_context_of_worker():
        return mpfr(1) / 0


def test_each_worker_has_the_plugins_context_and_numbers_keep_precision(client, example):
    states = example.run_tasks(client, lambda i: worker_state(), range(8))
    assert len({s[0] for s in states}) == 2  # both processes took part
    for pid, precision, rnd, trap, inexact, third in states:
        assert (precision, rnd, trap, inexact) == (300, vexa2.RoundDown, True, True)
        assert third.precision == 300  # the number kept its precision on the way back
        with vexa2.context(precision=300, round=vexa2.RoundDown):
            assert third == mpfr(1) / 3
    assert get_context().precision == 53  # nothing came back to the client's context
    with pytest.raises(vexa2.DivisionByZeroError):
        client.submit(lambda: divide_by_zero(), pure=False).result(timeout=120)
