// The parts of Python's format-format string language that integers and reals share:
// the zero-padding flag and the thousands separators.
#pragma once
#include <Python.h>
#include <cstddef>

namespace vx {

// What a format string asks beyond the alignment: zero padding to `width`
// characters (after the sign and base prefix) and digit grouping.
struct NumberStyle {
  bool zero = false;    // a '0' before the width, with no alignment given
  size_t width = 0;     // the width that goes with `zero`
  char sep = 0;         // ',' or '_', or 0
  int every = 3;        // digits per group: 3, or 4 for '_' in bases 2, 8, 16
  bool hex = false;     // the digits include the letters a-f or A-F
  bool zero_fill = false;  // a '0' before the width with an alignment: the fill is '0'
};

// Groups the integer digits of `text` (the first run of digits after an
// optional sign and base prefix "0b", "0o", "0x", "0X") and pads with zeros
// after the sign and prefix, as Python's int and float formatting do. Steals
// `text` (which may be nullptr); returns a new str or nullptr.
PyObject* style_number_text(PyObject* text, const NumberStyle& s) noexcept;

// `text` aligned in `width` characters ('<', '>' or '^') with `fill`.
// Steals `text` (which may be nullptr).
PyObject* pad_text(PyObject* text, char fill, char align, size_t width) noexcept;

// Reads a decimal width from [p, end) into `out`; false with ValueError
// "Too many decimal digits in format string" when it cannot be a size.
bool read_width(const char* p, const char* end, size_t& out) noexcept;

}  // namespace vx
