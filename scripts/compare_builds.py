"""Two builds of vexa2 against each other on one seeded battery of calls.

    python scripts/compare_builds.py OLD_PYTHON NEW_PYTHON [--calls N] [--seed S] [--show K]

Each interpreter (one with vexa2 installed, e.g. a worktree's .venv/bin/python)
runs the same battery in a child process: module functions, context methods,
methods and attributes of the number types, constructors, operators and the
built-in conversions, with arguments of every kind (Python and vexa2 numbers of
several precisions and special values, Decimal, text, None, objects with
__index__/__int__/__float__, objects whose conversions raise), wrong argument
counts and stray keywords, under one of a few contexts. Each call is recorded
as its result (type, repr, precision, rc) or its exception (class, message,
notes), with the context flags after it. The records are compared call by
call and the first K differences printed; a difference where the second build
lets an interrupt, MemoryError, SystemExit or RecursionError raised by an
argument's conversion through, where the first turned it into TypeError, is
counted apart. The exit status is 1 when any other difference is found.
"""
import argparse
import inspect
import itertools
import json
import os
import re
import subprocess
import sys
import tempfile
import threading
import time
import warnings

# ---------------------------------------------------------------- arguments

INTS = [0, 1, -1, 2, 3, -2, -3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 17, 24, 25, 31, 32, 33, 53, 63, 64, 65, 97,
        100, 101, 127, 128, 255, 256, 1000, 1009, 4095, 4096, 2**53 + 1, 2**62, 2**63 - 1, 2**63, -2**63,
        2**64 - 1, 2**64, -2**64 - 1, 10**20, -10**20, 10**30 + 7, 2**127 - 1, 3**100, -(5**80), 2**200 + 1,
        2**521 - 1]
FLOATS = [0.0, -0.0, 1.0, -1.0, 0.5, 1.5, 2.5, -2.5, 0.1, 3.0, 1e10, 1e-10, 1e300, -1e300, 1e-300, 5e-324, 2.0**53,
          1e16, 3.141592653589793, float("inf"), float("-inf"), float("nan"), 123.456, -7.0, 4096.0, 1e20]
REAL_TEXTS = ["0", "-0", "1", "-1", "0.5", "1.5", "2.5", "-2.5", "3.25", "0.1", "7", "-7", "1e10", "1e-10", "1e100",
              "-1e100", "1e-100", "123456789.125", "inf", "-inf", "nan", "1e3000", "-1e-3000", "4096", "1e20", "2",
              "3"]
PRECISIONS = [2, 24, 53, 53, 64, 100, 1000]
DECIMALS = ["0", "-0", "1", "1.5", "-2.5", "0.1", "1e10", "1E-10", "123456789012345678901234567890", "NaN", "sNaN",
            "Infinity", "-Infinity", "1e500", "-1e-500", "3.14159", "7"]
TEXTS = ["1", "-7", "1.5", "0x1f", "1/3", "nan", "inf", "abc", "", " 12 ", "1e10", "1_000", "(1+2j)", "1+2j", "0b101",
         "12345678901234567890", "ff"]
PROTOCOLS = ["__mpz__", "__mpq__", "__mpfr__", "__mpc__", "__index__"]
RAISED = ["KeyboardInterrupt", "MemoryError", "SystemExit", "RecursionError", "ValueError", "OverflowError",
          "TypeError", "AttributeError"]
PROPAGATED = {"KeyboardInterrupt", "MemoryError", "SystemExit", "RecursionError"}

THEMES = {
    "int": ["int", "int", "bool", "mpz", "mpz", "xmpz", "intsub", "index", "proto"],
    "rat": ["int", "mpz", "xmpz", "mpq", "mpq", "frac", "fracsub"],
    "real": ["int", "mpz", "mpq", "frac", "float", "mpfr", "mpfr", "mpfr", "dec", "floatsub"],
    "complex": ["int", "float", "mpfr", "mpfr", "complex", "mpc", "mpc"],
}
ANY_KINDS = sorted({k for ks in THEMES.values() for k in ks} | {
    "str", "bytes", "none", "list", "pair", "state", "ctx", "int_only", "float_only", "complex_only", "raise",
    "bad_index", "fake", "strsub", "proto", "proto", "raise"})
