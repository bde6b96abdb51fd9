# The reference is grouped by topic: every public function of the module is
# on exactly one topic page, and the index links every topic.
import collections
import importlib.util
import pathlib

import pytest

import vexa2

DOCS = pathlib.Path(__file__).resolve().parents[2] / "docs"
if not (DOCS / "topics.py").exists():
    pytest.skip("the docs folder is not beside the tests", allow_module_level=True)

found = importlib.util.spec_from_file_location("topics", DOCS / "topics.py")
topics = importlib.util.module_from_spec(found)
found.loader.exec_module(topics)
TOPICS = topics.TOPICS


def test_every_public_function_is_on_exactly_one_topic_page():
    functions = {n for n in dir(vexa2)
                 if not n.startswith("_") and type(getattr(vexa2, n)).__name__ == "builtin_function_or_method"}
    listed = collections.Counter(n for names in TOPICS.values() for n in names)
    assert [n for n, k in listed.items() if k > 1] == []
    assert sorted(functions - listed.keys()) == [], "functions on no topic page: add them to docs/topics.py"
    assert sorted(listed.keys() - functions) == [], "names in docs/topics.py that the module lacks"


def test_every_topic_has_a_page_linked_from_the_index():
    index = (DOCS / "index.rst").read_text()
    api = (DOCS / "api.rst").read_text()
    for topic in TOPICS:
        page = DOCS / "reference" / f"{topic}.rst"
        assert f".. include:: _{topic}.inc" in page.read_text()
        assert f"reference/{topic}" in api and f":doc:`reference/{topic}`" in index
        assert ">>> " in page.read_text(), f"{topic} has no example"


def test_every_context_setting_is_described():
    page = (DOCS / "reference" / "contexts.rst").read_text()
    settings = [n for n, v in vars(vexa2.context).items() if type(v).__name__ == "getset_descriptor"]
    assert len(settings) > 20
    assert [n for n in settings if f"``{n}``" not in page] == []
