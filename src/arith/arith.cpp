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
    fast("add", function<op_add>, MODULE_AND_CONTEXT, "add(x, y, /)\n--\n\nReturn x + y."),
    fast("sub", function<op_sub>, MODULE_AND_CONTEXT, "sub(x, y, /)\n--\n\nReturn x - y."),
    fast("mul", function<op_mul>, MODULE_AND_CONTEXT, "mul(x, y, /)\n--\n\nReturn x * y."),
    fast("div", function<op_truediv>, MODULE_AND_CONTEXT, "div(x, y, /)\n--\n\nReturn x / y; uses true division."),
    fast("floor_div", function<op_floordiv>, MODULE_AND_CONTEXT,
                "floor_div(x, y, /)\n--\n\nReturn x // y; uses floor division."),
    fast("mod", function<op_mod>, MODULE_AND_CONTEXT,
                "mod(x, y, /)\n--\n\nReturn mod(x, y).\nNote: overflow, underflow, and inexact exceptions are "
                "not supported for mpfr arguments."),
};

const FnDef arith_context_only[] = {
    fast("divmod", function<op_divmod>, IN_CONTEXT,
                "divmod(x, y, /)\n--\n\nReturn divmod(x, y).\nNote: overflow, "
                "underflow, and inexact exceptions are not supported for mpfr arguments."),
    fast("pow", ctx_pow, IN_CONTEXT, "pow(x, y, /)\n--\n\nReturn x ** y."),
    fast("plus", ctx_plus, IN_CONTEXT,
                "plus(x, /)\n--\n\nReturn +x, the context is applied to the result."),
    fast("minus", ctx_minus, IN_CONTEXT,
                "minus(x, /)\n--\n\nReturn -x. The context is applied to the result."),
    one("abs", ctx_abs, IN_CONTEXT, "abs(x, /)\n--\n\nReturn abs(x), the context is applied to the result."),
};

}  // namespace

VX_UNIT(arith_functions, arith_functions, setup_arith_slots)
VX_UNIT(arith_context, arith_context_only)

}  // namespace vx
