import asyncio
import contextvars
import re
import threading
import warnings

import pytest

import vexa2
from vexa2 import context, get_context, local_context, mpfr, set_context

PREC_MAX = 2**63 - 257
EXP_MAX = 2**62 - 1
FLAGS = ["underflow", "overflow", "inexact", "invalid", "erange", "divzero"]
TRAPS = ["trap_" + f for f in FLAGS]
SWITCHES = ["subnormalize", "allow_complex", "rational_division", "allow_release_gil"]

FRESH = """context(precision=53, real_prec=Default, imag_prec=Default,
        round=RoundToNearest, real_round=Default, imag_round=Default,
        emax=1073741823, emin=-1073741823,
        subnormalize=False,
        trap_underflow=False, underflow=False,
        trap_overflow=False, overflow=False,
        trap_inexact=False, inexact=False,
        trap_invalid=False, invalid=False,
        trap_erange=False, erange=False,
        trap_divzero=False, divzero=False,
        allow_complex=False,
        rational_division=False,
        allow_release_gil=False)"""

DEPRECATED = "local_context() is deprecated, use context(get_context()) instead."


def raises(exc, msg):
    return pytest.raises(exc, match="^" + re.escape(msg) + r"(\n|\Z)")  # notes may follow


# ---- construction and printed form ----

def test_fresh_context_prints_defaults():
    c = context()
    assert repr(c) == str(c) == FRESH


def test_changed_context_prints_stored_values():
    c = context(precision=100, imag_prec=20, round=vexa2.RoundDown, imag_round=vexa2.RoundUp,
                emax=1000, emin=-1000, subnormalize=True, trap_inexact=True,
                trap_divzero=True, allow_complex=True, rational_division=True)
    c.overflow = True
    assert repr(c) == """context(precision=100, real_prec=Default, imag_prec=20,
        round=RoundDown, real_round=Default, imag_round=RoundUp,
        emax=1000, emin=-1000,
        subnormalize=True,
        trap_underflow=False, underflow=False,
        trap_overflow=False, overflow=True,
        trap_inexact=True, inexact=False,
        trap_invalid=False, invalid=False,
        trap_erange=False, erange=False,
        trap_divzero=True, divzero=False,
        allow_complex=True,
        rational_division=True,
        allow_release_gil=False)"""


def test_context_ignores_current_and_copies_given():
    get_context().precision = 100
    assert context().precision == 53
    src = context(precision=77, trap_overflow=True)
    src.inexact = True
    c = context(src)
    assert c is not src and repr(c) == repr(src)
    d = src.copy()
    assert d is not src and repr(d) == repr(src)
    d.precision = 10
    assert src.precision == 77


@pytest.mark.parametrize("args", [(1,), (None,), ("ctx",), (context(), context())])
def test_context_positional_errors(args):
    with raises(ValueError, "context() only supports [[context][,keyword]] arguments"):
        context(*args)


@pytest.mark.parametrize(
    "kwargs",
    [dict(foo=1), dict(precision="53"), dict(precision=53.0), dict(round=1.0),
     dict(inexact=True), dict(precision=2**63), dict(emax=2**64), dict(round=2**31),
     dict(trap_inexact=None)],
)
def test_keyword_parse_errors(kwargs):
    with raises(ValueError, "invalid keyword arguments for context"):
        context(**kwargs)


@pytest.mark.parametrize(
    "kwargs, msg",
    [
        (dict(precision=0, real_prec=0), "invalid value for precision"),
        (dict(precision=PREC_MAX + 1), "invalid value for precision"),
        (dict(real_prec=0, imag_prec=0), "invalid value for real_prec"),
        (dict(real_prec=-2), "invalid value for real_prec"),
        (dict(imag_prec=PREC_MAX + 1, round=9), "invalid value for imag_prec"),
        (dict(round=5, real_round=9), "invalid value for round"),
        (dict(round=-1), "invalid value for round"),
        (dict(real_round=4, imag_round=9), "invalid value for real_round"),
        (dict(imag_round=-2, emin=-(2**62)), "invalid value for imag_round"),
        (dict(emax=EXP_MAX + 1, emin=-(2**62)), "invalid value for emin"),
        (dict(emax=EXP_MAX + 1), "invalid value for emax"),
    ],
)
def test_keyword_validation_order(kwargs, msg):
    with raises(ValueError, msg):
        context(**kwargs)


