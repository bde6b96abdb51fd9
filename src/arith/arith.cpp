// The shared number-protocol entries of the five types, and the arithmetic
// module functions and context methods.
#include "arith/dispatch.h"
#include "module/tables.h"

namespace vx {

using namespace arith;

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

PyMethodDef arith_module_methods[] = {
    VX_FASTCALL("add", function<op_add>, "add(x, y, /) -> number\n\nReturn x + y."),
    VX_FASTCALL("sub", function<op_sub>, "sub(x, y, /) -> number\n\nReturn x - y."),
    VX_FASTCALL("mul", function<op_mul>, "mul(x, y, /) -> number\n\nReturn x * y."),
    VX_FASTCALL("div", function<op_truediv>, "div(x, y, /) -> number\n\nReturn x / y; uses true division."),
    VX_FASTCALL("floor_div", function<op_floordiv>,
                "floor_div(x, y, /) -> number\n\nReturn x // y; uses floor division."),
    VX_FASTCALL("mod", function<op_mod>,
                "mod(x, y, /) -> number\n\nReturn mod(x, y).\nNote: overflow, underflow, and inexact exceptions are "
                "not supported for mpfr arguments."),
    {nullptr, nullptr, 0, nullptr}};

PyMethodDef arith_context_methods[] = {
    VX_FASTCALL("add", function<op_add>, "context.add(x, y, /) -> number\n\nReturn x + y."),
    VX_FASTCALL("sub", function<op_sub>, "context.sub(x, y, /) -> number\n\nReturn x - y."),
    VX_FASTCALL("mul", function<op_mul>, "context.mul(x, y, /) -> number\n\nReturn x * y."),
    VX_FASTCALL("div", function<op_truediv>,
                "context.div(x, y, /) -> number\n\nReturn x / y; uses true division."),
    VX_FASTCALL("floor_div", function<op_floordiv>,
                "context.floor_div(x, y, /) -> number\n\nReturn x // y; uses floor division."),
    VX_FASTCALL("mod", function<op_mod>,
                "context.mod(x, y, /) -> number\n\nReturn mod(x, y).\nNote: overflow, underflow, and inexact "
                "exceptions are not supported for mpfr arguments."),
    VX_FASTCALL("divmod", function<op_divmod>,
                "context.divmod(x, y, /) -> (quotient, remainder)\n\nReturn divmod(x, y).\nNote: overflow, "
                "underflow, and inexact exceptions are not supported for mpfr arguments."),
    VX_FASTCALL("pow", ctx_pow, "context.pow(x, y, /) -> number\n\nReturn x ** y."),
    VX_FASTCALL("plus", ctx_plus,
                "context.plus(x, /) -> number\n\nReturn +x, the context is applied to the result."),
    VX_FASTCALL("minus", ctx_minus,
                "context.minus(x, /) -> number\n\nReturn -x. The context is applied to the result."),
    VX_O("abs", ctx_abs, "context.abs(x, /) -> number\n\nReturn abs(x), the context is applied to the result."),
    {nullptr, nullptr, 0, nullptr}};

}  // namespace vx
