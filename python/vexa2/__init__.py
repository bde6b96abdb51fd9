# The package re-exports every name of the extension module vexa2._vexa2,
# which does all the work; the package itself only adds `python -m vexa2`
# and the type stubs.
from . import _vexa2

globals().update({k: v for k, v in vars(_vexa2).items()
                  if not (k.startswith("__") and k.endswith("__"))})
__doc__ = _vexa2.__doc__
__version__ = _vexa2.__version__
del _vexa2

# What `from vexa2 import *` brings: the types, constants, exceptions and
# functions, without the informational functions (`license` would hide the
# built-in of that name) and the build helper; those stay reachable as
# vexa2.<name>.
_NOT_STARRED = frozenset({"license", "version", "mp_version", "mp_limbsize", "mpfr_version",
                          "mpc_version", "get_include"})
__all__ = sorted(k for k in globals() if not k.startswith("_") and k not in _NOT_STARRED)
