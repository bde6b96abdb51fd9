// The registry of units, and the tables built from their rows.
#include "core/registry.h"

#include <new>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vx {

namespace {

// Filled while the shared object loads (static initialisation), read-only afterwards.
std::vector<const Unit*>& units() noexcept {
  static std::vector<const Unit*> all;
  return all;
}

const char* target_name(Target t) noexcept {
  switch (t) {
    case Target::Module: return "the module";
    case Target::Context: return "context";
    case Target::Mpz: return "mpz";
    case Target::Xmpz: return "xmpz";
    case Target::Mpq: return "mpq";
    case Target::Mpfr: return "mpfr";
    case Target::Mpc: break;
  }
  return "mpc";
}

// Joins the rows of every unit that belong to `t`; the table lives as long
// as the process (the types and the module keep pointers into it).
template <class Def, class Row, class Rows, class Make>
Def* build(Target t, Rows rows_of, Make make) noexcept {
  auto* table = new (std::nothrow) std::vector<Def>();
  if (!table) {
    PyErr_NoMemory();
    return nullptr;
  }
  std::unordered_set<std::string_view> seen;
  try {
  for (const Unit* u : units()) {
    for (const Row& r : rows_of(*u)) {
      if (!(r.where & home_bit(t))) continue;
      if (!seen.insert(r.name).second) {
        PyErr_Format(PyExc_SystemError, "duplicate name '%s' in %s", r.name, target_name(t));
        delete table;
        return nullptr;
      }
      table->push_back(make(r));
    }
  }
  table->push_back(Def{});
  } catch (const std::bad_alloc&) {
    delete table;
    PyErr_NoMemory();
    return nullptr;
  }
  return table->data();
}

}  // namespace

UnitRegistration::UnitRegistration(const Unit& u) noexcept { units().push_back(&u); }

std::span<const Unit* const> registered_units() noexcept { return units(); }

namespace {

// A row shared by the module and a type writes its text signature without
// self ("add(x, y, /)\n--\n\n"); as a method it needs "$self" first, or
// inspect.signature of the unbound method would lack it. The new text lives
// as long as the table. Throws std::bad_alloc.
const char* method_doc(const FnDef& r) {
  if (!r.doc || (r.flags & (METH_STATIC | METH_CLASS))) return r.doc;
  const std::string_view doc(r.doc), name(r.name);
  if (doc.size() <= name.size() || doc.substr(0, name.size()) != name || doc[name.size()] != '(' ||
      doc.find("\n--\n\n") == std::string_view::npos || doc.substr(name.size() + 1, 1) == "$")
    return r.doc;
  const bool empty = doc.substr(name.size() + 1, 1) == ")";
  auto* text = new std::string(doc.substr(0, name.size() + 1));
  *text += empty ? "$self" : "$self, ";
  *text += doc.substr(name.size() + 1);
  return text->c_str();
}

}  // namespace

PyMethodDef* method_table(Target t) noexcept {
  if (t == Target::Module)
    return build<PyMethodDef, FnDef>(
        t, [](const Unit& u) { return u.fns; },
        [](const FnDef& r) { return PyMethodDef{r.name, r.fn, r.flags, r.doc}; });
  return build<PyMethodDef, FnDef>(
      t, [](const Unit& u) { return u.fns; },
      [](const FnDef& r) { return PyMethodDef{r.name, r.fn, r.flags, method_doc(r)}; });
}

PyGetSetDef* attr_table(Target t) noexcept {
  return build<PyGetSetDef, AttrDef>(
      t, [](const Unit& u) { return u.attrs; },
      [](const AttrDef& r) { return PyGetSetDef{r.name, r.get, r.set, r.doc, nullptr}; });
}

}  // namespace vx
