"""The portable binary form: fixed bytes, round trips, pickling and copying."""
import copy
import multiprocessing
import pickle
import subprocess
import sys
from concurrent.futures import ProcessPoolExecutor

import pytest
from hypothesis import given, settings, strategies as st

import vexa2
from vexa2 import (context, from_binary, mpc, mpfr, mpfr_from_old_binary, mpq,
                   mpq_from_old_binary, mpz, mpz_from_old_binary, to_binary, xmpz)

WIDE = dict(emax=2**40, emin=-2**40)
ONE_LIMB = "0000000000000080"  # mantissa 1/2 in one 64-bit limb

# (value, its record in hex); each is written and read back.
FIXED = [
    (mpz(0), "0100"),
    (mpz(1), "010101"),
    (mpz(-256), "01020001"),
    (xmpz(0), "0200"),
    (xmpz(-5), "020205"),
    (mpq(0), "0300"),
    (mpq(-1, 3), "0302010000000103"),
    (mpq(256, 3), "030102000000000103"),
    (mpfr(0), "0400000035000000"),
    (mpfr("-0"), "0402000035000000"),
    (mpfr("nan"), "0408000035000000"),
    (mpfr("inf"), "0410000035000000"),
    (mpfr("-inf"), "0412000035000000"),
    (mpfr(1), "0441000035000000" "01000000" + ONE_LIMB),
    (mpfr(0.5), "0441000035000000" "00000000" + ONE_LIMB),
    (mpfr(0.25), "0461000035000000" "01000000" + ONE_LIMB),
    (mpfr(-3, 70), "0443000046000000" "02000000" + "0000000000000000" + "00000000000000c0"),
    (mpc(1), "0541000035000000" "01000000" + ONE_LIMB + "0500000035000000"),
    (mpc(mpfr("-0"), mpfr("inf"), precision=(60, 20)), "050200003c000000" "0510000014000000"),
]


def same(x, y):
    """Same type, value (NaN and signed zeros included), precision and rc."""
    assert type(y) is type(x)
    if isinstance(x, mpc):
        assert y.precision == x.precision
        assert to_binary(y.real) == to_binary(x.real) and to_binary(y.imag) == to_binary(x.imag)
    else:
        assert to_binary(y) == to_binary(x)
        if isinstance(x, mpfr):
            assert y.precision == x.precision and (y.rc > 0) - (y.rc < 0) == (x.rc > 0) - (x.rc < 0)


@pytest.mark.parametrize("value, record", FIXED)
def test_fixed_records(value, record):
    assert to_binary(value).hex() == record
    same(value, from_binary(bytes.fromhex(record)))


@pytest.mark.parametrize("record, expected", [
    ("03010100000002" "04", mpq(1, 2)),                        # stored out of lowest terms
    ("0305" "0100000000000000" "02" "03", mpq(2, 3)),           # 8-byte length field
    ("0306" "0100000000000000" "02" "03", mpq(-2, 3)),
    ("0401000035000000" "01000000" + ONE_LIMB, mpfr(1)),        # two 32-bit limbs, same bytes
    ("0100", mpz(0)),
    ("0107" "05", mpz(5)),                                      # any sign byte but 2 is positive
])
def test_records_from_elsewhere(record, expected):
    same(expected, from_binary(bytes.fromhex(record)))


def test_wide_exponent_and_rc():
    record = "0445000035000000" "00000000" "0100000002000000" + ONE_LIMB  # 2**(2**33)
    big = from_binary(bytes.fromhex(record))
    assert big > 2**100 and big != mpfr("inf") and to_binary(big).hex() == record
    rounded = mpfr(2**60 + 1, 53)
    assert rounded.rc == -1 and to_binary(rounded)[2] == 2
    assert from_binary(to_binary(rounded)).rc == -1
    assert from_binary(bytes.fromhex("0400010035000000")).rc == 1


def test_precision_0_or_1_of_special_values_is_the_context_s():
    with context(precision=77):
        assert from_binary(bytes.fromhex("0408000000000000")).precision == 77
        assert from_binary(bytes.fromhex("0500000001000000" "0500000000000000")).precision == (77, 77)


