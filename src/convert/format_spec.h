// The format-format string language of every number type, read once into a
// FormatSpec and then rendered by the integer, real, complex and rational
// formatting. The elements, each optional and in this order:
//
//   [[fill]align][sign][z][#][0][width][grouping][.prec[.prec]][rounding][style][type]
//
// align is one of < > ^ =, sign one of + - ' ', grouping ',' or '_',
// rounding one of MPFR's letters D N U Y Z, style P or M (complex texts) and
// type one of b d n o x X a A e E f F g G %. A type ends the format string; what
// follows it is ignored (the rational formatting refuses it). Which
// elements a type accepts is its renderer's business: the parser only reads
// them and enforces the length limits of the integer, real and complex
// formatting.
#pragma once
#include <Python.h>
#include <cstddef>

namespace vx {

struct FormatSpec {
  Py_UCS4 fill = 0;          // the character before an alignment, 0 when none
  char align = 0;            // '<', '>', '^', '=' or 0
  char sign = 0;             // '+', '-', ' ' or 0
  bool no_neg_zero = false;  // 'z'
  bool alt = false;          // '#'
  bool zero = false;         // a '0' directly before the width digits
  bool has_width = false;
  size_t width = 0;
  size_t width_digits = 0;   // as written, the '0' flag included
  char sep = 0;              // ',', '_' or 0
  int points = 0;            // 0, 1, or 2 for '.prec.prec'
  long long prec = -1;       // digits after the first point (-1: none written)
  long long prec2 = -1;      // digits after the second point
  size_t prec_digits = 0;    // digits of prec as written
  size_t prec2_digits = 0;   // digits of prec2 as written
  char round = 0;            // 'D', 'N', 'U', 'Y', 'Z' or 0
  char style = 0;            // 'P', 'M' or 0
  char type = 0;             // the presentation type, or 0
  bool trailing = false;     // characters follow the type

  // The integer language: [align][sign][#][0][width][grouping][b d n o x X].
  bool integer_form() const noexcept;
};

// Whose limits apply while reading: the integer and real formatting build
// fixed-size MPFR conversions and alignment specs and refuse specs that
// would not fit ("too long format string"); the rational formatting has none.
enum class SpecOf { Integer, Real, Complex, Rational };

// Reads fmt (UTF-8) into `out`. False with ValueError "Invalid conversion
// specification", "too long format string" or "Too many decimal digits in
// format string".
bool parse_format_spec(const char* fmt, SpecOf of, FormatSpec& out) noexcept;

// The limits of the real formatting, for an integer formatted as a real.
bool check_real_limits(const FormatSpec& s) noexcept;

// ValueError "Invalid conversion specification"; returns nullptr.
PyObject* invalid_spec() noexcept;

}  // namespace vx
