# The first mistakes users make: each keeps its exception class and fixed
# text, and carries a note saying what exactly was wrong.
import pytest

import vexa2
from vexa2 import context, mpc, mpfr, mpq, mpz, xmpz

PREC = "an integer from 1 to 9223372036854775551"
ROUNDS = "RoundToNearest (0), RoundToZero (1), RoundUp (2), RoundDown (3)"
BASE0 = "read in base 0 (a 0b, 0o or 0x prefix, else 10)"
BAD_KW = "invalid keyword arguments for context"
N64 = "a non-negative integer below 2**64"

# (expression, exception class, message, text the note contains)
CASES = [
    # context keywords
    ("context(precison=200)", ValueError, BAD_KW, "unknown keyword 'precison'; did you mean 'precision'?"),
    ("context(prec=200)", ValueError, BAD_KW, "did you mean 'precision'?"),
    ("context(rounding=1)", ValueError, BAD_KW, "did you mean 'round'?"),
    ("context(trap_inexct=True)", ValueError, BAD_KW, "did you mean 'trap_inexact'?"),
    ("context(allow_complx=True)", ValueError, BAD_KW, "did you mean 'allow_complex'?"),
    ("context(subnormal=True)", ValueError, BAD_KW, "did you mean 'subnormalize'?"),
    ("context(digts=30)", ValueError, BAD_KW, "did you mean 'digits'?"),
    ("context(foo=1)", ValueError, BAD_KW, "unknown keyword 'foo'"),
    ("context(precision=2.5)", ValueError, BAD_KW, f"precision must be {PREC}; got 2.5"),
    ("context(precision='53')", ValueError, BAD_KW, "got '53'"),
    ("context(precision=10**5000)", ValueError, BAD_KW, "got an int of about 5001 digits"),
    ("context(round='nearest')", ValueError, BAD_KW, f"round must be a rounding mode: {ROUNDS} or RoundAwayZero (4); got 'nearest'"),
    ("context(emax=10**20)", ValueError, BAD_KW, "emax must be an integer from -4611686018427387903 to 4611686018427387903; got 100000000000000000000"),
    ("context(emin=10**20)", ValueError, BAD_KW, "emin must be an integer from"),
    ("context(trap_inexact='yes')", ValueError, BAD_KW, "trap_inexact takes True or False; got 'yes'"),
    ("context(allow_complex=None)", ValueError, BAD_KW, "allow_complex takes True or False; got None"),
    ("context(precision=0)", ValueError, "invalid value for precision", f"precision must be {PREC}; got 0"),
    ("context(precision=-53)", ValueError, "invalid value for precision", "got -53"),
    ("context(real_prec=0)", ValueError, "invalid value for real_prec", f"Default (-1) or {PREC}; got 0"),
    ("context(round=7)", ValueError, "invalid value for round", "got 7"),
    ("context(real_round=4)", ValueError, "invalid value for real_round", f"Default (-1) or a rounding mode: {ROUNDS[:-17]}"),
    ("context(digits=0)", ValueError, "invalid value for digits", "digits must be an integer from 1 to 10**18; got 0"),
    ("context(digits=2.5)", ValueError, BAD_KW, "digits must be an integer from 1 to 10**18; got 2.5"),
    ("context(digits=30, precision=100)", ValueError, BAD_KW, "give precision or digits, not both"),
    ("vexa2.local_context(precison=1)", ValueError, BAD_KW, "did you mean 'precision'?"),
    # context attributes
    ("setattr(context(), 'precision', 0)", ValueError, "invalid value for precision", f"precision must be {PREC}; got 0"),
    ("setattr(context(), 'precision', 2.5)", TypeError, "precision must be Python integer", "got 2.5"),
    ("setattr(context(), 'round', 5)", ValueError, "invalid value for round mode", "got 5"),
    ("setattr(context(), 'round', 'up')", TypeError, "round mode must be Python integer", "got 'up'"),
    ("setattr(context(), 'emax', 10**30)", ValueError, "requested maximum exponent is invalid", "got 1000000000000000000000000000000"),
    ("setattr(context(), 'real_prec', -1)", ValueError, "invalid value for real_prec", f"real_prec must be {PREC}; got -1"),
    ("setattr(context(), 'subnormalize', 1)", TypeError, "subnormalize must be True or False", "got 1"),
    ("setattr(context(), 'trap_inexact', 'yes')", TypeError, "trap_inexact must be True or False", "got 'yes'"),
    ("setattr(context(), 'allow_complex', 1)", TypeError, "allow_complex must be True or False", "got 1"),
    ("setattr(context(), 'digits', 0)", ValueError, "invalid value for digits", "got 0"),
    ("setattr(context(), 'digits', '9')", TypeError, "digits must be Python integer", "got '9'"),
    # texts that do not parse
    ("mpz('12abc')", ValueError, "invalid digits", f"the text was '12abc', {BASE0}"),
    ("mpz('1e5')", ValueError, "invalid digits", "'1e5'"),
    ("mpz('1.5')", ValueError, "invalid digits", "'1.5'"),
    ("mpz('ff', 10)", ValueError, "invalid digits", "the text was 'ff', read in base 10"),
    ("mpz('12', 2)", ValueError, "invalid digits", "read in base 2"),
    ("mpz('x' * 500)", ValueError, "invalid digits", "'xxxxxxxx"),
    ("xmpz('zz')", ValueError, "invalid digits", "'zz'"),
    ("mpq('abc')", ValueError, "invalid digits", "the text was 'abc', read in base 10"),
    ("mpq('1.5/2')", ValueError, "illegal string: both . and / found", "'1.5/2'"),
    ("mpq('1/0')", ZeroDivisionError, "zero denominator in mpq()", "'1/0'"),
    ("mpfr('1,5')", ValueError, "invalid digits", f"the text was '1,5', {BASE0}"),
    ("mpfr('one')", ValueError, "invalid digits", "'one'"),
    ("mpfr('1.g', 53, 16)", ValueError, "invalid digits", "read in base 16"),
    ("mpc('1+2k')", ValueError, "invalid string in mpc()", "the text was '1+2k', read in base 10"),
    # C-level conversions, now naming the function and what it needs
    ("vexa2.fac(-1)", OverflowError, f"fac() requires {N64}", "got -1"),
    ("vexa2.fac(2**64)", OverflowError, f"fac() requires {N64}", "got 18446744073709551616"),
    ("vexa2.double_fac(-3)", OverflowError, f"double_fac() requires {N64}", "got -3"),
    ("vexa2.fib(-1)", OverflowError, f"fib() requires {N64}", "got -1"),
    ("vexa2.fib2(-1)", OverflowError, f"fib2() requires {N64}", "got -1"),
    ("vexa2.lucas(-1)", OverflowError, f"lucas() requires {N64}", "got -1"),
    ("vexa2.lucas2(-1)", OverflowError, f"lucas2() requires {N64}", "got -1"),
    ("vexa2.primorial(-1)", OverflowError, f"primorial() requires {N64}", "got -1"),
    ("vexa2.comb(5, -1)", OverflowError, f"bincoef() requires {N64}", "got -1"),
    ("vexa2.multi_fac(5, -2)", OverflowError, f"multi_fac() requires {N64}", "got -2"),
    ("vexa2.root(2, -1)", OverflowError, "root() requires a root index n from 0 to 2**64 - 1", "got -1"),
    ("vexa2.rootn(2, 2**70)", OverflowError, "rootn() requires a root index n from 0 to 2**64 - 1", "got 1180591620717411303424"),
    ("vexa2.is_prime(7, -1)", OverflowError, "is_prime() requires a non-negative count of rounds n", "got -1"),
    ("mpfr(1, 10**20)", OverflowError, "precision for mpfr() must be at most 9223372036854775551", "got 100000000000000000000"),
    ("mpfr('1', 10**20)", OverflowError, "precision for mpfr() must be at most 9223372036854775551", "got 1000"),
    ("mpfr(1, 2.5)", TypeError, "precision for mpfr() must be an integer", "got 2.5"),
    ("mpfr(1, precision='53')", TypeError, "precision for mpfr() must be an integer", "got '53'"),
    # our own texts keep their words and get the value as a note
    ("vexa2.fac(mpz(-1))", OverflowError, "value could not be converted to C long", f"fac() requires {N64}; got mpz(-1)"),
    # limits
    ("mpfr(1, 2**63 - 1)", ValueError, "invalid value for precision", "from 1 to 9223372036854775551 bits; got 9223372036854775807"),
    ("mpfr(1, 2**62)", MemoryError, "cannot allocate an mpfr of 2**62 bits", None),
    ("mpc(1, precision=(2**62, 53))", MemoryError, "cannot allocate an mpfr of 2**62 bits", None),
    ("vexa2.fac(2**40)", MemoryError, "cannot allocate an mpz of 42394205138525 bits", None),
    ("mpz(2) ** (2**70)", ValueError, "pow() outrageous exponent", "exponent must be below 2**64; got 1180591620717411303424"),
    ("mpq(2, 3) ** (2**70)", ValueError, "mpq.pow() outrageous exponent", "from -2**63 to 2**63 - 1; got 1180591620717411303424"),
    ("mpz(3) ** (2**62)", MemoryError, "", "the power would need more memory than is available"),
    ("mpz(1) << -1", OverflowError, "can't convert negative int to unsigned", "a shift count must be from 0 to 2**64 - 1; got -1"),
    ("mpz(3) << (2**62)", MemoryError, "cannot allocate an mpz of 4611686018427387906 bits", None),
    ("mpz(5).bit_set(-1)", OverflowError, "can't convert negative int to unsigned", "a bit index must be from 0 to 2**64 - 1; got -1"),
    ("vexa2.bit_test(5, 2**64)", OverflowError, "int too big to convert", "a bit index must be from 0 to 2**64 - 1; got 18446744073709551616"),
    ("vexa2.iroot(8, 2**70)", OverflowError, "iroot() requires n from 1 to 2**64 - 1", "got 1180591620717411303424"),
]


