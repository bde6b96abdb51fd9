import copyreg
import importlib.metadata
import numbers
import signal
import struct
import subprocess
import sys

import pytest

import vexa2

def test_module_docstring_names_the_module():
    assert vexa2.__doc__.startswith("vexa2")
    for lib in ("GMP", "MPFR", "MPC"):
        assert lib in vexa2.__doc__


def base_error():
    return vexa2.RangeError.__bases__[0]


def test_base_error_is_shared_and_not_published():
    base = base_error()
    assert not hasattr(vexa2, "vexa2Error")
    assert (base.__name__, base.__module__, base.__bases__) == ("vexa2Error", "vexa2",
                                                                (ArithmeticError,))


TAIL = ["Exception", "BaseException", "object"]


@pytest.mark.parametrize(
    "name, mro",
    [
        ("RangeError", ["vexa2Error", "ArithmeticError"]),
        ("InexactResultError", ["vexa2Error", "ArithmeticError"]),
        ("OverflowResultError", ["InexactResultError", "vexa2Error", "ArithmeticError"]),
        ("UnderflowResultError", ["InexactResultError", "vexa2Error", "ArithmeticError"]),
        ("InvalidOperationError", ["vexa2Error", "ArithmeticError", "ValueError"]),
        ("DivisionByZeroError", ["vexa2Error", "ZeroDivisionError", "ArithmeticError"]),
    ],
)
def test_exception_classes(name, mro):
    cls = getattr(vexa2, name)
    assert (cls.__name__, cls.__module__) == (name, "vexa2")
    assert [c.__name__ for c in cls.__mro__] == [name] + mro + TAIL
    # one shared base class, and the published classes themselves in the chain
    for c in cls.__mro__:
        if c.__module__ == "vexa2":
            assert c is (base_error() if c.__name__ == "vexa2Error" else getattr(vexa2, c.__name__))


@pytest.mark.parametrize(
    "name, value",
    [("RoundToNearest", 0), ("RoundToZero", 1), ("RoundUp", 2), ("RoundDown", 3),
     ("RoundAwayZero", 4), ("Default", -1)],
)
def test_rounding_constants(name, value):
    got = getattr(vexa2, name)
    assert type(got) is int and got == value


def test_published_types():
    for name in ("context", "mpz", "xmpz", "mpq", "mpfr", "mpc"):
        assert isinstance(getattr(vexa2, name), type)
    assert vexa2.context.__module__ == "vexa2"
    assert vexa2.context.__name__ == "context"


def test_xmpz_limb_size():
    assert vexa2.xmpz.limb_size == 8


def test_version_matches_installed_metadata():
    expected = importlib.metadata.version("vexa2")
    assert vexa2.__version__ == expected
    assert vexa2.version() == expected


@pytest.mark.parametrize(
    "func, prefix",
    [(vexa2.mp_version, "GMP "), (vexa2.mpfr_version, "MPFR "), (vexa2.mpc_version, "MPC ")],
)
def test_library_versions(func, prefix):
    text = func()
    assert text.startswith(prefix)
    assert text[len(prefix)].isdigit()


def test_license_limbsize_free_cache():
    assert isinstance(vexa2.license(), str) and vexa2.license().strip()
    assert vexa2.mp_limbsize() == 8 * struct.calcsize("P")
    assert vexa2.free_cache() is None


@pytest.mark.parametrize(
    "name", ["license", "version", "mp_version", "mp_limbsize", "mpfr_version", "mpc_version",
             "free_cache"],
)
def test_informational_functions_take_no_arguments(name):
    with pytest.raises(TypeError):
        getattr(vexa2, name)(1)


@pytest.mark.parametrize(
    "typename, abc, registered",
    [("mpz", numbers.Integral, True), ("mpq", numbers.Rational, True),
     ("mpfr", numbers.Real, True), ("mpc", numbers.Complex, True),
     ("xmpz", numbers.Integral, False), ("xmpz", numbers.Number, False)],
)
def test_numbers_registration(typename, abc, registered):
    assert issubclass(getattr(vexa2, typename), abc) is registered


def test_copyreg_reducers_registered():
    # Wiring only: every type shares one reducer. Pickling itself (round
    # trips of every type through pickle and copy) is tested with the
    # binary format that the reducer calls.
    reducers = {copyreg.dispatch_table.get(getattr(vexa2, t))
                for t in ("mpz", "xmpz", "mpq", "mpfr", "mpc")}
    assert len(reducers) == 1
    (reducer,) = reducers
    assert callable(reducer) and reducer.__name__ == "vexa2_reducer"


def run_python(code):
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=60)


def test_import_reads_no_distribution_metadata():
    # The version is compiled in: the import neither needs the metadata nor
    # loads the machinery that reads it (most of what the import used to cost).
    r = run_python(
        "import importlib.metadata as m\n"
        "def missing(name): raise m.PackageNotFoundError(name)\n"
        "m.version = missing\n"
        "import vexa2\n"
        "print(vexa2.__version__)\n"
    )
    assert r.returncode == 0, r.stderr
    assert r.stdout == importlib.metadata.version("vexa2") + "\n"
    r = run_python("import sys, vexa2\n"
                   "print([m for m in ('importlib.metadata', 'email', 'zipfile') if m in sys.modules])\n")
    assert r.stdout == "[]\n", r.stderr


def test_gmp_fatal_error_handler_reports_and_aborts():
    r = run_python("import os, signal, vexa2\nos.kill(os.getpid(), signal.SIGFPE)\n")
    assert r.returncode == -signal.SIGABRT
    assert r.stdout == "gmp: overflow in mpz type\n"


def test_second_module_object_shares_classes_and_current_context():
    # A module object made a second time from the same spec must not replace
    # the process-wide classes and context variable of the first one.
    r = run_python(
        "import importlib.util, vexa2\n"
        "c = vexa2.context(precision=99); vexa2.set_context(c)\n"
        "spec = importlib.util.find_spec('vexa2')\n"
        "m = importlib.util.module_from_spec(spec); spec.loader.exec_module(m)\n"
        "same = [getattr(m, n) is getattr(vexa2, n) for n in\n"
        "        ('InexactResultError', 'RangeError', 'DivisionByZeroError', 'mpz', 'context')]\n"
        "print(all(same), m.get_context() is c, vexa2.get_context() is c)\n"
        "try:\n"
        "    with vexa2.context(trap_inexact=True):\n"
        "        vexa2.mpfr(1) / 3\n"
        "except vexa2.InexactResultError:\n"
        "    print('caught')\n"
    )
    assert r.returncode == 0, r.stderr
    assert r.stdout == "True True True\ncaught\n"


def test_star_import_brings_public_names_only():
    ns = {}
    exec("from vexa2 import *", ns)
    assert "license" not in ns and "version" not in ns and "get_include" not in ns
    assert {"mpz", "mpfr", "context", "sqrt", "is_prime", "RoundToNearest", "InexactResultError"} <= ns.keys()
    assert all(hasattr(vexa2, n) for n in vexa2.__all__)
    assert vexa2.__all__ == sorted(set(vexa2.__all__))
