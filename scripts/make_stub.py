#!/usr/bin/env python3
"""Writes python/vexa2/__init__.pyi from the built module.

Run after adding functions (make stub). Parameters come from the text
signatures of the docstrings; the result types of the operators are found
by calling them on sample values, so the overloads follow what the module
really does; the result types of functions come from the RETURNS table below
(Any when a name is not listed). Functions without a text signature take
(*args, **kwargs).
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

RETURNS = {
    # module functions and methods: names whose result type is fixed
    "license": "str", "version": "str", "mp_version": "str", "mpfr_version": "str",
    "mpc_version": "str", "mp_limbsize": "int", "free_cache": "None",
    "get_context": "context", "set_context": "None", "local_context": "context",
    "copy": "context", "clear_flags": "None", "cmp": "int", "cmp_abs": "int", "sign": "int",
    "bit_length": "int", "bit_count": "int", "bit_scan0": "int | None", "bit_scan1": "int | None",
    "num_digits": "int", "popcount": "int", "hamdist": "int", "bit_test": "bool",
    "digits": "Any", "as_integer_ratio": "tuple[mpz, mpz]", "__format__": "str",
    "__complex__": "complex", "__round__": "Any", "__sizeof__": "int", "__reduce__": "Any",
    "ceil": "mpz", "floor": "mpz", "trunc": "mpz",
    "gcd": "mpz", "lcm": "mpz", "gcdext": "tuple[mpz, mpz, mpz]", "invert": "mpz", "divm": "mpz",
    "jacobi": "int", "legendre": "int", "kronecker": "int", "remove": "tuple[mpz, int]",
    "iroot": "tuple[mpz, bool]", "iroot_rem": "tuple[mpz, mpz]", "isqrt": "mpz",
    "isqrt_rem": "tuple[mpz, mpz]", "powmod": "mpz", "powmod_sec": "mpz",
    "powmod_base_list": "list[mpz]", "powmod_exp_list": "list[mpz]", "divexact": "mpz",
    "fac": "mpz", "double_fac": "mpz", "multi_fac": "mpz", "primorial": "mpz", "bincoef": "mpz",
    "comb": "mpz", "fib": "mpz", "fib2": "tuple[mpz, mpz]", "lucas": "mpz",
    "lucas2": "tuple[mpz, mpz]", "lucasu": "mpz", "lucasv": "mpz", "lucasu_mod": "mpz",
    "lucasv_mod": "mpz", "next_prime": "mpz", "prev_prime": "mpz", "to_binary": "bytes",
    "pack": "mpz", "unpack": "list[mpz]", "is_nan": "bool", "is_inf": "bool",
    "is_finite": "bool", "is_zero": "bool", "is_infinite": "bool", "is_signed": "bool",
    "is_regular": "bool", "is_bpsw_prp": "bool", "is_strong_bpsw_prp": "bool",
    "is_selfridge_prp": "bool", "is_strong_selfridge_prp": "bool", "is_fermat_prp": "bool",
    "is_euler_prp": "bool", "is_strong_prp": "bool", "is_fibonacci_prp": "bool",
    "is_lucas_prp": "bool", "is_strong_lucas_prp": "bool", "is_extra_strong_lucas_prp": "bool",
    "is_probab_prime": "int", "to_bytes": "bytes", "from_bytes": "mpz",
    "f2q": "mpz | mpq", "is_lessgreater": "bool", "is_unordered": "bool",
    "get_exp": "int", "mpfr_from_old_binary": "mpfr", "mpz_from_old_binary": "mpz",
    "mpq_from_old_binary": "mpq", "get_include": "str", "random_state": "Any",
    "mpz_random": "mpz", "mpz_rrandomb": "mpz", "mpz_urandomb": "mpz", "mpfr_random": "mpfr",
    "mpfr_nrandom": "mpfr", "mpfr_grandom": "tuple[mpfr, mpfr]", "mpc_random": "mpc",
    "const_pi": "mpfr", "const_euler": "mpfr", "const_log2": "mpfr", "const_catalan": "mpfr",
    "from_binary": "Any",
}
PREFIX_RETURNS = [("is_", "bool"), ("c_", "Any"), ("f_", "Any"), ("t_", "Any")]

HEAD = '''\
# Type stubs of vexa2, written by scripts/make_stub.py from the built module.
from collections.abc import Iterator
from fractions import Fraction
from typing import Any, SupportsFloat, SupportsIndex, final, overload

__version__: str

_Int = int | mpz | xmpz
_Rat = _Int | mpq | Fraction
_Real = _Rat | float | mpfr
_Num = _Real | complex | mpc
_Text = str | bytes

RoundToNearest: int
RoundToZero: int
RoundUp: int
RoundDown: int
RoundAwayZero: int
Default: int

class _vexa2Error(ArithmeticError): ...  # the common base, not published by name
class RangeError(_vexa2Error): ...
class InexactResultError(_vexa2Error): ...
class OverflowResultError(InexactResultError): ...
class UnderflowResultError(InexactResultError): ...
class InvalidOperationError(_vexa2Error, ValueError): ...
class DivisionByZeroError(_vexa2Error, ZeroDivisionError): ...
'''

CTORS = {
    "mpz": ["def __new__(cls, n: _Real | SupportsIndex = ..., /) -> mpz: ...",
            "def __new__(cls, s: _Text, /, base: int = ...) -> mpz: ..."],
    "xmpz": ["def __new__(cls, n: _Real | SupportsIndex = ..., /) -> xmpz: ...",
             "def __new__(cls, s: _Text, /, base: int = ...) -> xmpz: ..."],
    "mpq": ["def __new__(cls, n: _Real = ..., /) -> mpq: ...",
            "def __new__(cls, n: _Rat, m: _Rat, /) -> mpq: ...",
            "def __new__(cls, s: _Text, /, base: int = ...) -> mpq: ..."],
    "mpfr": ["def __new__(cls, n: _Real | SupportsFloat = ..., /, precision: int = ..., "
             "context: context = ...) -> mpfr: ...",
             "def __new__(cls, s: _Text, /, precision: int = ..., base: int = ..., "
             "context: context = ...) -> mpfr: ..."],
    "mpc": ["def __new__(cls, c: complex | mpc = ..., /, precision: int | tuple[int, int] = ..., "
            "context: context = ...) -> mpc: ...",
            "def __new__(cls, real: _Real, /, imag: _Real = ..., "
            "precision: int | tuple[int, int] = ..., context: context = ...) -> mpc: ...",
            "def __new__(cls, s: _Text, /, precision: int | tuple[int, int] = ..., "
            "base: int = ..., context: context = ...) -> mpc: ..."],
}

# Names whose parameter list Python cannot express; these take (*args, **kwargs).
FREE_FORM = "(*args: Any, **kwargs: Any)"


def returns(name):
    if name in RETURNS:
        return RETURNS[name]
    for p, r in PREFIX_RETURNS:
        if name.startswith(p):
            return r
    return "Any"


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
    ctors = CTORS[tname]
    for c in ctors:
        if len(ctors) > 1:
            lines.append("    @overload")
        lines.append(f"    {c}")
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
        lines.append("    def __round__(self, ndigits: int | None = None, /) -> Any: ...")
    if "__trunc__" in vars(t):
        lines.append("    def __trunc__(self) -> mpz: ...")
    if "__floor__" in vars(t):
        lines.append("    def __floor__(self) -> mpz: ...")
    if "__ceil__" in vars(t):
        lines.append("    def __ceil__(self) -> mpz: ...")
    members(t, lines, skip_dunder=True)
    return lines


def members(t, lines, skip_dunder):
    for name, obj in sorted(vars(t).items()):
        if name.startswith("__") and f"def {name}(" in "\n".join(lines):
            continue  # written above with its types
        if name in ("__hash__", "__doc__", "__new__"):
            continue
        kind = type(obj).__name__
        if kind == "getset_descriptor":
            writable = obj.__set__ is not None and name in WRITABLE.get(t.__name__, ())
            ret = ATTRS.get(name, "Any")
            if writable:
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
            p, _ = params(fn, method=not (is_static or is_class))
            if is_class:
                p = "(cls, " + p[1:] if p != "()" else "(cls)"
                lines.append("    @classmethod")
            elif is_static:
                lines.append("    @staticmethod")
            lines.append(f"    def {name}{p} -> {returns(name)}: ...")
        elif kind == "wrapper_descriptor" or kind == "method-wrapper":
            continue
        else:
            lines.append(f"    {name}: {type(obj).__name__}")


ATTRS = {"numerator": "mpz", "denominator": "mpz", "real": "Any", "imag": "Any",
         "precision": "int", "rc": "int", "round": "int", "emax": "int", "emin": "int",
         "subnormalize": "bool", "inexact": "bool", "overflow": "bool", "underflow": "bool",
         "invalid": "bool", "erange": "bool", "divzero": "bool", "allow_complex": "bool",
         "rational_division": "bool", "allow_release_gil": "bool", "real_prec": "int",
         "imag_prec": "int", "real_round": "int", "imag_round": "int"}
WRITABLE = {"context": tuple(ATTRS) + tuple(
    "trap_" + n for n in ("inexact", "overflow", "underflow", "invalid", "erange", "divzero"))}
ATTRS.update({"trap_" + n: "bool" for n in ("inexact", "overflow", "underflow", "invalid", "erange", "divzero")})


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
        p, _ = params(obj, method=False)
        lines.append(f"def {name}{p} -> {returns(name)}: ...")
    return lines


def main():
    out = [HEAD]
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
    OUT.write_text(text)
    print(f"wrote {OUT}", file=sys.stderr)


if __name__ == "__main__":
    main()
