"""Conversions: int <-> mpz at several sizes, decimal text <-> mpz, constructor calls."""
CASES = []

# int -> mpz -> int; Python's baseline builds two new ints of the same size.
for limbs in (1, 2, 100, 10_000):
    setup = f"import vexa2\nx = 3 ** ({limbs} * 40) if {limbs} > 1 else 12345\nz = vexa2.mpz(x)"
    CASES.append(dict(name=f"int -> mpz -> int, {limbs} limbs", setup=setup,
                      vexa2="int(vexa2.mpz(x))", python="-(-x)",
                      flint="int(flint.fmpz(x))"))

# Decimal text: Python's int limits the digits it converts unless told not to.
for digits, tag in ((10_000, "10k"), (1_000_000, "1m")):
    setup = ("import sys, vexa2\nsys.set_int_max_str_digits(0)\n"
             f"s = '7' * {digits}\nx = int(s)\nz = vexa2.mpz(s)")
    CASES.append(dict(name=f"mpz(str), {digits} digits", setup=setup,
                      vexa2="vexa2.mpz(s)", python="int(s)", flint="flint.fmpz(s)",
                      c=f"mpz_set_str_{tag}"))
    CASES.append(dict(name=f"str(mpz), {digits} digits", setup=setup,
                      vexa2="str(z)", python="str(x)",
                      c=f"mpz_get_str_{tag}"))

# Constructor calls on small values: the vectorcall fast paths.
SMALL = "import vexa2, fractions\nz = vexa2.mpz(5)\nq = vexa2.mpq(1, 3)"
CASES += [
    dict(name="mpz(5)", setup=SMALL, vexa2="vexa2.mpz(5)", python="int(5)", flint="flint.fmpz(5)"),
    dict(name="mpz('12345')", setup=SMALL, vexa2="vexa2.mpz('12345')", python="int('12345')",
         flint="flint.fmpz('12345')"),
    dict(name="mpz('ff', 16)", setup=SMALL, vexa2="vexa2.mpz('ff', 16)", python="int('ff', 16)"),
    dict(name="mpq(1, 3)", setup=SMALL, vexa2="vexa2.mpq(1, 3)", python="fractions.Fraction(1, 3)",
         flint="flint.fmpq(1, 3)"),
    dict(name="mpq('1/3')", setup=SMALL, vexa2="vexa2.mpq('1/3')", python="fractions.Fraction('1/3')"),
    dict(name="mpfr(1.5)", setup=SMALL, vexa2="vexa2.mpfr(1.5)", python="float(1.5)"),
    dict(name="mpfr('1.5')", setup=SMALL, vexa2="vexa2.mpfr('1.5')", python="float('1.5')"),
    dict(name="mpc(1.5+2j)", setup=SMALL, vexa2="vexa2.mpc(1.5+2j)", python="complex(1.5+2j)"),
    dict(name="mpc('1+2j')", setup=SMALL, vexa2="vexa2.mpc('1+2j')", python="complex('1+2j')"),
]

# Format specs: read once, then rendered by each type.
FMT = "import vexa2\nz = vexa2.mpz(0xdeadbeefcafe)\nn = int(z)\nx = vexa2.mpfr('3.14159265358979')\nf = float(x)"
CASES += [
    dict(name="format(mpz, 'x')", setup=FMT, vexa2="format(z, 'x')", python="format(n, 'x')"),
    dict(name="format(mpfr, '.10f')", setup=FMT, vexa2="format(x, '.10f')", python="format(f, '.10f')"),
]