SELF_KIND = {"mpz": "mpz", "xmpz": "xmpz", "mpq": "mpq", "mpfr": "mpfr", "mpc": "mpc"}
KEYWORDS = ["precision", "context", "base", "bogus", "n", "x", "subnormalize", "imag", "err"]


def small_int(rng):
    if rng.random() < 0.75:
        return rng.choice(INTS)
    v = rng.getrandbits(rng.choice([rng.randint(1, 12), rng.randint(54, 300)]))
    return -v if rng.random() < 0.3 else v


def real_text(rng):
    return rng.choice(REAL_TEXTS) if rng.random() < 0.8 else repr(rng.uniform(-1000, 1000))


def gen_arg(rng, kind):
    """A description of an argument (plain data, the same in every build)."""
    if kind in ("int", "mpz", "xmpz", "intsub", "index", "int_only"):
        return (kind, small_int(rng))
    if kind == "bool":
        return (kind, rng.random() < 0.5)
    if kind in ("mpq", "frac", "fracsub"):
        return (kind, small_int(rng), rng.choice([d for d in INTS[:40] if d]))
    if kind in ("float", "floatsub", "float_only"):
        return (kind, rng.choice(FLOATS) if rng.random() < 0.8 else rng.uniform(-100, 100))
    if kind == "mpfr":
        return (kind, real_text(rng), rng.choice(PRECISIONS))
    if kind in ("complex", "complex_only"):
        return (kind, rng.choice(FLOATS[:12] + FLOATS[19:22]), rng.choice(FLOATS[:12]))
    if kind == "mpc":
        p = rng.choice(PRECISIONS)
        return (kind, real_text(rng), real_text(rng), p if rng.random() < 0.8 else (p, rng.choice(PRECISIONS)))
    if kind == "dec":
        return (kind, rng.choice(DECIMALS))
    if kind in ("str", "strsub"):
        return (kind, rng.choice(TEXTS))
    if kind == "bytes":
        return (kind, rng.choice([b"1", b"\x00\x01", b"", b"abc", b"\xff" * 9]))
    if kind == "pair":
        return (kind, rng.choice(PRECISIONS), rng.choice(PRECISIONS))
    if kind == "state":
        return (kind, rng.randint(0, 3))
    if kind == "ctx":
        return (kind, rng.randrange(len(CONTEXTS)))
    if kind == "raise":
        return (kind, rng.choice(RAISED), rng.choice(PROTOCOLS))
    if kind == "proto":
        return (kind, rng.choice(PROTOCOLS[:4]), small_int(rng), rng.random() < 0.1)
    if kind == "bad_index":
        return (kind, rng.choice([1.5, "7", None]))
    if kind == "fake":
        return (kind, rng.choice(["Fraction", "Decimal"]))
    return (kind,)


def gen_value_arg(rng, theme):
    if theme == "any" or rng.random() < 0.2:
        return gen_arg(rng, rng.choice(ANY_KINDS))
    return gen_arg(rng, rng.choice(THEMES[theme]))


# Contexts a call runs under (the first most often): keyword dictionaries,
# or the size of an IEEE context.
CONTEXTS = [
    {}, {}, {}, {"precision": 100}, {"precision": 24, "round": "RoundToZero"}, 64, 32,
    {"trap_inexact": True}, {"allow_complex": True}, {"rational_division": True},
    {"precision": 2, "round": "RoundUp", "emin": -100, "emax": 100},
    {"trap_overflow": True, "trap_underflow": True, "trap_invalid": True, "trap_divzero": True, "trap_erange": True,
     "emin": -1000, "emax": 1000},
    {"real_prec": 30, "imag_prec": 70, "round": "RoundDown"},
    {"subnormalize": True, "emin": -50, "emax": 50, "precision": 10},
]

# ------------------------------------------------------------------ targets

UNARY_OPS = ["neg", "pos", "abs", "invert", "int", "float", "complex", "bool", "hash", "index", "round", "trunc",
             "floor", "ceil", "str", "repr", "pickle", "copy", "len"]
