// The shared number-protocol entries of the five types, and the arithmetic
// module functions and context methods.
#include "arith/dispatch.h"
#include "core/registry.h"

namespace vx {

using namespace arith;

namespace {

void setup_arith_slots() noexcept {
  for (PyNumberMethods* n : {&mpz_number, &xmpz_number, &mpq_number, &mpfr_number, &mpc_number}) {
    n->nb_add = slot<op_add>;
    n->nb_subtract = slot<op_sub>;
    n->nb_multiply = slot<op_mul>;
    n->nb_true_divide = slot<op_truediv>;
    n->nb_floor_divide = slot<op_floordiv>;
    n->nb_remainder = slot<op_mod>;
    n->nb_divmod = slot<op_divmod>;
    n->nb_power = slot_power;
  }
}

const FnDef arith_functions[] = {
    fast("add", function<op_add>, MODULE_AND_CONTEXT, "Return x + y.") .typed("x: _Int, y: _Int, / -> mpz; x: _Rat, y: _Rat, / -> mpq; x: _Real, y: _Real, / -> mpfr; x: _Num, y: _Num, / -> mpc"),
    fast("sub", function<op_sub>, MODULE_AND_CONTEXT, "Return x - y.") .typed("x: _Int, y: _Int, / -> mpz; x: _Rat, y: _Rat, / -> mpq; x: _Real, y: _Real, / -> mpfr; x: _Num, y: _Num, / -> mpc"),
    fast("mul", function<op_mul>, MODULE_AND_CONTEXT, "Return x * y.") .typed("x: _Int, y: _Int, / -> mpz; x: _Rat, y: _Rat, / -> mpq; x: _Real, y: _Real, / -> mpfr; x: _Num, y: _Num, / -> mpc"),
    fast("div", function<op_truediv>, MODULE_AND_CONTEXT, "Return x / y; uses true division.") .typed("x: _Rat, y: _Rat, / -> mpfr | mpq; x: _Real, y: _Real, / -> mpfr; x: _Num, y: _Num, / -> mpc"),
    fast("floor_div", function<op_floordiv>, MODULE_AND_CONTEXT, "Return x // y; uses floor division.") .typed("x: _Int, y: _Int, / -> mpz; x: _Rat, y: _Rat, / -> mpz; x: _Real, y: _Real, / -> mpfr"),
    fast("mod", function<op_mod>, MODULE_AND_CONTEXT, "Return mod(x, y).\nNote: overflow, underflow, and inexact exceptions are not supported for mpfr arguments.") .typed("x: _Int, y: _Int, / -> mpz; x: _Rat, y: _Rat, / -> mpq; x: _Real, y: _Real, / -> mpfr"),
};

const FnDef arith_context_only[] = {
    fast("divmod", function<op_divmod>, IN_CONTEXT, "Return divmod(x, y).\nNote: overflow, underflow, and inexact exceptions are not supported for mpfr arguments.") .typed("x: _Int, y: _Int, / -> tuple[mpz, mpz]; x: _Rat, y: _Rat, / -> tuple[mpz, mpq]; x: _Real, y: _Real, / -> tuple[mpfr, mpfr]"),
    fast("pow", ctx_pow, IN_CONTEXT, "Return x ** y.") .typed("x: _Int, y: _Int, / -> mpz | mpq | mpfr; x: _Rat, y: _Int, / -> mpq; x: _Real, y: _Real, / -> mpfr | mpc; x: _Num, y: _Num, / -> mpc"),
    fast("plus", ctx_plus, IN_CONTEXT, "Return +x, the context is applied to the result.") .typed("x: _Int, / -> mpz; x: _Rat, / -> mpq; x: _Real, / -> mpfr; x: _Num, / -> mpc"),
    fast("minus", ctx_minus, IN_CONTEXT, "Return -x. The context is applied to the result.") .typed("x: _Int, / -> mpz; x: _Rat, / -> mpq; x: _Real, / -> mpfr; x: _Num, / -> mpc"),
    one("abs", ctx_abs, IN_CONTEXT, "Return abs(x), the context is applied to the result.") .typed("x: _Int, / -> mpz; x: _Rat, / -> mpq; x: _Real, / -> mpfr; x: _Num, / -> mpfr"),
};

}  // namespace

VX_UNIT(arith_functions, arith_functions, setup_arith_slots)
VX_UNIT(arith_context, arith_context_only)

}  // namespace vx
