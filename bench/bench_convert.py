"""int <-> mpz conversions at several sizes."""
CASES = []
for limbs in (1, 2, 100, 10_000):
    setup = f"import vexa2\nx = 3 ** ({limbs} * 40) if {limbs} > 1 else 12345\nz = vexa2.mpz(x)"
    CASES.append(dict(name=f"int -> mpz -> int, {limbs} limbs", setup=setup,
                      vexa2="int(vexa2.mpz(x))", python="int(x)",
                      flint="int(flint.fmpz(x))"))
