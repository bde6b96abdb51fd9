// The registry of units, and the tables built from their rows.
#include "core/registry.h"

#include "core/ref.h"

#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
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
      if constexpr (std::is_same_v<Row, FnDef>) {
        if (!r.fn) continue;  // described only
      }
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

// The text signature's parameters from a row's typed ones: the first form,
// without types or result ("x: _Int, n: int = 0, /" gives "x, n=0, /").
std::string untyped(std::string_view p) {
  p = p.substr(0, p.find(';'));
  if (auto arrow = p.find(" ->"); arrow != std::string_view::npos) p = p.substr(0, arrow);
  std::string out;
  int depth = 0;
  size_t start = 0;
  auto piece = [&](std::string_view q) {
    while (!q.empty() && q.front() == ' ') q.remove_prefix(1);
    const auto colon = q.find(':'), eq = q.find('=');
    std::string_view name = q.substr(0, std::min(colon, eq));
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (!out.empty()) out += ", ";
    out += name;
    if (eq != std::string_view::npos) {
      std::string_view dflt = q.substr(eq + 1);
      while (!dflt.empty() && dflt.front() == ' ') dflt.remove_prefix(1);
      out += '=';
      out += dflt;
    }
  };
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '[' || p[i] == '(') ++depth;
    if (p[i] == ']' || p[i] == ')') --depth;
    if (p[i] == ',' && depth == 0) {
      piece(p.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < p.size()) piece(p.substr(start));
  return out;
}

// The docstring of a row in a table: a row with typed parameters gets its
// text signature written before its text. A row shared by the module and a
// type writes its text signature without self ("add(x, y, /)\n--\n\n"); as
// a method it needs "$self" first, or inspect.signature of the unbound
// method would lack it. The new text lives as long as the table. Throws
// std::bad_alloc.
const char* row_doc(const FnDef& r, bool method) {
  if (r.params && !(r.doc && std::string_view(r.doc).find("\n--\n\n") != std::string_view::npos)) {
    auto* text = new std::string(r.name);
    *text += '(';
    const std::string params = untyped(r.params);
    if (method && !(r.flags & METH_STATIC)) *text += (r.flags & METH_CLASS) ? "$type" : "$self";
    if (method && !(r.flags & METH_STATIC) && !params.empty()) *text += ", ";
    *text += params;
    *text += ")\n--\n\n";
    if (r.doc) *text += r.doc;
    return text->c_str();
  }
  if (!method || !r.doc || (r.flags & (METH_STATIC | METH_CLASS))) return r.doc;
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

PyObject* text_or_none(const char* s) noexcept {
  if (s) return PyUnicode_FromString(s);
  Py_RETURN_NONE;
}

// _rows(): every function row as (name, where, flags, params, returns) and
// every attribute row as (name, where, type, writable), for the stub
// generator.
PyObject* rows_export(PyObject*, PyObject*) noexcept {
  Ref fns = Ref::steal(PyList_New(0)), attrs = Ref::steal(PyList_New(0));
  if (!fns || !attrs) return nullptr;
  auto append = [](PyObject* list, PyObject* row) {  // steals row
    Ref r = Ref::steal(row);
    return r && PyList_Append(list, r.get()) == 0;
  };
  for (const Unit* u : units()) {
    for (const FnDef& r : u->fns)
      if (!append(fns.get(), Py_BuildValue("(sIiNN)", r.name, r.where, r.flags, text_or_none(r.params),
                                           text_or_none(r.returns))))
        return nullptr;
    for (const AttrDef& r : u->attrs)
      if (!append(attrs.get(),
                  Py_BuildValue("(sINO)", r.name, r.where, text_or_none(r.type), r.set ? Py_True : Py_False)))
        return nullptr;
  }
  return PyTuple_Pack(2, fns.get(), attrs.get());
}

const FnDef registry_rows[] = {
    noargs("_rows", rows_export, IN_MODULE, "The registry's rows, for the stub generator.").typed(nullptr, "Any"),
};

}  // namespace

VX_UNIT(core_registry, registry_rows)

PyMethodDef* method_table(Target t) noexcept {
  const bool method = t != Target::Module;
  return build<PyMethodDef, FnDef>(
      t, [](const Unit& u) { return u.fns; },
      [method](const FnDef& r) { return PyMethodDef{r.name, r.fn, r.flags, row_doc(r, method)}; });
}

PyGetSetDef* attr_table(Target t) noexcept {
  return build<PyGetSetDef, AttrDef>(
      t, [](const Unit& u) { return u.attrs; },
      [](const AttrDef& r) { return PyGetSetDef{r.name, r.get, r.set, r.doc, nullptr}; });
}

}  // namespace vx
