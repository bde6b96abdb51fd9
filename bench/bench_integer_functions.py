"""Integer functions: factorials, binomials, Fibonacci numbers, bytes, pack/unpack."""
SETUP = "import math, vexa2"

CASES = [
    dict(name="fac(10**5)", setup=SETUP, vexa2="vexa2.fac(10**5)", python="math.factorial(10**5)",
         flint="flint.fmpz.fac_ui(10**5)"),
    dict(name="fac(10**6)", setup=SETUP, vexa2="vexa2.fac(10**6)", python="math.factorial(10**6)",
         flint="flint.fmpz.fac_ui(10**6)"),
    dict(name="comb(10**5, 5*10**4)", setup=SETUP, vexa2="vexa2.comb(10**5, 5 * 10**4)",
         python="math.comb(10**5, 5 * 10**4)", flint="flint.fmpz.bin_uiui(10**5, 5 * 10**4)"),
    # Python has no Fibonacci function: the baseline is the fast-doubling loop on ints.
    dict(name="fib(10**6)", setup=SETUP + """
def fib(n):
    a, b = 0, 1
    for bit in bin(n)[2:]:
        a, b = a * (2 * b - a), a * a + b * b
        if bit == '1':
            a, b = b, a + b
    return a
""", vexa2="vexa2.fib(10**6)", python="fib(10**6)", flint="flint.fmpz.fib_ui(10**6)"),
]

# 10,000 decimal digits are 4,153 bytes.
for order in ("big", "little"):
    for signed in (False, True):
        setup = SETUP + f"\nx = -(7 ** 11834) if {signed} else 7 ** 11834\nz = vexa2.mpz(x)\n" \
                        f"n = (x.bit_length() + 8) // 8\nb = x.to_bytes(n, '{order}', signed={signed})"
        tag = f"{order}{', signed' if signed else ''}"
        CASES.append(dict(name=f"to_bytes, 10,000 digits, {tag}", setup=setup,
                          vexa2=f"z.to_bytes(n, '{order}', signed={signed})",
                          python=f"x.to_bytes(n, '{order}', signed={signed})"))
        CASES.append(dict(name=f"from_bytes, 10,000 digits, {tag}", setup=setup,
                          vexa2=f"vexa2.mpz.from_bytes(b, '{order}', signed={signed})",
                          python=f"int.from_bytes(b, '{order}', signed={signed})"))

# pack/unpack of 1,000 16-bit fields; Python's baseline shifts and masks.
PACK = SETUP + "\nlst = [(i * 7919) & 0xffff for i in range(1000)]\nz = vexa2.pack(lst, 16)\nx = int(z)"
CASES += [
    dict(name="pack, 1,000 16-bit fields", setup=PACK, vexa2="vexa2.pack(lst, 16)",
         python="sum(v << (16 * i) for i, v in enumerate(lst))"),
    dict(name="unpack, 1,000 16-bit fields", setup=PACK, vexa2="vexa2.unpack(z, 16)",
         python="[(x >> (16 * i)) & 0xffff for i in range(1000)]"),
]
