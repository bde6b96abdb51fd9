"""from_binary on random and damaged records: clean errors or valid numbers, never a crash.

VEXA2_FUZZ_CASES sets the number of byte strings (100,000 by default).
"""
import os
import random

from vexa2 import (from_binary, mpc, mpfr, mpfr_from_old_binary, mpq, mpq_from_old_binary, mpz,
                   mpz_from_old_binary, to_binary, xmpz)

CASES = int(os.environ.get("VEXA2_FUZZ_CASES", "100000"))
SEEDS = [to_binary(x) for x in (
    mpz(0), mpz(-(3**100)), xmpz(2**64), mpq(0), mpq(-(7**40), 3**30), mpfr(0), mpfr("-inf"), mpfr("nan"),
    mpfr("1.5", 53), mpfr("-1e-300", 200), mpfr(3, 64), mpc("1+2j"), mpc("-0.1-infj", (100, 30)))]
READERS = (from_binary, mpz_from_old_binary, mpq_from_old_binary, mpfr_from_old_binary)


def mutate(rng, b):
    b = bytearray(b)
    how = rng.randrange(6)
    if how == 0 and b:                     # cut anywhere
        del b[rng.randrange(len(b)):]
    elif how == 1 and b:                   # flip bits
        for _ in range(rng.randint(1, 3)):
            b[rng.randrange(len(b))] ^= 1 << rng.randrange(8)
    elif how == 2 and len(b) > 2:          # overwrite a length, precision or exponent field
        at = rng.randrange(1, len(b))
        field = rng.choice([b"\x00", b"\x01", b"\xff\xff\xff\xff", b"\x00\x00\x00\x80", b"\x02\x00\x00\x00",
                            rng.randbytes(8)])
        b[at:at + len(field)] = field
    elif how == 3:                         # trailing garbage
        b += rng.randbytes(rng.randint(1, 9))
    elif how == 4:                         # random bytes behind a type byte
        b = bytearray([rng.randrange(7)]) + rng.randbytes(rng.randrange(24))
    else:                                  # pure noise
        b = bytearray(rng.randbytes(rng.randrange(16)))
    return bytes(b)


def test_fuzz_readers():
    rng = random.Random(20261209)
    made = 0
    for i in range(CASES):
        b = mutate(rng, rng.choice(SEEDS))
        reader = from_binary if i % 4 else READERS[i // 4 % 4]
        try:
            x = reader(b)
        except (ValueError, TypeError, MemoryError):
            continue
        made += 1
        # A valid object re-encodes and reads back to the same record.
        record = to_binary(x)
        assert to_binary(from_binary(record)) == record
    assert made > CASES // 50