BINARY_OPS = ["add", "sub", "mul", "truediv", "floordiv", "mod", "divmod", "pow", "lshift", "rshift", "and_", "or_",
              "xor", "lt", "le", "eq", "ne", "gt", "ge", "round2", "format", "getitem", "iadd", "isub", "imul",
              "itruediv", "ifloordiv", "imod", "ipow", "ilshift", "irshift", "iand", "ior", "ixor"]
SKIP_FUNCTIONS = {"license", "get_include"}         # print, or name the build's own path
SKIP_METHODS = {"limbs_finish", "limbs_modify", "limbs_read", "limbs_write"}   # raw addresses
TYPES = ["mpz", "xmpz", "mpq", "mpfr", "mpc"]
# Names of the operations the structural change went through: called more often.
FOCUS = re.compile(r"gcd|lcm|invert|divm|remove|isqrt|congruent|divisible|prime|prp|divexact|_div|_mod|bit_|popcount|"
                   r"hamdist|num_digits|unpack|lucas|fib|cmp|remquo|gamma_inc|atan2|agm|hypot|frexp|lgamma|modf|"
                   r"sin_cos|^inf$|^zero$|as_integer_ratio|as_mantissa_exp|random|conjugate|real|imag|neg|abs|mod|"
                   r"divmod|^(lt|le|eq|ne|gt|ge)$|shift|and_|or_|xor|fmod|copy_sign|maxnum|minnum|jn|yn|root")


def arity(fn):
    """(least, most or None, keyword names) of a callable, from its signature."""
    try:
        sig = inspect.signature(fn)
    except (ValueError, TypeError):
        return (0, 3, [])
    lo, hi, kws = 0, 0, []
    for p in sig.parameters.values():
        if p.name == "self" and p.kind == p.POSITIONAL_ONLY:
            continue
        if p.kind == p.VAR_POSITIONAL:
            hi = None
        elif p.kind in (p.POSITIONAL_ONLY, p.POSITIONAL_OR_KEYWORD):
            lo += p.default is p.empty
            hi = hi if hi is None else hi + 1
        if p.kind in (p.POSITIONAL_OR_KEYWORD, p.KEYWORD_ONLY):
            kws.append(p.name)
    return (lo, hi, kws)


def list_targets():
    import vexa2
    out = []
    for name in dir(vexa2):
        obj = getattr(vexa2, name)
        if name.startswith("_") or name in SKIP_FUNCTIONS or not callable(obj):
            continue
        if isinstance(obj, type):
            if name in TYPES or name == "context":
                out.append(["ctor", name, 0, 4, ["precision", "base", "context", "imag"]])
            continue
        out.append(["fn", name, *arity(obj)])
    ctx = vexa2.context()
    for name in dir(ctx):
        if not name.startswith("_") and callable(getattr(ctx, name)):
            out.append(["ctxm", name, *arity(getattr(ctx, name))])
    for t in TYPES:
        cls = getattr(vexa2, t)
        for name in dir(cls):
            if (name.startswith("__") and name not in ("__format__", "__round__", "__sizeof__", "__reduce__")) \
                    or name in SKIP_METHODS:
                continue
            attr = getattr(cls, name)
            if inspect.isgetsetdescriptor(attr) or inspect.ismemberdescriptor(attr):
                out.append(["attr", t + "." + name, 0, 0, []])
            elif callable(attr):
                out.append(["meth", t + "." + name, *arity(attr)])
    out += [["op", n, 1, 1, []] for n in UNARY_OPS] + [["op", n, 2, 2, []] for n in BINARY_OPS]
    out += [["op", "pow3", 3, 3, []]]
    return out


# ------------------------------------------------------------ one call

