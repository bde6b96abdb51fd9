#!/usr/bin/env python3
"""Writes python/vexa2/__init__.pyi from the built module.

Run after adding functions (make stub). The parameter and result types of
functions and methods come from the module's own rows (`_rows()`: each row
says its typed parameters and result, with one form per overload); rows
without types fall back to the text signature with Any. The result types of
the operators are found by calling them on sample values, so the overloads
follow what the module really does; attribute types are those of the values
the module gives, the exception hierarchy is read from the classes.
"""
import inspect
import sys
from fractions import Fraction
from pathlib import Path

import vexa2

OUT = Path(__file__).resolve().parent.parent / "python" / "vexa2" / "__init__.pyi"
TYPES = ["mpz", "xmpz", "mpq", "mpfr", "mpc"]

# Sample operands: a stub annotation and a few values of that kind.
OPERANDS = [
    ("int", [3, -2]),
    ("Fraction", [Fraction(1, 3)]),
    ("float", [1.5]),
    ("complex", [1 + 2j]),
    ("mpz", [vexa2.mpz(5), vexa2.mpz(-2)]),
    ("xmpz", [vexa2.xmpz(6)]),
    ("mpq", [vexa2.mpq(2, 3)]),
    ("mpfr", [vexa2.mpfr(2.5)]),
    ("mpc", [vexa2.mpc(1, 1)]),
]
SELF = {"mpz": vexa2.mpz(7), "xmpz": vexa2.xmpz(7), "mpq": vexa2.mpq(7, 2),
        "mpfr": vexa2.mpfr(7.5), "mpc": vexa2.mpc(7, 1)}

BINARY = ["add", "sub", "mul", "truediv", "floordiv", "mod", "divmod", "pow",
          "and", "or", "xor", "lshift", "rshift"]
UNARY = {"neg": "-", "pos": "+", "abs": "abs", "invert": "~"}

ROWS, ATTR_ROWS = vexa2._rows()
PLACE = {"module": 1, "context": 2, "mpz": 4, "xmpz": 8, "mpq": 16, "mpfr": 32, "mpc": 64}


def row_of(name, place):
    for r in ROWS:
        if r[0] == name and r[1] & PLACE[place]:
            return r
    return None


def typed_defs(name, place, method, indent=""):
    """The stub lines of a function or method from its row, or None."""
    r = row_of(name, place)
    if r is None or r[3] is None:
        return None
    forms = [f.strip() for f in r[3].split(";")]
    out = []
    for f in forms:
        params, _, ret = f.partition(" ->")
        ret = ret.strip() or r[4] or "Any"
        params = params.strip()
        if method:
            params = method + ", " + params if params else method
        if len(forms) > 1:  # a later form widens an earlier one, as for the operators
            out.append(f"{indent}@overload")
            out.append(f"{indent}def {name}({params}) -> {ret}: ...  # type: ignore[overload-overlap]")
        else:
            out.append(f"{indent}def {name}({params}) -> {ret}: ...")
    return out


def returns(name, place):
    r = row_of(name, place)
    return (r[4] if r and r[4] else None) or "Any"


HEAD = '''\
# Type stubs of vexa2, written by scripts/make_stub.py from the built module.
from collections.abc import Iterator
from fractions import Fraction
from collections.abc import Iterable
from decimal import Decimal
from typing import Any, Literal, SupportsFloat, SupportsIndex, final, overload

__version__: str

# What the functions accept: integer-like, rational-like, real-like, complex-like.
_Int = int | mpz | xmpz
_Rat = _Int | mpq | Fraction
_Real = _Rat | float | mpfr | Decimal
_Num = _Real | complex | mpc
_Exponent = Literal[0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25]
_Text = str | bytes

RoundToNearest: int
RoundToZero: int
RoundUp: int
RoundDown: int
RoundAwayZero: int
Default: int

'''


