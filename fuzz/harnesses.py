"""Fuzz harnesses: each takes the fuzzer's bytes and feeds them to one entry.

A harness fails (the fuzzer reports a crash) when the entry raises anything
but the clean exceptions listed in CLEAN, or when a result disagrees with
Python's own answer for the same input. Process deaths are caught by the
fuzzer itself.
"""
import math

import vexa2
from vexa2 import context, mpc, mpfr, mpq, mpz, xmpz

CLEAN = (ValueError, TypeError, OverflowError, ZeroDivisionError, MemoryError, ArithmeticError, UnicodeError,
         KeyError, IndexError, AttributeError)
# Texts raised on purpose as SystemError / RuntimeError by the formatting and Fraction paths.
INTENDED = ("Internal error in", "Object does not appear to be Fraction",
            "The maximum precision for string formatting exceeded")
# Requests above these sizes are left to the hostile-input catalogue (they cost time, not faults).
MAX_SIZE = 1 << 16


def _clean(e):
    if isinstance(e, CLEAN):
        return True
    return isinstance(e, (SystemError, RuntimeError)) and str(e).startswith(INTENDED)


def _guard(fn, *args, **kw):
    """Calls fn; returns (True, result) or (False, None) on a clean exception."""
    try:
        return True, fn(*args, **kw)
    except Exception as e:  # noqa: BLE001
        if _clean(e):
            return False, None
        raise