def plan(seed, i, targets, weights):
    """What call i does: (target, self spec, argument specs, keywords, context)."""
    import random
    rng = random.Random(f"{seed}:{i}")
    kind, name, lo, hi, kws = rng.choices(targets, weights)[0]
    theme = rng.choice(["int", "int", "rat", "real", "real", "complex", "any"])
    r = rng.random()
    if r < 0.82 or kind == "op":
        top = (lo + 3) if hi is None else hi
        n = rng.randint(lo, max(lo, top))
    else:      # a wrong count of arguments
        n = rng.choice([k for k in range(0, 6) if not (lo <= k <= (hi if hi is not None else 99))] or [lo])
    args = [gen_value_arg(rng, theme) for _ in range(n)]
    if kind == "op" and not any(s[0] in TYPES for s in args):   # a vexa2 number on one side at least
        args[0 if name == "round2" else rng.randrange(n)] = gen_arg(rng, rng.choice(TYPES))
    if kind == "op" and name == "format":
        args[1] = ("str", rng.choice(["", "d", "x", "+b", ".10f", ".3e", "g", "^20", ".0%", "_", "a", "n", ".5Rf",
                                      ".2Df", ",.3f", "#o", "=+12.4g", ".1000f"]))
    if kind == "op" and name == "getitem" and rng.random() < 0.5:
        args[1] = ("slice", rng.choice([None, 0, 1, 3]), rng.choice([None, 5, 64, -1]), rng.choice([None, 1, 2]))
    kw = {}
    if kind != "op" and (r > 0.93 or (kws and rng.random() < 0.15)):
        key = rng.choice(kws + KEYWORDS) if kws else rng.choice(KEYWORDS)
        kw[key] = gen_value_arg(rng, "int" if rng.random() < 0.5 else "any")
    self_spec = None
    if kind in ("meth", "attr"):
        self_spec = gen_arg(rng, SELF_KIND[name.split(".")[0]])
    ctx = 0 if rng.random() < 0.55 else rng.randrange(len(CONTEXTS))
    mctx = rng.randrange(len(CONTEXTS)) if kind == "ctxm" else None
    return kind, name, self_spec, args, kw, ctx, mctx


def make_world():
    """The classes and constructors the child needs (built once)."""
    import copy
    import decimal
    import fractions
    import operator
    import pickle
    import vexa2

    def only(method, label):
        """A class whose instances hold v and convert to it by `method` alone."""
        return type(label, (), {"__init__": lambda self, v: setattr(self, "v", v), method: lambda self: self.v,
                                "__repr__": lambda self: f"{label}({self.v!r})"})

    Index, IntOnly, FloatOnly, ComplexOnly = (only(m, n) for m, n in (
        ("__index__", "Index"), ("__int__", "IntOnly"), ("__float__", "FloatOnly"), ("__complex__", "ComplexOnly")))

    classes = {}

    def raiser(exc, proto):
        """An object whose conversion `proto` (__index__: also __int__,
        __float__, __complex__) raises exc."""
        if (exc, proto) not in classes:
            def fail(self, *a):
                raise getattr(__import__("builtins"), exc)("raised by the argument")
            names = ["__index__", "__int__", "__float__", "__complex__"] if proto == "__index__" else [proto]
            classes[exc, proto] = type("Raiser", (), {**dict.fromkeys(names, fail),
                                                      "__repr__": lambda self: f"Raiser({exc}, {proto})"})
        return classes[exc, proto]()

    def protocol(proto, v, lie):
        """An object converted by `proto`, to v (to a float when it lies)."""
        def conv(self):
            if lie:
                return 1.5
            return {"__mpz__": vexa2.mpz, "__mpq__": lambda v: vexa2.mpq(v, 3), "__mpfr__": vexa2.mpfr,
                    "__mpc__": lambda v: vexa2.mpc(v, 1)}[proto](v)
        return type("Proto", (), {proto: conv, "__repr__": lambda self: f"Proto({proto}, {v}, {lie})"})()

    class IntSub(int):
        def __repr__(self): return f"IntSub({int(self)})"

    class FloatSub(float):
        def __repr__(self): return f"FloatSub({float(self)!r})"

    class FracSub(fractions.Fraction):
        def __repr__(self): return f"FracSub({self.numerator}, {self.denominator})"

    class StrSub(str):
        pass

    def fake(name):
        def boom(self, *a): raise ValueError("impostor")
        cls = type(name, (), {"numerator": 1, "denominator": 0, "as_integer_ratio": boom, "as_tuple": boom,
                              "is_finite": boom, "__repr__": lambda self: f"fake {name}"})
        return cls()

    def context_of(k):
        c = CONTEXTS[k]
        if isinstance(c, int):
            return vexa2.ieee(c)
        return vexa2.context(**{key: getattr(vexa2, v) if key == "round" else v for key, v in c.items()})

    makers = {
        "int": lambda v: v, "bool": lambda v: v, "mpz": vexa2.mpz, "xmpz": vexa2.xmpz, "intsub": IntSub,
        "index": Index, "int_only": IntOnly, "mpq": vexa2.mpq, "frac": fractions.Fraction, "fracsub": FracSub,
        "float": lambda v: v, "floatsub": FloatSub, "float_only": FloatOnly,
        "mpfr": lambda t, p: vexa2.mpfr(t, p),
        "complex": complex, "complex_only": lambda a, b: ComplexOnly(complex(a, b)),
        "mpc": lambda a, b, p: vexa2.mpc(vexa2.mpfr(a, p if isinstance(p, int) else p[0]),
                                         vexa2.mpfr(b, p if isinstance(p, int) else p[1])),
        "dec": decimal.Decimal, "str": lambda s: s, "strsub": StrSub, "bytes": lambda b: b, "none": lambda: None,
        "list": lambda: [1, 2], "pair": lambda a, b: (a, b), "state": vexa2.random_state, "ctx": context_of,
        "raise": raiser, "proto": protocol, "bad_index": Index, "fake": fake, "slice": slice,
    }

    def make(spec):
        return makers[spec[0]](*spec[1:])

    unary = {"neg": operator.neg, "pos": operator.pos, "abs": abs, "invert": operator.invert, "int": int,
             "float": float, "complex": complex, "bool": bool, "hash": hash, "index": operator.index,
             "round": round, "trunc": __import__("math").trunc, "floor": __import__("math").floor,
             "ceil": __import__("math").ceil, "str": str, "repr": repr, "len": len,
             "pickle": lambda x: pickle.loads(pickle.dumps(x)), "copy": copy.copy}
    binary = {n: getattr(operator, n) for n in BINARY_OPS if hasattr(operator, n)}
    binary.update(divmod=divmod, pow=pow, round2=round, format=format)
    ops = {**unary, **binary, "pow3": pow}
    return vexa2, make, context_of, ops