@pytest.mark.parametrize("fn, arg, exc, msg", [
    (from_binary, "01", ValueError, "byte sequence too short for from_binary()"),
    (from_binary, "", ValueError, "byte sequence too short for from_binary()"),
    (from_binary, "0700", TypeError, "from_binary() argument type not supported"),
    (from_binary, "text", TypeError, "from_binary() requires bytes argument"),
    (from_binary, "0301010000", ValueError, "byte sequence too short for from_binary()"),
    (from_binary, "03010200000002", ValueError, "byte sequence too short for from_binary()"),
    (from_binary, "0305ffffffffffffffff02", ValueError, "byte sequence too short for from_binary()"),
    (from_binary, "030101000000" "01" "0000", ValueError, "byte sequence invalid for from_binary()"),
    (from_binary, "040000", ValueError, "byte sequence too short for from_binary()"),
    (from_binary, "04000000350000", ValueError, "byte sequence too short for from_binary()"),
    (from_binary, "04410000350000000100", ValueError, "byte sequence too short for from_binary()"),
    (from_binary, "0441000035000000" "01000000" "00000000000080", ValueError,
     "byte sequence too short for from_binary()"),
    (from_binary, "0400000035000000" "00", ValueError, "byte sequence invalid for from_binary()"),
    (from_binary, "0401000014000000" "01000000" "00000080", ValueError, "byte sequence invalid for from_binary()"),
    (from_binary, "0441000001000000" "01000000" + ONE_LIMB, ValueError, "byte sequence invalid for from_binary()"),
    (from_binary, "0441000000000000" "01000000", ValueError, "byte sequence invalid for from_binary()"),
    (from_binary, "0441000035000000" "01000000" "0000000000000040", ValueError,
     "byte sequence invalid for from_binary()"),
    (from_binary, "0441000035000000" "01000000" "0100000000000080", ValueError,
     "byte sequence invalid for from_binary()"),
    (from_binary, "0445000035000000" "00000000" "ffffffffffffff7f" + ONE_LIMB, ValueError,
     "byte sequence invalid for from_binary()"),
    (from_binary, "040c0000" "ffffffffffffff7f", ValueError, "invalid value for precision"),
    (from_binary, "0500000035000000", ValueError, "byte sequence too short for from_binary()"),
    (from_binary, "0500000035000000" "0400000035000000", ValueError, "byte sequence invalid for from_binary()"),
    (from_binary, "0500000035000000" "0500000035000000" "00", ValueError,
     "byte sequence invalid for from_binary()"),
    (to_binary, 5, TypeError, "to_binary() argument type not supported"),
    (to_binary, 1.5, TypeError, "to_binary() argument type not supported"),
    (mpz_from_old_binary, "", ValueError, "invalid mpz binary (too short)"),
    (mpz_from_old_binary, "x", TypeError, "mpz_from_old_binary() requires bytes argument"),
    (mpq_from_old_binary, "0100000002", ValueError, "invalid mpq binary (too short)"),
    (mpq_from_old_binary, "020000000203", ValueError, "invalid mpq binary (num len)"),
    (mpq_from_old_binary, "01000000020000", ValueError, "invalid mpq binary (zero denominator)"),
    (mpq_from_old_binary, "x", TypeError, "mpq_from_old_binary() requires bytes argument"),
    (mpfr_from_old_binary, "00010000", ValueError, "invalid mpf binary encoding (too short)"),
    (mpfr_from_old_binary, "083500000001000000", ValueError, "invalid mpf binary encoding (too short)"),
    (mpfr_from_old_binary, "08010000000100000080", ValueError, "invalid mpf binary encoding (precision)"),
    (mpfr_from_old_binary, "08ffffff000100000080", ValueError, "invalid mpf binary encoding (precision)"),
    (mpfr_from_old_binary, "x", TypeError, "mpfr_from_old_binary() requires bytes argument"),
])
def test_errors(fn, arg, exc, msg):
    if isinstance(arg, str) and arg != "x" and arg != "text":
        arg = bytes.fromhex(arg)
    with pytest.raises(exc) as info:
        fn(arg)
    assert str(info.value) == msg


