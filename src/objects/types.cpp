// The static type objects of the five number types. Their protocol slots
// and methods are contributed by the units that implement them and are
// wired in by the module's exec step before the types are readied.
#include "objects/objects.h"

#include <cstddef>

namespace vx {

#define VX_NUMBER_TYPE(var, name, rec, dealloc)             \
  PyTypeObject var = {                                       \
      PyVarObject_HEAD_INIT(nullptr, 0) "vexa2." name,       \
      sizeof(rec),                                           \
      0,                                                     \
      dealloc,                                               \
  };

VX_NUMBER_TYPE(MPZ_Type, "mpz", MPZ_Object, mpz_dealloc)
VX_NUMBER_TYPE(XMPZ_Type, "xmpz", XMPZ_Object, xmpz_dealloc)
VX_NUMBER_TYPE(MPQ_Type, "mpq", MPQ_Object, mpq_dealloc)
VX_NUMBER_TYPE(MPFR_Type, "mpfr", MPFR_Object, mpfr_dealloc)
VX_NUMBER_TYPE(MPC_Type, "mpc", MPC_Object, mpc_dealloc)

#undef VX_NUMBER_TYPE

// The constructor forms, shown by help() and the documentation.
constexpr const char* MPZ_DOC =
    "mpz(n=0, /)\n"
    "mpz(s, /, base=0)\n\n"
    "An exact integer of any size. n is an integer, a rational (truncated\n"
    "toward zero), a real (rounded in the current context's rounding) or an\n"
    "object with __mpz__ or __int__; s is a str or bytes of digits in base 0\n"
    "(prefixes 0b, 0o, 0x choose it) or 2 to 62. Immutable and hashable like int.";
constexpr const char* XMPZ_DOC =
    "xmpz(n=0, /)\n"
    "xmpz(s, /, base=0)\n\n"
    "A mutable exact integer: in-place operators and bit or slice assignment\n"
    "change the object itself. The arguments are those of mpz. Not hashable.";
constexpr const char* MPQ_DOC =
    "mpq(n=0, /)\n"
    "mpq(n, m, /)\n"
    "mpq(s, /, base=10)\n\n"
    "An exact rational number in lowest terms. n is an integer, rational or\n"
    "real (floats and mpfr convert exactly); mpq(n, m) is n/m for rationals n\n"
    "and m; s is a str or bytes such as '1/3', '-0.25' or '1.5e-3'.";
constexpr const char* MPFR_DOC =
    "mpfr(n=0, /, precision=0)\n"
    "mpfr(n, /, precision, context)\n"
    "mpfr(s, /, precision=0, base=0)\n"
    "mpfr(s, /, precision, base, context)\n\n"
    "A binary floating-point number correctly rounded to precision bits (0:\n"
    "the context's precision, 1: exactly the value given). n is an integer,\n"
    "rational or real; s is a str or bytes in base 0 or 2 to 62 ('inf' and\n"
    "'nan' are read too). The context, by default the current one, supplies\n"
    "the rounding and exponent range.";
constexpr const char* MPC_DOC =
    "mpc(c=0, /, precision=0)\n"
    "mpc(c=0, /, precision, context)\n"
    "mpc(real, /, imag=0, precision=0)\n"
    "mpc(real, /, imag, precision, context)\n"
    "mpc(s, /, precision=0, base=10)\n"
    "mpc(s, /, precision, base, context)\n\n"
    "A complex number whose parts are mpfr values. c is a complex or mpc;\n"
    "real and imag are real numbers; s is text such as '1+2j' or '(1 2)'.\n"
    "precision is an int for both parts or a pair (real, imaginary).";

PyNumberMethods mpz_number = {}, xmpz_number = {}, mpq_number = {}, mpfr_number = {}, mpc_number = {};
PyMappingMethods mpz_mapping = {}, xmpz_mapping = {};

const NumberType NUMBER_TYPES[NUMBER_TYPE_COUNT] = {
    {"mpz", &MPZ_Type, &mpz_number, &mpz_mapping, MPZ_DOC, "Integral"},
    {"xmpz", &XMPZ_Type, &xmpz_number, &xmpz_mapping, XMPZ_DOC, nullptr},
    {"mpq", &MPQ_Type, &mpq_number, nullptr, MPQ_DOC, "Rational"},
    {"mpfr", &MPFR_Type, &mpfr_number, nullptr, MPFR_DOC, "Real"},
    {"mpc", &MPC_Type, &mpc_number, nullptr, MPC_DOC, "Complex"},
};

// The per-thread record keeps the caches in the same order.
static_assert(offsetof(vexa_global_t, mpz_cache) < offsetof(vexa_global_t, xmpz_cache) &&
              offsetof(vexa_global_t, xmpz_cache) < offsetof(vexa_global_t, mpq_cache) &&
              offsetof(vexa_global_t, mpq_cache) < offsetof(vexa_global_t, mpfr_cache) &&
              offsetof(vexa_global_t, mpfr_cache) < offsetof(vexa_global_t, mpc_cache));

void objects_prepare() noexcept {
  for (const NumberType& t : NUMBER_TYPES) {
    t.type->tp_flags = Py_TPFLAGS_DEFAULT;  // not subclassable: classification tests exact types
    t.type->tp_as_number = t.number;
    t.type->tp_as_mapping = t.mapping;
    t.type->tp_doc = t.doc;
  }
}

}  // namespace vx
