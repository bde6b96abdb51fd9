# Sphinx configuration: the API pages are taken from the docstrings of the
# installed module, the other pages are written by hand.
import vexa2

project = "vexa2"
author = "the vexa2 developers"
release = vexa2.__version__
version = release
extensions = ["sphinx.ext.autodoc", "sphinx.ext.doctest"]
exclude_patterns = ["_build"]
html_theme = "alabaster"
autodoc_default_options = {"members": True, "undoc-members": True}
# The extension's functions carry text signatures; their docstrings are plain text.
autodoc_docstring_signature = True
suppress_warnings = ["config.cache"]
nitpicky = False

# The function list follows the module: one autofunction per public function.
import pathlib

_names = sorted(n for n in dir(vexa2)
                if not n.startswith("_") and type(getattr(vexa2, n)).__name__ == "builtin_function_or_method")
pathlib.Path(__file__).with_name("_functions.inc").write_text(
    "".join(f".. autofunction:: vexa2.{n}\n" for n in _names))


# The docstrings are plain text (as help() shows them): present each one as a
# preformatted block rather than reading it as reStructuredText.
def _plain_text(app, what, name, obj, options, lines):
    if lines:
        lines[:] = ["::", ""] + ["   " + line for line in lines] + [""]


def setup(app):
    app.connect("autodoc-process-docstring", _plain_text)
