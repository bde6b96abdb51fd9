# The package re-exports every name of the extension module vexa2._vexa2,
# which does all the work; the package itself only adds `python -m vexa2`
# and the type stubs.
from . import _vexa2

globals().update({k: v for k, v in vars(_vexa2).items()
                  if not (k.startswith("__") and k.endswith("__"))})
__doc__ = _vexa2.__doc__
__version__ = _vexa2.__version__
del _vexa2
