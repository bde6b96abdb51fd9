# mypy --strict must reject this file: a square root is no mpz.
from vexa2 import mpfr, mpz, sqrt

y = mpfr(2)
x: mpz = sqrt(y)
