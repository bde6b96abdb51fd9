"""A short demonstration of vexa2."""
import threading

import vexa2
from vexa2 import context, get_context

print("vexa2", vexa2.version())
print(vexa2.mp_version(), "|", vexa2.mpfr_version(), "|", vexa2.mpc_version())
print("limb size:", vexa2.mp_limbsize(), "bits")
print()
print("A fresh context:")
print(context())
print()
with context(precision=200, trap_inexact=True) as c:
    print("inside a with block, current precision:", get_context().precision,
          "trap_inexact:", c.trap_inexact)
print("after it:", get_context().precision)

seen = []
threading.Thread(target=lambda: seen.append(get_context().precision)).start()
print("a new thread starts with its own default context, precision", seen or "...")
