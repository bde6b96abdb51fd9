// Zero padding and digit grouping of number texts.
#include "convert/numtext.h"

#include <cctype>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "core/ref.h"

namespace vx {

bool read_width(const char* p, const char* end, size_t& out) noexcept {
  size_t w = 0;
  for (; p < end; ++p) {
    size_t d = static_cast<size_t>(*p - '0');
    if (w > (static_cast<size_t>(PY_SSIZE_T_MAX) - d) / 10) {
      value_error("Too many decimal digits in format string");
      return false;
    }
    w = w * 10 + d;
  }
  out = w;
  return true;
}

PyObject* style_number_text(PyObject* text, const NumberStyle& s) noexcept {
  Ref owned = Ref::steal(text);
  if (!owned || (!s.sep && !s.zero)) return owned.release();
  Py_ssize_t n = 0;
  const char* raw = PyUnicode_AsUTF8AndSize(owned.get(), &n);
  if (!raw) return nullptr;
  std::string_view t(raw, static_cast<size_t>(n));
  size_t head = 0;  // sign and prefix
  if (head < t.size() && (t[head] == '-' || t[head] == '+' || t[head] == ' ')) ++head;
  if (t.size() >= head + 2 && t[head] == '0' && std::string_view("bBoOxX").find(t[head + 1]) != std::string_view::npos)
    head += 2;
  size_t end = head;
  while (end < t.size() && (s.hex ? std::isxdigit(static_cast<unsigned char>(t[end])) != 0 : t[end] >= '0' && t[end] <= '9'))
    ++end;
  size_t digits = end - head;
  const size_t tail = t.size() - end;
  auto grouped = [&](size_t d) {
    return s.sep && end > head ? d + (d - 1) / static_cast<size_t>(s.every) : d;
  };
  try {
    if (s.zero && digits > 0) {
      // Leading zeros join the digits (and their groups) until the width is reached.
      while (head + grouped(digits) + tail < s.width) ++digits;
    } else if (s.zero) {
      // No digits (an infinity or NaN): zeros after the sign, as for float.
      if (head + tail < s.width) digits = s.width - head - tail;
    }
    std::string out;
    out.reserve(head + grouped(digits) + tail);
    out.append(t.substr(0, head));
    const size_t real_digits = end - head;
    for (size_t i = 0; i < digits; ++i) {
      size_t left = digits - i;  // digits from here to the end of the run
      if (s.sep && real_digits > 0 && i > 0 && left % static_cast<size_t>(s.every) == 0) out.push_back(s.sep);
      out.push_back(i < digits - real_digits ? '0' : t[head + i - (digits - real_digits)]);
    }
    out.append(t.substr(end));
    return PyUnicode_FromStringAndSize(out.data(), static_cast<Py_ssize_t>(out.size()));
  } catch (const std::exception&) {
    return memory_error();
  }
}

PyObject* pad_text(PyObject* text, char fill, char align, size_t width) noexcept {
  Ref owned = Ref::steal(text);
  if (!owned) return nullptr;
  const size_t n = static_cast<size_t>(PyUnicode_GET_LENGTH(owned.get()));
  if (n >= width) return owned.release();
  const size_t pad = width - n;
  const size_t left = align == '<' ? 0 : align == '^' ? pad / 2 : pad;
  Ref fill_left = Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(left), 127));
  Ref fill_right = fill_left ? Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(pad - left), 127)) : Ref();
  if (!fill_right) return nullptr;
  std::memset(PyUnicode_DATA(fill_left.get()), fill, left);
  std::memset(PyUnicode_DATA(fill_right.get()), fill, pad - left);
  Ref joined = Ref::steal(PyUnicode_Concat(fill_left.get(), owned.get()));
  if (!joined) return nullptr;
  return PyUnicode_Concat(joined.get(), fill_right.get());
}

}  // namespace vx
