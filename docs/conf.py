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

# The function lists follow the topic map (topics.py): one autofunction per
# function, in reference/_<topic>.inc; a test checks the map against the module.
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from topics import TOPICS  # noqa: E402

for _topic, _names in TOPICS.items():
    _inc = pathlib.Path(__file__).with_name("reference") / f"_{_topic}.inc"
    _text = "".join(f".. autofunction:: vexa2.{n}\n" for n in _names)
    if not _inc.exists() or _inc.read_text() != _text:
        _inc.write_text(_text)

# Every page's examples start from a default current context.
# NumPy is optional: its examples are skipped without it (":skipif: np is None").
doctest_global_setup = """
import vexa2
from vexa2 import *
vexa2.set_context(vexa2.context())
try:
    import numpy as np
except ImportError:
    np = None
"""


# The docstrings are plain text (as help() shows them): present each one as a
# preformatted block rather than reading it as reStructuredText.
def _plain_text(app, what, name, obj, options, lines):
    if lines:
        lines[:] = ["::", ""] + ["   " + line for line in lines] + [""]


def setup(app):
    app.connect("autodoc-process-docstring", _plain_text)