def exceptions():
    """The module's exception classes, bases first, as the classes say."""
    classes = [v for k, v in sorted(vars(vexa2).items())
               if isinstance(v, type) and issubclass(v, BaseException) and v.__module__ == "vexa2"]
    base = {b for c in classes for b in c.__bases__ if b.__module__ == "vexa2" and b not in classes}
    lines, done = [], set()

    def name(c):
        return c.__name__ if c in classes else "_" + c.__name__

    def emit(c):
        if c in done:
            return
        for b in c.__bases__:
            if b.__module__ == "vexa2":
                emit(b)
        done.add(c)
        bases = ", ".join(name(b) if b.__module__ == "vexa2" else b.__name__ for b in c.__bases__)
        note = "  # the common base, not published by name" if c in base else ""
        lines.append(f"class {name(c)}({bases}): ...{note}")
    for c in classes:
        emit(c)
    return lines


# Names whose parameter list Python cannot express; these take (*args, **kwargs).
FREE_FORM = "(*args: Any, **kwargs: Any)"


def params(obj, method):
    try:
        sig = inspect.signature(obj)
    except (ValueError, TypeError):
        return ("(self, *args: Any, **kwargs: Any)" if method else FREE_FORM), None
    out, seen_kwonly = [], False
    plist = list(sig.parameters.values())
    if method:
        out.append("self")
        if plist and plist[0].name == "self":
            plist = plist[1:]
    last_pos_only = 1 if method else None
    for i, p in enumerate(plist):
        ann = ": Any"
        if p.kind is p.VAR_POSITIONAL:
            out.append(f"*{p.name}: Any")
            seen_kwonly = True
            continue
        if p.kind is p.VAR_KEYWORD:
            out.append(f"**{p.name}: Any")
            continue
        if p.kind is p.KEYWORD_ONLY and not seen_kwonly:
            out.append("*")
            seen_kwonly = True
        default = "" if p.default is p.empty else " = ..."
        out.append(f"{p.name}{ann}{default}")
        if p.kind is p.POSITIONAL_ONLY:
            last_pos_only = len(out)
    if last_pos_only is not None:
        out.insert(last_pos_only, "/")  # self is positional-only too
    return "(" + ", ".join(out) + ")", sig


def probe(opname, left, right):
    """The set of result type names of `left <op> right`, or None when it raises."""
    import operator
    fn = divmod if opname == "divmod" else getattr(operator, opname if opname not in ("and", "or") else opname + "_")
    names = set()
    for r in right:
        try:
            with vexa2.context(allow_complex=False):
                res = fn(left, r)
        except TypeError:
            return None
        except (ValueError, ArithmeticError):  # that value only (negative shifts, ...)
            continue
        names.add(ann_of(res))
    return names or None


def ann_of(v):
    if v is None:
        return "None"
    if isinstance(v, tuple):
        return "tuple[" + ", ".join(ann_of(x) for x in v) + "]"
    return type(v).__name__


def binary_ops(tname, lines):
    self = SELF[tname]
    rtype = getattr(vexa2, tname)
    for op in BINARY:
        dunder, rdunder = f"__{op}__", f"__r{op}__"
        if dunder not in vars(rtype):  # hasattr would find type.__or__
            continue
        forward, reverse = [], []
        for ann, vals in OPERANDS:
            f = probe(op, self, vals)
            if op == "pow" and ann == "int" and tname in ("mpz", "xmpz", "mpq"):
                # A literal exponent of 0..25 keeps the type, as for int; others may not.
                forward.append(("_Exponent", " | ".join(sorted(probe(op, self, [20])))))
            if f:  # a result type that depends on the values (negative powers) is Any, as for int
                forward.append((ann, " | ".join(sorted(f)) if len(f) == 1 else "Any"))
            if ann in TYPES:
                continue  # those are handled by that type's forward method
            r = set()
            ok = True
            for v in vals:
                got = probe(op, v, [self])
                if got is None:
                    ok = False
                    break
                r |= got
            if ok and r:
                reverse.append((ann, " | ".join(sorted(r)) if len(r) == 1 else "Any"))
        emit_overloads(lines, dunder, forward, tname)
        idunder = f"__i{op}__"
        if idunder in vars(rtype):  # xmpz changes itself in place
            ok = []
            for ann, vals in OPERANDS:
                try:
                    if all(getattr(rtype(7), idunder)(v) is not NotImplemented for v in vals):
                        ok.append(ann)
                except TypeError:
                    pass
                except (ValueError, ArithmeticError):
                    ok.append(ann)
            # The plain operator makes an mpz, the in-place one keeps the xmpz.
            lines.append(f"    def {idunder}(self, other: {' | '.join(ok) or 'Any'}, /) -> {tname}: ...  # type: ignore[misc]")
        if rdunder in vars(rtype):
            emit_overloads(lines, rdunder, reverse, tname)


