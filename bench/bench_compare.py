"""Comparison, hashing, shifts and bitwise and: mpz against Python's int."""
CASES = []
for digits in (5, 10_000):
    setup = (f"import vexa2\nx = 7 * 10 ** {digits} + 123\ny = 5 * 10 ** {digits} + 99\n"
             "zx, zy = vexa2.mpz(x), vexa2.mpz(y)\nyi = (x + 1) - 1  # equal, not the same object")
    CASES += [
        dict(name=f"mpz == int, {digits} digits", setup=setup, vexa2="zx == yi", python="x == yi",
             flint="fx == yi", ),
        dict(name=f"mpz < int (other length), {digits} digits", setup=setup, vexa2="zx < y", python="x < y"),
        # The hash is cached in the object; -x makes a new number each time.
        dict(name=f"hash(-mpz), {digits} digits", setup=setup, vexa2="hash(-zx)", python="hash(-x)"),
        dict(name=f"hash(mpz) cached, {digits} digits", setup=setup, vexa2="hash(zx)", python="hash(x)"),
        dict(name=f"mpz << 1000, {digits} digits", setup=setup, vexa2="zx << 1000", python="x << 1000",
             flint="fx << 1000"),
        dict(name=f"mpz & mpz, {digits} digits", setup=setup, vexa2="zx & zy", python="x & y",
             flint="fx & fy"),
    ]
for case in CASES:
    if "flint" in case:
        case["setup"] += "\ntry:\n import flint\n fx, fy = flint.fmpz(x), flint.fmpz(y)\nexcept ImportError:\n pass"

# Operands of unknown type and Fractions: classification must cost about what
# Python's own numbers pay.
_mixed = "import vexa2\nfrom fractions import Fraction\nz = vexa2.mpz(1)\nh = Fraction(1, 2)\nn = None\ns = 'a'"
CASES += [
    dict(name="mpz(1) == None", setup=_mixed, vexa2="z == n", python="1 == n"),
    dict(name="mpz(1) == 'a'", setup=_mixed, vexa2="z == s", python="1 == n"),
    dict(name="mpz(1) + Fraction(1, 2)", setup=_mixed, vexa2="z + h", python="1 + h"),
]