@pytest.mark.parametrize("fn, record, expected, prec", [
    (mpz_from_old_binary, "05ff", mpz(-5), None),
    (mpz_from_old_binary, "0001", mpz(256), None),
    (mpz_from_old_binary, "ff", mpz(0), None),
    (mpq_from_old_binary, "0100008002" "03", mpq(-2, 3), None),
    (mpq_from_old_binary, "0100000004" "06", mpq(2, 3), None),
    (mpfr_from_old_binary, "00" "01000000" "80", mpfr(128), 8),
    (mpfr_from_old_binary, "03" "01000000" "c0", mpfr(-0.75) / 256, 8),
    (mpfr_from_old_binary, "08" "35000000" "02000000" "8001", mpfr(0x8001), 53),
    (mpfr_from_old_binary, "04", mpfr(0), 53),
    (mpfr_from_old_binary, "0c" "64000000", mpfr(0), 100),
])
def test_old_formats(fn, record, expected, prec):
    got = fn(bytes.fromhex(record))
    assert type(got) is type(expected) and got == expected
    if prec:
        assert got.precision == prec


def test_from_binary_accepts_bytes_subclass():
    class B(bytes):
        pass
    assert from_binary(B(b"\x01\x01\x07")) == 7


# ---- round trips

def reals(draw_prec=st.integers(2, 100_000)):
    regular = st.builds(lambda m, e, p: (m, e, p), st.integers(-2**300, 2**300).filter(bool),
                        st.integers(-2**30 + 400, 2**30 - 400), draw_prec)
    special = st.tuples(st.sampled_from(["nan", "inf", "-inf", "0", "-0"]), st.none(), draw_prec)
    return st.one_of(regular, special)


def make_real(parts):
    m, e, p = parts
    with context(**WIDE):
        if e is None:
            return mpfr(m, p)
        x = mpfr(f"{m:b}@{e}", p, 2)
    assert x and x == x and x not in (mpfr("inf"), mpfr("-inf"))
    return x


@settings(max_examples=150, deadline=None)
@given(reals())
def test_round_trip_real(parts):
    x = make_real(parts)
    same(x, from_binary(to_binary(x)))
    same(x, pickle.loads(pickle.dumps(x)))


@settings(max_examples=60, deadline=None)
@given(reals(st.integers(2, 3000)), reals(st.integers(2, 3000)))
def test_round_trip_complex(re_parts, im_parts):
    re, im = make_real(re_parts), make_real(im_parts)
    with context(**WIDE):
        x = mpc(re, im, precision=(re.precision, im.precision))
    same(x, from_binary(to_binary(x)))


@given(st.integers(-2**2000, 2**2000), st.integers(1, 2**300))
def test_round_trip_exact(n, d):
    for x in (mpz(n), xmpz(n), mpq(n, d)):
        same(x, from_binary(to_binary(x)))


SAMPLES = [mpz(0), mpz(-10**50), xmpz(12345), mpq(-22, 7), mpq(0), mpfr("1.1", 200), mpfr("-0"),
           mpfr("nan"), mpfr("-inf"), mpfr(2**70 + 1, 60), mpc("1.5-0.25j", (30, 90)), mpc("nan+infj")]


@pytest.mark.parametrize("x", SAMPLES, ids=repr)
def test_pickle_and_copy(x):
    for proto in range(pickle.HIGHEST_PROTOCOL + 1):
        same(x, pickle.loads(pickle.dumps(x, proto)))
    same(x, copy.copy(x))
    same(x, copy.deepcopy([x])[0])
    if isinstance(x, xmpz):
        assert copy.copy(x) is not x


@pytest.mark.thread_unsafe(reason="starts processes")
def test_values_cross_process_boundaries():
    with ProcessPoolExecutor(2, mp_context=multiprocessing.get_context("spawn")) as pool:
        back = list(pool.map(copy.copy, SAMPLES))
    for x, y in zip(SAMPLES, back):
        same(x, y)
    # A fresh interpreter reads the pickles and sends them back changed.
    code = ("import pickle, sys, vexa2\n"
            "xs = pickle.load(sys.stdin.buffer)\n"
            "pickle.dump([(x, vexa2.to_binary(x)) for x in xs], sys.stdout.buffer)\n")
    out = subprocess.run([sys.executable, "-c", code], input=pickle.dumps(SAMPLES),
                         capture_output=True, check=True).stdout
    for x, (y, record) in zip(SAMPLES, pickle.loads(out)):
        same(x, y)
        same(x, from_binary(record))
