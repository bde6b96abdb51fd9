# The registry's rows against what the module shows, and every public
# function against the suite: each one has at least one test that calls it.
import inspect
import re
from pathlib import Path

import vexa2

FNS, ATTRS = vexa2._rows()
IN_MODULE, IN_CONTEXT = 1, 2
PUBLIC = sorted({r[0] for r in FNS if r[1] & IN_MODULE and not r[0].startswith("_")})
TESTS = Path(__file__).resolve().parent.parent


def untyped(params):
    """The text signature a row's typed parameters give ("x: _Int, n: int = 0, /" -> "(x, n=0, /)")."""
    first = params.split(";")[0].split(" ->")[0]
    out, depth, piece = [], 0, ""
    for ch in first + ",":
        depth += ch in "[(" or -(ch in "])")
        if ch == "," and depth == 0:
            name, _, default = piece.partition("=")
            name = name.split(":")[0].strip()
            if name:
                out.append(name + ("=" + default.strip() if default else ""))
            piece = ""
        else:
            piece += ch
    return "(" + ", ".join(out) + ")"


def test_every_public_function_is_a_row():
    published = {n for n in dir(vexa2) if not n.startswith("_")
                 and type(getattr(vexa2, n)).__name__ == "builtin_function_or_method"}
    assert published == set(PUBLIC)


def test_typed_rows_give_the_text_signature():
    wrong = []
    for name in PUBLIC:
        row = next(r for r in FNS if r[0] == name and r[1] & IN_MODULE)
        if row[3] is not None and str(inspect.signature(getattr(vexa2, name))) != untyped(row[3]):
            wrong.append((name, str(inspect.signature(getattr(vexa2, name))), row[3]))
    assert not wrong


def called(name, text):
    """True when the tests call name: name(...), "name" (a table of names) or, for a
    rounding family (c_, f_, t_), a name spelt from its prefix (p + "_div", f"{p}_div")."""
    n = re.escape(name)
    if re.search(r"\b" + n + r"\(|[\"']" + n + r"[\"']", text):
        return True
    family = re.match(r"[cft](_\w+)", name)
    return bool(family and re.search(r'(\+ "|\})' + re.escape(family.group(1)) + r'["(]', text))


def test_every_public_function_has_a_value_test():
    text = "\n".join(p.read_text() for p in TESTS.rglob("test_*.py") if p.name != Path(__file__).name)
    untested = [n for n in PUBLIC if not called(n, text)]
    assert not untested, f"public functions no test calls: {untested}"