def test_keyword_values_accepted():
    c = context(precision=1, real_prec=-1, imag_prec=PREC_MAX, emax=EXP_MAX, emin=-EXP_MAX)
    assert (c.precision, c.imag_prec, c.emax, c.emin) == (1, PREC_MAX, EXP_MAX, -EXP_MAX)
    assert "real_prec=Default" in repr(c)
    assert context(precision=True).precision == 1
    # round=4 forces nearest for the parts, whatever they were given
    c = context(round=4, real_round=2, imag_round=9)
    assert (c.round, c.real_round, c.imag_round) == (4, 0, 0)
    c = context(subnormalize=7, allow_complex=5, rational_division=-1, allow_release_gil=2)
    assert all(getattr(c, s) is True for s in SWITCHES)
    assert "subnormalize=True," in repr(c)


def test_trap_keywords_start_from_copied_context():
    assert context(trap_inexact=True).trap_overflow is False
    src = context(trap_inexact=True, trap_divzero=True, trap_underflow=True)
    c = context(src, trap_inexact=False, trap_erange=True)
    assert [getattr(c, t) for t in TRAPS] == [True, False, False, False, True, True]


# ---- attributes ----

INT_ATTRS = [
    ("precision", "precision must be Python integer", "invalid value for precision", 1, PREC_MAX),
    ("real_prec", "real_prec must be Python integer", "invalid value for real_prec", 1, PREC_MAX),
    ("imag_prec", "imag_prec must be Python integer", "invalid value for imag_prec", 1, PREC_MAX),
    ("round", "round mode must be Python integer", "invalid value for round mode", 0, 4),
    ("real_round", "round mode must be Python integer", "invalid value for round mode", -1, 3),
    ("imag_round", "round mode must be Python integer", "invalid value for round mode", -1, 3),
    ("emax", "emax must be Python integer", "requested maximum exponent is invalid",
     -EXP_MAX, EXP_MAX),
    ("emin", "emin must be Python integer", "requested minimum exponent is invalid",
     -EXP_MAX, EXP_MAX),
]


@pytest.mark.parametrize("name, type_msg, value_msg, lo, hi", INT_ATTRS)
def test_int_attribute_range_and_errors(name, type_msg, value_msg, lo, hi):
    c = context()
    for ok in (lo, hi):
        setattr(c, name, ok)
        # Default (-1) for a part rounding reads back as the effective mode
        assert getattr(c, name) == (0 if ok == -1 else ok)
        assert type(getattr(c, name)) is int
    for bad in ("3", 3.0, None):
        with raises(TypeError, type_msg):
            setattr(c, name, bad)
    for bad in (lo - 1, hi + 1, 2**64, -(2**64), 2**200):
        with raises(ValueError, value_msg):
            setattr(c, name, bad)
    assert getattr(c, name) == hi  # failed assignments left the field alone


def test_int_attribute_edge_values():
    c = context()
    c.precision = type("Bits", (int,), {})(200)
    c.round = True
    assert (c.precision, c.round) == (200, 1)
    with raises(ValueError, "invalid value for real_prec"):
        c.real_prec = -1


def test_effective_part_precision_and_rounding():
    c = context()
    c.precision = 90
    assert (c.real_prec, c.imag_prec) == (90, 90)
    c.real_prec = 40
    c.precision = 100
    assert (c.real_prec, c.imag_prec) == (40, 40)
    c.imag_prec = 30
    assert (c.precision, c.real_prec, c.imag_prec) == (100, 40, 30)
    assert "real_prec=40, imag_prec=30" in repr(c)

    c.round = vexa2.RoundDown
    assert (c.real_round, c.imag_round) == (3, 3)
    c.real_round = vexa2.RoundUp
    assert (c.round, c.real_round, c.imag_round) == (3, 2, 2)
    c.imag_round = vexa2.RoundToZero
    c.real_round = vexa2.Default
    assert (c.real_round, c.imag_round) == (3, 1)
    c.round = vexa2.RoundAwayZero
    assert (c.real_round, c.imag_round) == (0, 0)
    assert "round=RoundAwayZero, real_round=RoundToNearest, imag_round=RoundToNearest," in repr(c)


@pytest.mark.parametrize("name", FLAGS + TRAPS + SWITCHES)
def test_bool_attributes(name):
    c = context()
    assert getattr(c, name) is False
    setattr(c, name, True)
    assert getattr(c, name) is True
    for bad in (1, 0, None, "True"):
        with raises(TypeError, f"{name} must be True or False"):
            setattr(c, name, bad)
    assert getattr(c, name) is True
    setattr(c, name, False)
    assert getattr(c, name) is False


@pytest.mark.parametrize("name", TRAPS)
def test_trap_setter_touches_only_its_bit(name):
    others = [t for t in TRAPS if t != name]
    c = context(**{t: True for t in others})
    setattr(c, name, True)
    assert all(getattr(c, t) for t in TRAPS)
    setattr(c, name, False)
    assert [getattr(c, t) for t in others] == [True] * 5 and getattr(c, name) is False
    assert not any(getattr(c, f) for f in FLAGS)


