// Every unit's function tables, in one place.
#include "module/registry.h"
#include "context/context.h"

namespace vx {

extern PyMethodDef info_methods[];
extern PyMethodDef context_own_methods[];

PyMethodDef* const module_tables[] = {
    info_methods,
    context_module_methods,
    nullptr,
};

PyMethodDef* const context_tables[] = {
    context_own_methods,
    nullptr,
};

PyMethodDef* context_method_table() noexcept {
  // Built once, at import, and never changed afterwards.
  static std::vector<PyMethodDef> table = [] {
    std::vector<PyMethodDef> t;
    for (PyMethodDef* const* tab = context_tables; *tab; ++tab)
      for (PyMethodDef* d = *tab; d->ml_name; ++d) t.push_back(*d);
    t.push_back(PyMethodDef{nullptr, nullptr, 0, nullptr});
    return t;
  }();
  return table.data();
}

}  // namespace vx