ADDRESS = re.compile(r" at 0x[0-9a-f]+|0x[0-9a-f]{8,}")
FLAGS = ["underflow", "overflow", "inexact", "invalid", "erange", "divzero"]


def show(v, depth=0):
    """The record of a value: type, repr (long ones by digest), precision and rc."""
    name = type(v).__name__
    if isinstance(v, (tuple, list)) and depth < 3:
        return name + "[" + ", ".join(show(e, depth + 1) for e in v[:64]) + "]"
    if hasattr(v, "__next__") and depth < 3:
        return "iter[" + ", ".join(show(e, depth + 1) for e in itertools.islice(v, 64)) + "]"
    text = ADDRESS.sub(" at ADDR", repr(v))
    if len(text) > 400:
        import hashlib
        text = f"<{len(text)} chars {hashlib.sha1(text.encode()).hexdigest()[:16]}>"
    extra = ""
    if name in ("mpfr", "mpc"):
        extra = f" p={v.precision} rc={v.rc}"
    return f"{name}:{text}{extra}"


def is_nan(x):
    try:
        return x != x
    except BaseException:
        return False


def flags_of(c):
    return "".join(f[:2] for f in FLAGS if getattr(c, f))


def child(seed, first, count, targets_file, out_file):
    import resource
    resource.setrlimit(resource.RLIMIT_AS, (4 << 30, 4 << 30))
    sys.setrecursionlimit(10000)
    warnings.simplefilter("ignore")
    with open(targets_file) as f:
        targets = json.load(f)
    weights = [4 if FOCUS.search(t[1].split(".")[-1]) else 1 for t in targets]
    vexa2, make, context_of, ops = make_world()
    slow = []
    with open(out_file, "w", buffering=1) as out:
        for i in range(first, first + count):
            kind, name, self_spec, arg_specs, kw_specs, ctx_k, mctx_k = plan(seed, i, targets, weights)
            desc = f"{kind} {name} self={self_spec} args={arg_specs} kw={kw_specs} ctx={ctx_k}" + \
                   (f" on={mctx_k}" if mctx_k is not None else "")
            out.write(f"{i}\t{desc}\n")
            try:
                vexa2.set_context(context_of(0))       # the arguments are made in the default context
                args = [make(s) for s in arg_specs]
                kw = {k: make(s) for k, s in kw_specs.items()}
                mctx = context_of(mctx_k) if mctx_k is not None else None
                self_obj = make(self_spec) if self_spec else None
                vexa2.set_context(context_of(ctx_k))
            except BaseException as e:
                out.write(f"=\tsetup {type(e).__name__}: {e}\n")
                continue
            t0 = time.perf_counter()
            try:
                if kind == "fn":
                    r = getattr(vexa2, name)(*args, **kw)
                elif kind == "ctor":
                    r = getattr(vexa2, name)(*args, **kw)
                elif kind == "ctxm":
                    r = getattr(mctx, name)(*args, **kw)
                elif kind == "meth":
                    r = getattr(self_obj, name.split(".")[1])(*args, **kw)
                elif kind == "attr":
                    r = getattr(self_obj, name.split(".")[1])
                else:
                    if name == "hash" and (is_nan(args[0]) or type(args[0]).__hash__ is object.__hash__):
                        args[0] = 0          # hashed by its address
                    r = ops[name](*args)
                # The size of a number depends on the buffers its process reused.
                res = show(r) if not name.endswith("__sizeof__") else type(r).__name__
            except BaseException as e:
                notes = getattr(e, "__notes__", None)
                res = f"!{type(e).__name__}: {ADDRESS.sub(' at ADDR', str(e))}" + (f" notes={notes}" if notes else "")
            took = time.perf_counter() - t0
            if took > 0.5:
                slow.append((took, desc))
            after = [show(a) for a in [self_obj, *args] if type(a).__name__ == "xmpz"]
            fl = flags_of(vexa2.get_context()) + ("/" + flags_of(mctx) if mctx is not None else "")
            out.write(f"=\t{res}\tflags={fl}" + (f"\txmpz={after}" if after else "") + "\n")
    for took, desc in sorted(slow, reverse=True)[:10]:
        print(f"slow call ({took:.2f} s): {desc}", file=sys.stderr)