def test_clear_flags_keeps_traps_and_settings():
    c = context(precision=64, round=2, trap_invalid=True, subnormalize=True)
    for f in FLAGS:
        setattr(c, f, True)
    assert c.clear_flags() is None
    assert not any(getattr(c, f) for f in FLAGS)
    assert repr(c) == repr(context(precision=64, round=2, trap_invalid=True, subnormalize=True))


def test_deleting_attributes_is_refused():
    c = context()
    for name in ["precision", "round", "emax", "inexact", "trap_erange", "allow_complex"]:
        with pytest.raises((TypeError, AttributeError)):
            delattr(c, name)
    assert repr(c) == FRESH


# ---- current context ----

def test_get_and_set_context():
    c = get_context()
    assert get_context() is c
    mine = context(precision=120)
    assert set_context(mine) is None
    assert get_context() is mine
    mine.precision = 130
    assert get_context().precision == 130
    for bad in (5, None, vexa2):
        with raises(ValueError, "set_context() requires a context argument"):
            set_context(bad)
    assert get_context() is mine


def test_local_context_copies_current_without_installing():
    get_context().precision = 99
    with pytest.warns(DeprecationWarning, match="^" + re.escape(DEPRECATED) + "$") as rec:
        c = local_context()
    assert rec[0].filename == __file__
    assert c is not get_context() and c.precision == 99
    src = context(precision=20, trap_divzero=True)
    with pytest.warns(DeprecationWarning):
        d = local_context(src, trap_inexact=True, round=1)
    assert (d.precision, d.round, d.trap_divzero, d.trap_inexact) == (20, 1, True, True)
    assert src.trap_inexact is False and src.round == 0
    with warnings.catch_warnings():
        warnings.simplefilter("error", DeprecationWarning)
        with raises(DeprecationWarning, DEPRECATED):
            local_context()


@pytest.mark.parametrize(
    "args, kwargs, msg",
    [((5,), {}, "local_context() only supports [[context][,keyword]] arguments"),
     ((context(), context()), {}, "local_context() only supports [[context][,keyword]] arguments"),
     ((), dict(foo=1), "invalid keyword arguments for context"),
     ((), dict(precision=0), "invalid value for precision")],
)
def test_local_context_errors(args, kwargs, msg):
    with pytest.warns(DeprecationWarning), raises(ValueError, msg):
        local_context(*args, **kwargs)


def test_with_block_installs_a_copy():
    outer = get_context()
    c = context(precision=80, trap_inexact=True)
    c.inexact = True
    with c as d:
        assert d is not c and get_context() is d
        assert repr(d) == repr(c)
        d.precision = 90
        d.divzero = True
        assert get_context().precision == 90
    assert get_context() is outer
    assert c.precision == 80 and c.divzero is False and outer.divzero is False


def test_with_block_restores_after_exception():
    outer = get_context()
    with pytest.raises(KeyError):
        with context(precision=7):
            raise KeyError("x")
    assert get_context() is outer


def test_nested_blocks_and_reentry_of_same_context():
    outer = get_context()
    a, b = context(precision=10), context(precision=20)
    with a as x:
        with b as y:
            assert get_context() is y
            with a as z:
                assert get_context() is z and z is not x
                with a as w:
                    assert get_context() is w
                assert get_context() is z
            assert get_context() is y
        assert get_context() is x
    assert get_context() is outer


def test_exit_without_enter():
    c = context()
    with raises(SystemError, "Unexpected failure in restoring context."):
        c.__exit__(None, None, None)
    c.__enter__()
    assert c.__exit__(None, None, None) is None
    with raises(SystemError, "Unexpected failure in restoring context."):
        c.__exit__(None, None, None)


def run_in_thread(fn):
    result = []
    t = threading.Thread(target=lambda: result.append(fn()))
    t.start()
    t.join()
    return result[0]


def test_new_thread_gets_fresh_context():
    main = get_context()
    main.precision = 200

    def work():
        c = get_context()
        same = get_context() is c
        first = repr(c)
        c.precision = 300
        set_context(context(precision=400))
        return c, same, first

    c, same, first = run_in_thread(work)
    assert c is not main and same and first == FRESH
    assert get_context() is main and main.precision == 200

    def block_first():
        # the block ends with the variable unset again: a fresh default follows
        with context(precision=99) as d:
            pass
        return get_context() is d, repr(get_context())

    assert run_in_thread(block_first) == (False, FRESH)