def merge(pairs):
    # Operands with the same result share one overload.
    by_result = {}
    for ann, res in pairs:
        by_result.setdefault(res, []).append(ann)
    return [(" | ".join(anns), res) for res, anns in by_result.items()]


def emit_overloads(lines, dunder, pairs, tname):
    pairs = merge(pairs)
    modular = None
    if dunder == "__pow__":
        try:  # three-argument pow, where the type has it
            modular = ann_of(pow(SELF[tname], 3, 7))
        except TypeError:
            pass
    if modular:
        lines.append("    @overload")
        lines.append(f"    def {dunder}(self, other: _Int, modulo: _Int, /) -> {modular}: ...")
        for ann, res in pairs:
            lines.append("    @overload")
            lines.append(f"    def {dunder}(self, other: {ann}, modulo: None = None, /) -> {res}: ...  "
                         "# type: ignore[overload-overlap]")
        return
    if dunder == "__pow__" or dunder == "__rpow__":
        extra = ", modulo: Any = None, /" if dunder == "__pow__" else ", modulo: Any = None, /"
    else:
        extra = ", /"
    if not pairs:
        lines.append(f"    def {dunder}(self, other: Any{extra}) -> Any: ...")
        return
    if len(pairs) == 1:
        ann, res = pairs[0]
        lines.append(f"    def {dunder}(self, other: {ann}{extra}) -> {res}: ...")
        return
    for ann, res in pairs:
        lines.append("    @overload")
        lines.append(f"    def {dunder}(self, other: {ann}{extra}) -> {res}: ...  # type: ignore[overload-overlap]")


def type_block(tname):
    t = getattr(vexa2, tname)
    lines = ["@final", f"class {tname}:"]
    lines += typed_defs("__new__", tname, "cls", "    ")
    binary_ops(tname, lines)
    self = SELF[tname]
    for op, sym in UNARY.items():
        d = f"__{op}__"
        if hasattr(t, d):
            try:
                res = ann_of(abs(self) if sym == "abs" else eval(f"{sym}s", {"s": self}))
            except Exception:
                res = "Any"
            lines.append(f"    def {d}(self) -> {res}: ...")
    fixed = {"__int__": "int", "__float__": "float", "__complex__": "complex", "__bool__": "bool",
             "__index__": "int", "__hash__": "int", "__len__": "int", "__iter__": "Iterator[int]"}
    for d, res in fixed.items():
        if d in vars(t) and not (d == "__hash__" and t.__hash__ is None):
            lines.append(f"    def {d}(self) -> {res}: ...")
    if t.__hash__ is None:
        lines.append("    __hash__: None  # type: ignore[assignment]")
    for d in ("__lt__", "__le__", "__gt__", "__ge__"):
        if d in vars(t) and tname != "mpc":
            lines.append(f"    def {d}(self, other: _Real, /) -> bool: ...")
    if "__eq__" in vars(t):
        lines.append("    def __eq__(self, other: object, /) -> bool: ...")
        lines.append("    def __ne__(self, other: object, /) -> bool: ...")
    if "__getitem__" in vars(t):
        lines.append("    def __getitem__(self, index: int | slice, /) -> mpz: ...")
    if "__setitem__" in vars(t):
        lines.append("    def __setitem__(self, index: int | slice, value: int, /) -> None: ...")
    if "__round__" in vars(t):
        lines += typed_defs("__round__", tname, "self", "    ") or [
            "    def __round__(self, ndigits: int | None = None, /) -> Any: ..."]
    if "__trunc__" in vars(t):
        lines.append("    def __trunc__(self) -> mpz: ...")
    if "__floor__" in vars(t):
        lines.append("    def __floor__(self) -> mpz: ...")
    if "__ceil__" in vars(t):
        lines.append("    def __ceil__(self) -> mpz: ...")
    members(t, lines, skip_dunder=True)
    return lines


