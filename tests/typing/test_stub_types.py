# The stubs reject what is wrongly typed: mypy --strict must fail on each
# file of fails/ with an error on its marked line, and pass the typed example.
import subprocess
import sys
from pathlib import Path

import pytest

pytest.importorskip("mypy")
HERE = Path(__file__).parent


def mypy(path):
    return subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-incremental", str(path)],
                          capture_output=True, text=True, cwd=HERE, timeout=600)


@pytest.mark.thread_unsafe(reason="runs mypy in a child process")
@pytest.mark.parametrize("path", sorted((HERE / "fails").glob("*.py")), ids=lambda p: p.stem)
def test_rejected(path):
    r = mypy(path)
    assert r.returncode == 1, r.stdout
    assert "error:" in r.stdout and any(c in r.stdout for c in ("[arg-type]", "[call-overload]", "[assignment]")), r.stdout


@pytest.mark.thread_unsafe(reason="runs mypy in a child process")
def test_readme_tour_accepted(tmp_path):
    # The README's examples (the plain blocks, not the interpreter sessions) type-check.
    import re
    text = (HERE.parent.parent / "README.md").read_text()
    blocks = [b for b in re.findall(r"```python\n(.*?)```", text, re.S) if ">>>" not in b]
    tour = tmp_path / "tour.py"
    tour.write_text("\n".join(blocks))
    r = mypy(tour)
    assert r.returncode == 0, r.stdout
