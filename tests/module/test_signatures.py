# inspect.signature for the public functions and methods, the constructor
# forms in the types' docstrings, and the informational entry points.
import inspect
import pickle
import re
import subprocess
import sys

import pytest

import vexa2

# Functions whose argument rules have no single Python signature.
IRREGULAR = {"local_context"}
TYPES = ["mpz", "xmpz", "mpq", "mpfr", "mpc", "context"]


def public_callables():
    for name in dir(vexa2):
        obj = getattr(vexa2, name)
        if name.startswith("_"):
            continue
        if type(obj).__name__ == "builtin_function_or_method":
            yield name, obj
    for t in TYPES:
        cls = getattr(vexa2, t)
        for name, d in vars(cls).items():
            if type(d).__name__ in ("method_descriptor", "classmethod_descriptor"):
                yield f"{t}.{name}", getattr(cls, name)


def test_signature_share():
    ok, missing = [], []
    for name, obj in public_callables():
        try:
            inspect.signature(obj)
            ok.append(name)
        except ValueError:
            missing.append(name)
    share = len(ok) / (len(ok) + len(missing))
    print(f"signatures: {len(ok)} of {len(ok) + len(missing)} ({share:.0%}); without: {missing}")
    assert set(missing) <= IRREGULAR, f"no text signature: {sorted(set(missing) - IRREGULAR)}"


@pytest.mark.parametrize("name, expected", [
    ("add", "(x, y, /)"), ("is_prime", "(x, n=25, /)"), ("get_context", "()"),
])
def test_module_function_signatures(name, expected):
    assert str(inspect.signature(getattr(vexa2, name))) == expected


def test_methods_take_self_whether_bound_or_not():
    # Rows shared by the module and the context get "$self" as methods.
    assert str(inspect.signature(vexa2.context.add)) == "(self, x, y, /)"
    assert str(inspect.signature(vexa2.context().add)) == "(x, y, /)"
    assert str(inspect.signature(vexa2.mpz(3).is_prime)) == "(n=25, /)"


@pytest.mark.parametrize("typename", ["mpz", "xmpz", "mpq", "mpfr", "mpc", "context"])
def test_type_docstrings_list_constructor_forms(typename):
    doc = getattr(vexa2, typename).__doc__
    assert doc.startswith(f"{typename}(")
    forms = [line for line in doc.split("\n\n")[0].splitlines()]
    assert len(forms) >= 2 and all(f.startswith(f"{typename}(") for f in forms)


def test_module_docstring_names_only_existing_functions():
    named = re.findall(r"(\w+)\(\)", vexa2.__doc__)
    assert len(named) > 10
    assert [n for n in named if not hasattr(vexa2, n)] == []


def test_python_m_vexa2_reports_versions_and_passes_self_check():
    r = subprocess.run([sys.executable, "-m", "vexa2"], capture_output=True, text=True, timeout=120)
    assert r.returncode == 0, r.stdout + r.stderr
    out = r.stdout
    assert out.startswith(f"vexa2 {vexa2.__version__}\n")
    assert vexa2.mp_version() in out and vexa2.mpfr_version() in out and vexa2.mpc_version() in out
    assert ("GIL disabled" if not getattr(sys, "_is_gil_enabled", lambda: True)() else "GIL enabled") in out
    assert out.rstrip().endswith("self-check passed") and "FAIL" not in out


def test_pickled_function_references_use_the_package_name():
    # The extension is vexa2._vexa2; its functions name the package.
    assert vexa2.add.__module__ == "vexa2"
    assert vexa2.mpz.__module__ == "vexa2"
    data = pickle.dumps(vexa2.mpfr("0.1", 100))
    assert b"_vexa2" not in data and pickle.loads(data).precision == 100