def attr_type(t, name):
    """The type of an attribute as the module gives it: that of its value on a sample."""
    sample = SELF.get(t.__name__) if t is not vexa2.context else vexa2.context()
    try:
        return ann_of(getattr(sample, name))
    except Exception:
        return "Any"


def writable(t, name):
    if t is vexa2.context:
        c = vexa2.context()
        try:
            setattr(c, name, getattr(c, name))
            return True
        except (AttributeError, TypeError, ValueError):
            return False
    return any(a[0] == name and a[1] & PLACE[t.__name__] and a[3] for a in ATTR_ROWS)


def members(t, lines, skip_dunder):
    place = t.__name__
    for name, obj in sorted(vars(t).items()):
        if name.startswith("__") and f"def {name}(" in "\n".join(lines):
            continue  # written above with its types
        if name in ("__hash__", "__doc__", "__new__"):
            continue
        kind = type(obj).__name__
        if kind == "getset_descriptor":
            ret = attr_type(t, name)
            if writable(t, name):
                lines.append(f"    {name}: {ret}")
            else:
                lines.append("    @property")
                lines.append(f"    def {name}(self) -> {ret}: ...")
        elif kind == "member_descriptor":
            lines.append(f"    {name}: Any")
        elif kind in ("method_descriptor", "builtin_function_or_method", "classmethod_descriptor", "staticmethod"):
            is_static = kind == "staticmethod" or kind == "builtin_function_or_method"
            is_class = kind == "classmethod_descriptor"
            fn = getattr(t, name)
            if is_class:
                lines.append("    @classmethod")
            elif is_static:
                lines.append("    @staticmethod")
            typed = typed_defs(name, place, "cls" if is_class else "" if is_static else "self", "    ")
            if typed:
                lines += typed
                continue
            lines.pop() if (is_class or is_static) else None
            p, _ = params(fn, method=not (is_static or is_class))
            if is_class:
                p = "(cls, " + p[1:] if p != "()" else "(cls)"
                lines.append("    @classmethod")
            elif is_static:
                lines.append("    @staticmethod")
            lines.append(f"    def {name}{p} -> {returns(name, place)}: ...")
        elif kind == "wrapper_descriptor" or kind == "method-wrapper":
            continue
        else:
            lines.append(f"    {name}: {type(obj).__name__}")


def context_block():
    t = vexa2.context
    lines = ["@final", "class context:",
             "    def __new__(cls, ctx: context = ..., /, **kwargs: Any) -> context: ...",
             "    def __enter__(self) -> context: ...",
             "    def __exit__(self, *args: object) -> None: ..."]
    members(t, lines, skip_dunder=True)
    # Context methods: the module functions that also exist on contexts use the context.
    return lines


def module_functions():
    lines = []
    for name in sorted(dir(vexa2)):
        if name.startswith("_"):
            continue
        obj = getattr(vexa2, name)
        if type(obj).__name__ != "builtin_function_or_method":
            continue
        typed = typed_defs(name, "module", "")
        if typed:
            lines += typed
            continue
        p, _ = params(obj, method=False)
        lines.append(f"def {name}{p} -> {returns(name, 'module')}: ...")
    return lines


def main():
    out = [HEAD] + exceptions() + [""]
    for t in TYPES:
        out += type_block(t) + [""]
    out += context_block() + [""]
    out += module_functions()
    known = set(TYPES) | {"context", "__version__"}
    text = "\n".join(out) + "\n"
    # Names the module has but nothing above produced (constants added later).
    for name in sorted(dir(vexa2)):
        if name.startswith("_") or name in known:
            continue
        if f"\ndef {name}(" in text or f"\nclass {name}(" in text or f"\n{name}:" in text:
            continue
        text += f"{name}: {type(getattr(vexa2, name)).__name__}\n"
    text += "\n__all__ = [\n" + "".join(f"    {n!r},\n" for n in vexa2.__all__) + "]\n"
    OUT.write_text(text)
    print(f"wrote {OUT}", file=sys.stderr)


if __name__ == "__main__":
    main()
