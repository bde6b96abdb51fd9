# NumPy's ufuncs on object arrays call the numbers' methods of the ufunc's
# name: the results are the module functions' under the current context.
import pytest

import vexa2
from vexa2 import context, mpc, mpfr, mpq, mpz

np = pytest.importorskip("numpy")

UNARY = {"sqrt": "sqrt", "exp": "exp", "log": "log", "log10": "log10", "sin": "sin", "cos": "cos",
         "tan": "tan", "arcsin": "asin", "arccos": "acos", "arctan": "atan", "sinh": "sinh", "cosh": "cosh",
         "tanh": "tanh", "arcsinh": "asinh", "arccosh": "acosh", "arctanh": "atanh", "log2": "log2",
         "exp2": "exp2", "expm1": "expm1", "log1p": "log1p", "cbrt": "cbrt", "rint": "rint",
         "degrees": "degrees", "radians": "radians", "rad2deg": "degrees", "deg2rad": "radians"}
COMPLEX = {"sqrt", "exp", "log", "log10", "sin", "cos", "tan", "arcsin", "arccos", "arctan", "sinh", "cosh",
           "tanh", "arcsinh", "arccosh", "arctanh"}
BINARY = {"arctan2": "atan2", "hypot": "hypot", "fmod": "fmod"}
# Numpy's aliases (acos, atan2, ...) name the same ufuncs.
assert all(getattr(np, u).__name__ == u for u in UNARY.keys() | BINARY.keys())

REALS = [mpfr("0.375"), mpfr(3), mpz(2), mpq(1, 3), mpfr(-0.5), mpfr("inf"), mpfr("nan")]


def same(a, b):
    if isinstance(a, mpfr) and a.is_nan():
        return isinstance(b, mpfr) and b.is_nan()
    return type(a) is type(b) and a == b and getattr(a, "precision", None) == getattr(b, "precision", None)


@pytest.mark.parametrize("prec", [53, 200])
@pytest.mark.parametrize("ufunc", sorted(UNARY))
def test_unary_ufunc_matches_module_function(ufunc, prec):
    fn = getattr(vexa2, UNARY[ufunc])
    with context(precision=prec):
        got = getattr(np, ufunc)(np.array(REALS, dtype=object))
        assert all(same(g, fn(x)) for g, x in zip(got, REALS, strict=True))
        if ufunc in COMPLEX:
            z = mpc(1, -2)
            assert same(getattr(np, ufunc)(np.array([z], dtype=object))[0], fn(z))


@pytest.mark.parametrize("ufunc", sorted(BINARY))
def test_binary_ufunc_matches_module_function(ufunc):
    a = np.array([mpfr(3), mpz(-7), mpq(5, 2)], dtype=object)
    b = np.array([mpfr("0.75"), mpfr(2), mpz(4)], dtype=object)
    fn = getattr(vexa2, BINARY[ufunc])
    assert all(same(g, fn(x, y)) for g, x, y in zip(getattr(np, ufunc)(a, b), a, b, strict=True))


def test_ufuncs_follow_the_context_flags_and_traps():
    a = np.array([mpfr(-1)], dtype=object)
    with context() as c:
        assert np.sqrt(a)[0].is_nan() and c.invalid
    with context(allow_complex=True):
        assert np.sqrt(a)[0] == mpc(0, 1)
    with context(trap_invalid=True), pytest.raises(vexa2.InvalidOperationError):
        np.sqrt(a)


def test_real_only_functions_are_not_methods_of_mpc():
    with pytest.raises(TypeError):
        np.log2(np.array([mpc(1, 1)], dtype=object))


def test_sum_dot_and_matrix_products_are_exact():
    v = np.array([mpq(1, k) for k in range(1, 11)], dtype=object)
    assert np.sum(v) == mpq(7381, 2520) and type(np.sum(v)) is mpq
    m = np.array([[mpz(2) ** 70, mpz(1)], [mpz(3), mpz(-1)]], dtype=object)
    assert (m @ m).tolist() == [[mpz(2) ** 140 + 3, mpz(2) ** 70 - 1], [3 * mpz(2) ** 70 - 3, mpz(4)]]
    assert np.dot(m[0], m[1]) == 3 * mpz(2) ** 70 - 1
    with context(precision=100):
        f = np.array([mpfr(1) / 3, mpfr(2) / 3], dtype=object)
        d = np.dot(f, f)
        assert d.precision == 100 and d == (mpfr(1) / 3) ** 2 + (mpfr(2) / 3) ** 2
    z = np.array([mpc(1, 1), mpc(0, 2)], dtype=object)
    assert np.sum(z * z) == mpc(-4, 2)