class Input:
    """Turns the fuzzer's bytes into values (a small stand-in for atheris' provider)."""

    def __init__(self, data):
        self.data, self.pos = data, 0

    def byte(self):
        if self.pos >= len(self.data):
            return 0
        self.pos += 1
        return self.data[self.pos - 1]

    def int_in(self, lo, hi):
        span = hi - lo + 1
        v = 0
        for _ in range((span.bit_length() + 7) // 8):
            v = (v << 8) | self.byte()
        return lo + v % span

    def pick(self, seq):
        return seq[self.int_in(0, len(seq) - 1)]

    def text(self, n=None):
        n = self.int_in(0, 64) if n is None else n
        raw = self.data[self.pos:self.pos + n]
        self.pos += len(raw)
        return raw.decode("latin-1")

    def rest(self):
        raw = self.data[self.pos:]
        self.pos = len(self.data)
        return raw

    def number_text(self):
        """Text shaped like a number most of the time, arbitrary bytes otherwise."""
        if self.byte() % 4 == 0:
            return self.text()
        alphabet = "0123456789abcdefxXoObB+-_. eEjJ/()@pPinfatyINFNAL"
        return "".join(self.pick(alphabet) for _ in range(self.int_in(0, 40)))

    def value(self):
        """A number of some kind, often at an edge."""
        k = self.int_in(0, 11)
        if k == 0:
            return self.int_in(-2 ** 70, 2 ** 70)
        if k == 1:
            return self.pick([0, 1, -1, 2 ** 63, -2 ** 63, 2 ** 64 - 1, 10 ** 20])
        if k == 2:
            return self.pick([0.0, -0.0, 1.5, 1e308, 5e-324, math.inf, -math.inf, math.nan])
        if k == 3:
            return mpz(self.int_in(-2 ** 200, 2 ** 200))
        if k == 4:
            return mpq(self.int_in(-99, 99), self.int_in(1, 99))
        if k == 5:
            return mpfr(self.pick(["1.5", "-0", "inf", "nan", "1e-400", "3.14159", "-7e100"]))
        if k == 6:
            return mpc(complex(self.int_in(-9, 9), self.int_in(-9, 9)) / 4)
        if k == 7:
            return self.number_text()
        if k == 8:
            return complex(self.int_in(-5, 5), 0.5)
        if k == 9:
            return xmpz(self.int_in(-1000, 1000))
        if k == 10:
            return self.pick([None, True, b"12", [1], (1, 2)])
        return self.int_in(-MAX_SIZE, MAX_SIZE)


def _check_int(text, base, got):
    try:
        want = int(text, base)
    except (ValueError, TypeError):
        return
    assert got == want, (text, base, got, want)


def parse_int(data):
    inp = Input(data)
    base = inp.pick([0, 2, 8, 10, 16, 36, 62, 1, 63, -1, inp.int_in(0, 70)])
    text = inp.number_text()
    as_bytes = inp.byte() % 2
    arg = text.encode("latin-1") if as_bytes else text
    for ctor in (mpz, xmpz):
        ok, r = _guard(ctor, arg, base)
        if ok and not as_bytes and (base == 0 or 2 <= base <= 36):
            _check_int(text, base, int(r))


def parse_rat(data):
    inp = Input(data)
    base = inp.pick([0, 2, 10, 16, 36, 62, 63, inp.int_in(0, 70)])
    text = inp.number_text()
    ok, r = _guard(mpq, text, base)
    if ok:
        # The text of a rational reads back to the same rational.
        assert mpq(str(r)) == r, (text, base, r)


def parse_real(data):
    inp = Input(data)
    base = inp.pick([10, 2, 16, 36, 62, 63, 0, inp.int_in(0, 70)])
    prec = inp.pick([0, 1, 2, 53, 200, inp.int_in(-5, 3000)])
    text = inp.number_text()
    ok, r = _guard(mpfr, text, prec, base)
    if ok:
        str(r), repr(r)
        _guard(format, r, ".30g")


def parse_complex(data):
    inp = Input(data)
    base = inp.pick([10, 2, 16, 36, 0, 63, inp.int_in(0, 70)])
    prec = inp.pick([0, 53, (20, 30), inp.int_in(-3, 2000)])
    text = inp.number_text()
    _guard(mpc, text, prec, base)
    _guard(mpc, text.encode("latin-1"))


_SPEC_CHARS = "<>^=+- #0123456789,_.bdoxXneEfFgG%aAUDYZRj()zPM*\u00e9"


def _spec(inp):
    if inp.byte() % 3 == 0:
        s = inp.text(inp.int_in(0, 20))
    else:
        s = "".join(inp.pick(_SPEC_CHARS) for _ in range(inp.int_in(0, 14)))
    # Widths and precisions in the millions cost time, not faults: the catalogue has those.
    digits = "".join(ch if ch.isdigit() else " " for ch in s).split()
    return None if any(len(d) > 5 for d in digits) else s


def _format_harness(make):
    def harness(data):
        inp = Input(data)
        x = make(inp)
        spec = _spec(inp)
        if spec is not None:
            _guard(format, x, spec)
    return harness


format_mpz = _format_harness(lambda inp: mpz(inp.int_in(-2 ** 130, 2 ** 130)))
format_mpfr = _format_harness(lambda inp: mpfr(inp.pick(["0", "-0", "1.5", "inf", "-inf", "nan", "1e-300",
                                                         "123456789.987654321", "-2.5e100"]),
                                               inp.pick([2, 24, 53, 113, 300])))
format_mpc = _format_harness(lambda inp: mpc(inp.pick(["0", "1.5-2.5j", "(inf nanj)", "-0-0j", "1e100+1e-100j"])))
format_mpq = _format_harness(lambda inp: mpq(inp.int_in(-2 ** 130, 2 ** 130), inp.int_in(1, 2 ** 70)))


def from_binary(data):
    readers = [getattr(vexa2, n) for n in ("from_binary", "mpz_from_old_binary", "mpq_from_old_binary",
                                           "mpfr_from_old_binary") if hasattr(vexa2, n)]
    tb = getattr(vexa2, "to_binary", None)
    for fb in readers:
        ok, r = _guard(fb, bytes(data))
        if ok and tb is not None and fb is readers[0]:
            # A record that reads writes back to one that reads the same.
            back = fb(tb(r))
            assert back == r or r != r, (data, r, back)


_CTX_KEYS = ["precision", "real_prec", "imag_prec", "round", "real_round", "imag_round", "emax", "emin",
             "subnormalize", "trap_underflow", "trap_overflow", "trap_inexact", "trap_invalid", "trap_erange",
             "trap_divzero", "allow_complex", "rational_division", "allow_release_gil", "bogus"]


def _ctx_value(inp):
    return inp.pick([inp.int_in(-MAX_SIZE, MAX_SIZE), inp.int_in(-5, 5), True, False, None, 1.5, "x",
                     2 ** 31, -2 ** 31, 2 ** 63, vexa2.RoundDown, vexa2.RoundToNearest, vexa2.Default])


def context_keywords(data):
    inp = Input(data)
    kw = {inp.pick(_CTX_KEYS): _ctx_value(inp) for _ in range(inp.int_in(0, 5))}
    ok, ctx = _guard(context, **kw)
    if not ok or any(type(v) is int and abs(v) > MAX_SIZE for v in kw.values()):
        return  # huge precisions cost time, not faults: the catalogue has those
    # A context that was accepted computes without faults.
    with ctx:
        for fn in (lambda: mpfr(1) / 3, lambda: mpc(1, 2) * mpfr(3), lambda: mpfr(2) ** 1000,
                   lambda: mpfr("1e-300") ** 20, lambda: mpq(1, 3) / mpq(0), lambda: mpc(-1) ** 0.5,
                   lambda: str(mpfr(7) / 3)):
            _guard(fn)
    attr = inp.pick(_CTX_KEYS)
    _guard(setattr, ctx, attr, _ctx_value(inp))
    _guard(repr, ctx)


_CTORS = [mpz, xmpz, mpq, mpfr, mpc]
_KWS = ["base", "precision", "context", "imag", "bogus"]


def constructors(data):
    inp = Input(data)
    ctor = inp.pick(_CTORS)
    args = [inp.value() for _ in range(inp.int_in(0, 3))]
    kw = {}
    for _ in range(inp.int_in(0, 2)):
        k = inp.pick(_KWS)
        kw[k] = context(precision=inp.int_in(2, 300)) if k == "context" else inp.value()
    if any(isinstance(v, int) and abs(v) > MAX_SIZE for v in kw.values()):
        return  # huge precisions belong to the catalogue
    if ctor in (mpfr, mpc) and len(args) > 1 and isinstance(args[1], int) and abs(args[1]) > MAX_SIZE:
        return
    ok, r = _guard(ctor, *args, **kw)
    if ok:
        _guard(str, r)
        _guard(hash, r)
        _guard(ctor.__new__, ctor, *args, **kw)


HARNESSES = {
    "parse_int": parse_int,
    "parse_rat": parse_rat,
    "parse_real": parse_real,
    "parse_complex": parse_complex,
    "format_mpz": format_mpz,
    "format_mpfr": format_mpfr,
    "format_mpc": format_mpc,
    "format_mpq": format_mpq,
    "from_binary": from_binary,
    "context_keywords": context_keywords,
    "constructors": constructors,
}