@pytest.mark.filterwarnings("ignore::DeprecationWarning")
@pytest.mark.parametrize("expr, cls, message, note", CASES, ids=[c[0] for c in CASES])
def test_mistake_keeps_message_and_notes_the_specifics(expr, cls, message, note):
    with pytest.raises(Exception) as info:
        eval(expr)
    e = info.value
    assert type(e) is cls
    assert str(e) == message
    notes = getattr(e, "__notes__", [])
    if note is None:  # the message itself says what was asked for
        assert not notes, notes
        return
    assert len(notes) == 1 and note in notes[0], notes
    assert len(notes[0]) <= 200


def test_note_shows_in_traceback():
    import traceback
    try:
        context(precison=1)
    except ValueError as e:
        text = "".join(traceback.format_exception(e))
    assert text.endswith("ValueError: invalid keyword arguments for context\n"
                         "unknown keyword 'precison'; did you mean 'precision'?\n")


def test_digits_maps_both_ways():
    assert context().digits == 15 and context(digits=15).precision == 53
    assert [context(digits=d).digits for d in (1, 2, 7, 16, 50, 1000, 10**6)] == [1, 2, 7, 16, 50, 1000, 10**6]
    c = context()
    c.digits = 100
    assert c.precision == 336 and c.digits == 100
    for d in (10, 30, 100):
        with context(digits=d):
            assert abs(mpfr(1) / 3 - mpq(1, 3)) < mpq(1, 10**d)