def test_asyncio_tasks_are_isolated():
    main = get_context()

    async def task(prec):
        set_context(context(precision=prec))
        await asyncio.sleep(0)
        return get_context().precision

    async def run():
        return await asyncio.gather(task(60), task(70))

    assert asyncio.run(run()) == [60, 70]
    assert get_context() is main and main.precision == 53


def test_shared_context_entered_by_concurrent_tasks():
    shared = context(precision=150)

    async def task(prec):
        with shared as d:
            d.precision = prec
            await asyncio.sleep(0)
            assert get_context() is d
        return get_context().precision

    async def run():
        return await asyncio.gather(task(60), task(70))

    assert asyncio.run(run()) == [53, 53]
    assert shared.precision == 150


def test_shared_context_entered_by_many_threads():
    # One context object entered by many threads at once: every block gets
    # its own copy and every exit restores its own thread's context.
    shared = context(precision=80)
    errors = []

    def work():
        try:
            for _ in range(3000):
                with shared as d:
                    assert get_context() is d and d.precision == 80
                    assert (vexa2.mpfr(1) / 3).precision == 80
                assert get_context() is not d
        except Exception as e:  # pragma: no cover - reported below
            errors.append(repr(e))

    threads = [threading.Thread(target=work) for _ in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []
    with raises(SystemError, "Unexpected failure in restoring context."):
        shared.__exit__(None, None, None)  # every token was consumed


@pytest.mark.thread_unsafe(reason="starts its own threads")
def test_flags_raised_by_threads_sharing_a_context():
    # Each thread raises its own condition on one shared context, cleared
    # between rounds: no thread's flag may be lost.
    shared = context(emax=100, emin=-100)
    raise_one = {
        "overflow": lambda: vexa2.mpfr(2) ** 200,
        "underflow": lambda: vexa2.mpfr(2) ** -200,
        "divzero": lambda: vexa2.mpfr(1) / 0,
        "erange": lambda: vexa2.mpfr("nan") < 1,
    }
    barrier = threading.Barrier(len(raise_one) + 1)

    def work(name):
        set_context(shared)
        for _ in range(200):
            barrier.wait()
            raise_one[name]()
            barrier.wait()

    threads = [threading.Thread(target=work, args=(n,)) for n in raise_one]
    for t in threads:
        t.start()
    for _ in range(200):
        shared.clear_flags()
        barrier.wait()
        barrier.wait()
        assert all(getattr(shared, n) for n in raise_one)
    for t in threads:
        t.join()


def test_a_context_entered_and_never_left_is_collected():
    import contextvars
    import gc
    import sys

    def leave_open():
        c = vexa2.context(precision=77)
        vexa2.set_context(c)
        c.__enter__()  # the token now holds the context, which holds the token

    def blocks():
        gc.collect()
        return sys.getallocatedblocks()

    for _ in range(100):
        contextvars.copy_context().run(leave_open)
    before = blocks()
    for _ in range(2000):
        contextvars.copy_context().run(leave_open)
    assert blocks() - before < 500


def test_variable_holding_a_non_context_is_refused():
    # Only code that digs the variable out of a Context can do this; it must
    # not make arithmetic read a str as a context.
    def run():
        vexa2.get_context()
        var = next(v for v in contextvars.copy_context() if v.name == "vexa2_context")
        var.set("not a context")
        with pytest.raises(TypeError, match="^the current context is not a vexa2 context$"):
            contextvars.copy_context().run(lambda: vexa2.mpfr(1) / 3)
    contextvars.copy_context().run(run)


EMPTY = "invalid exponent range: emin is greater than emax"


@pytest.mark.parametrize("make", [lambda: context(emin=5, emax=-5), lambda: context(context(emax=10), emin=11)])
def test_keywords_refuse_an_empty_exponent_range(make):
    with pytest.raises(ValueError, match=f"^{EMPTY}$"):
        make()


@pytest.mark.parametrize("op", [
    lambda c: c.add(mpfr(1), 1), lambda c: c.add(mpfr(0), 0), lambda c: c.sqrt(2), lambda c: c.divmod(mpfr(7), 2),
    lambda c: c.mul(1j, 2), lambda c: c.floor(2.5), lambda c: mpfr(1) / 3, lambda c: round(mpfr(1.25), 1),
    lambda c: vexa2.copy_sign(mpfr(1), mpfr(-1)), lambda c: vexa2.set_exp(mpfr(1), 2),
])
def test_no_number_under_an_empty_exponent_range(op):
    c = context()
    c.emin, c.emax = 100, 10  # passes through an empty range on the way
    with c, pytest.raises(ValueError, match=f"^{EMPTY}$"):
        op(c)
    c.emax = 200
    with c:
        op(c)
    assert c.add(1, 1) == 2  # integers do not use the range