# ------------------------------------------------------------------- parent

def run_children(pythons, argv_tail, timeout):
    procs = [subprocess.Popen([py, os.path.abspath(__file__), *argv_tail(k)], env=CHILD_ENV,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
             for k, py in enumerate(pythons)]
    results = []
    for p in procs:
        try:
            out, err = p.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            p.kill()
            out, err = p.communicate()
            err += "\n(timed out)"
        results.append((p.returncode, out, err))
    return results


CHILD_ENV = {**os.environ, "PYTHONHASHSEED": "0"}


def run_battery(py, seed, calls, targets_file, out_file, stall, log):
    """Runs calls 0..calls-1 in children of py, a new child after a call that
    crashed or made no progress for `stall` seconds (that call is recorded as
    such). Returns {index: (description, outcome)}."""
    rec, start, part = {}, 0, 0
    while start < calls:
        path = f"{out_file}.{part}"
        part += 1
        with open(path + ".err", "w") as err:
            p = subprocess.Popen([py, os.path.abspath(__file__), "--seed", str(seed), "--child", str(start),
                                  str(calls - start), targets_file, path], env=CHILD_ENV, stderr=err)
            size, seen = -1, time.monotonic()
            while p.poll() is None:
                time.sleep(0.5)
                now = os.path.getsize(path) if os.path.exists(path) else 0
                if now != size:
                    size, seen = now, time.monotonic()
                elif time.monotonic() - seen > stall:
                    p.kill()
                    p.wait()
        with open(path + ".err") as err:
            for line in err:
                log.append(f"{py}: {line.rstrip()}")
        got = read_records(path) if os.path.exists(path) else {}
        rec.update(got)
        stuck = [i for i, (_, o) in got.items() if o is None]
        if not stuck:
            if p.returncode != 0:
                log.append(f"{py}: child exit status {p.returncode} before its first call ({start})")
                for i in range(start, calls):
                    rec[i] = ("(not reached)", None)
                break
            break
        i = stuck[0]
        what = "no answer in %d s" % stall if p.returncode == -9 else f"exit status {p.returncode}"
        rec[i] = (rec[i][0], f"(child stopped: {what})")
        start = i + 1
    return rec


def read_records(path):
    """{call index: (description, outcome)}; the outcome None when the child stopped in the call."""
    rec = {}
    with open(path) as f:
        cur = None
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("=\t"):
                rec[cur] = (rec[cur][0], line[2:])
            else:
                i, desc = line.split("\t", 1)
                cur = int(i)
                rec[cur] = (desc, None)
    return rec


def intended(desc, old, new):
    """An error raised by an argument's conversion that now reaches the caller."""
    m = re.match(r"!(\w+):", new)
    return (m and m.group(1) in PROPAGATED and old.startswith("!TypeError")
            and f"('raise', '{m.group(1)}'" in desc)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("old", nargs="?")
    ap.add_argument("new", nargs="?")
    ap.add_argument("--calls", type=int, default=200000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--show", type=int, default=20, help="differences printed")
    ap.add_argument("--stall", type=float, default=30, help="seconds without progress before a call counts as hung")
    ap.add_argument("--child", nargs=4, help=argparse.SUPPRESS)
    ap.add_argument("--list", action="store_true", help=argparse.SUPPRESS)
    a = ap.parse_args()
    if a.list:
        print(json.dumps(list_targets()))
        return 0
    if a.child:
        first, count, targets_file, out_file = a.child
        child(a.seed, int(first), int(count), targets_file, out_file)
        return 0

    pythons = [a.old, a.new]
    listed = run_children(pythons, lambda k: ["--list"], 120)
    for (rc, out, err), py in zip(listed, pythons):
        if rc != 0:
            sys.exit(f"{py}: listing the operations failed:\n{err}")
    lists = [{(t[0], t[1]): t for t in json.loads(out)} for _, out, _ in listed]
    for k, other in ((0, 1), (1, 0)):
        for key in sorted(lists[k].keys() - lists[other].keys()):
            print(f"only in {pythons[k]}: {key[0]} {key[1]}")
    common = sorted(lists[0].keys() & lists[1].keys())
    for key in common:
        if lists[0][key] != lists[1][key]:
            print(f"signature differs: {lists[0][key]} / {lists[1][key]}")
    tmp = tempfile.mkdtemp(prefix="compare_builds.")
    targets_file = os.path.join(tmp, "targets.json")
    with open(targets_file, "w") as f:
        json.dump([lists[0][key] for key in common], f)
    t0 = time.time()
    recs, log = [None, None], []

    def one(k):
        recs[k] = run_battery(pythons[k], a.seed, a.calls, targets_file, os.path.join(tmp, f"build{k}"), a.stall, log)
    threads = [threading.Thread(target=one, args=(k,)) for k in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    print(f"{len(common)} operations, {a.calls} calls in each build ({time.time() - t0:.0f} s); records in {tmp}")
    for line in log:
        print(line)
    for k in range(2):
        for i, (desc, o) in sorted(recs[k].items()):
            if o and o.startswith("(child stopped"):
                print(f"{pythons[k]}: #{i} {desc}: {o}")
    same = expected = 0
    differ = []
    for i in range(a.calls):
        (d0, o0), (d1, o1) = (r.get(i, ("(not reached)", None)) for r in recs)
        if d0 == d1 and o0 == o1 and o0 is not None:
            same += 1
        elif o0 is not None and o1 is not None and d0 == d1 and intended(d0, o0, o1):
            expected += 1
        else:
            differ.append((i, d0 if d0 == d1 else f"{d0}\n      / {d1}", o0, o1))
    print(f"identical: {same}; conversion errors now propagated (intended): {expected}; other differences: "
          f"{len(differ)}")
    for i, desc, o0, o1 in differ[:a.show]:
        print(f"\n#{i} {desc}\n  old: {o0 or '(the child stopped here)'}\n  new: {o1 or '(the child stopped here)'}")
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
