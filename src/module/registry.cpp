// Every unit's tables, in one place.
#include "module/registry.h"

#include <vector>

#include "module/tables.h"

namespace vx {

PyMethodDef* const module_tables[] = {
    info_methods,          context_module_methods, convert_module_methods, format_module_methods,
    arith_module_methods,  compare_module_methods, integer_module_methods, nullptr,
};

namespace {

PyMethodDef* const context_tables[] = {
    context_own_methods, arith_context_methods, nullptr,
};

struct TypeLists {
  PyMethodDef* const* methods;
  PyGetSetDef* const* getset;
};

PyMethodDef* const mpz_methods_list[] = {mpz_format_methods, mpz_integer_methods, mpz_bit_methods, mpz_convert_methods, nullptr};
PyMethodDef* const xmpz_methods_list[] = {xmpz_format_methods, xmpz_integer_methods, mpz_bit_methods, xmpz_convert_methods, nullptr};
PyMethodDef* const mpq_methods_list[] = {mpq_format_methods, mpq_convert_methods, nullptr};
PyMethodDef* const mpfr_methods_list[] = {mpfr_format_methods, mpfr_convert_methods, nullptr};
PyMethodDef* const mpc_methods_list[] = {mpc_format_methods, mpc_convert_methods, mpc_unary_methods, nullptr};
PyGetSetDef* const mpz_getset_list[] = {mpz_integer_getset, nullptr};
PyGetSetDef* const xmpz_getset_list[] = {xmpz_integer_getset, nullptr};
PyGetSetDef* const mpq_getset_list[] = {mpq_attr_getset, nullptr};
PyGetSetDef* const mpfr_getset_list[] = {mpfr_attr_getset, nullptr};
PyGetSetDef* const mpc_getset_list[] = {mpc_attr_getset, nullptr};

template <class Def, class Name>
Def* join_tables(Def* const* lists, Name name) {
  auto* t = new std::vector<Def>();  // lives for the life of the process
  for (Def* const* tab = lists; *tab; ++tab)
    for (Def* d = *tab; name(*d); ++d) t->push_back(*d);
  t->push_back(Def{});
  return t->data();
}

PyMethodDef* join_methods(PyMethodDef* const* lists) {
  return join_tables(lists, [](const PyMethodDef& d) { return d.ml_name; });
}
PyGetSetDef* join_getset(PyGetSetDef* const* lists) {
  return join_tables(lists, [](const PyGetSetDef& d) { return d.name; });
}

TypeLists lists_of(TypeTables t) {
  switch (t) {
    case TypeTables::MPZ: return {mpz_methods_list, mpz_getset_list};
    case TypeTables::XMPZ: return {xmpz_methods_list, xmpz_getset_list};
    case TypeTables::MPQ: return {mpq_methods_list, mpq_getset_list};
    case TypeTables::MPFR: return {mpfr_methods_list, mpfr_getset_list};
    case TypeTables::MPC: break;
  }
  return {mpc_methods_list, mpc_getset_list};
}

}  // namespace

PyMethodDef* context_method_table() noexcept { return join_methods(context_tables); }
PyMethodDef* type_method_table(TypeTables t) noexcept { return join_methods(lists_of(t).methods); }
PyGetSetDef* type_getset_table(TypeTables t) noexcept { return join_getset(lists_of(t).getset); }

}  // namespace vx
