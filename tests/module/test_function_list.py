"""The module functions of the math-function family exist, as module
functions and as context methods of the same name."""
import pytest

import vexa2

# Real and complex math functions, the rounding functions and the predicates.
MATH_FUNCTIONS = """
acos acosh agm ai asin asinh atan atan2 atanh cbrt check_range cos cosh cot coth csc csch degrees digamma div_2exp
eint erf erfc exp expm1 exp10 exp2 factorial fma fms fmma fmms fmod frac frexp fsum gamma gamma_inc hypot jn j0 j1
li2 lgamma lngamma log log10 log1p log2 maxnum minnum modf mul_2exp next_above next_below next_toward norm phase
polar proj radians rect rec_sqrt reldiff remainder remquo rint rint_ceil rint_floor rint_round rint_trunc root rootn
root_of_unity round2 round_away sec sech sin sin_cos sinh sinh_cosh sqrt square tan tanh yn y0 y1 zeta
ceil floor trunc is_finite is_infinite is_integer is_nan is_regular is_signed is_zero
""".split()
CONSTANTS = "const_catalan const_euler const_log2 const_pi".split()


@pytest.mark.parametrize("name", MATH_FUNCTIONS + CONSTANTS)
def test_listed_function_exists(name):
    assert name in dir(vexa2) and callable(getattr(vexa2, name))
    if name in MATH_FUNCTIONS:
        assert callable(getattr(vexa2.context(), name))
